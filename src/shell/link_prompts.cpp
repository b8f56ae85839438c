#include "shell/link_prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>
#include <QWidget>

#include "session/calculator/messages.h"
#include "session/link/upload.h"

namespace vantrel {

namespace {

QStringList variableFileFilters() {
    return {QString::fromLatin1(variableFileFilter), QString::fromLatin1(allFilesFilter)};
}

// A file name from a variable's name: letters, digits, "-" and "_" as they are, any
// other character (the calculator's own signs among them) as "_".
std::string suggestedFileName(bool backup, const std::string& firstVariable) {
    if (backup) return "backup";
    std::string name;
    for (const char c : firstVariable) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_';
        name += plain ? c : '_';
    }
    return name.empty() ? "variables" : name;
}

}  // namespace

void showLinkHint(QWidget* owner, LinkHint hint, bool beepOnErrors) {
    if (beepOnErrors) QApplication::beep();
    if (hint == LinkHint::debuggerStopped)
        QMessageBox::information(owner, QString::fromStdString(programTitle()),
                                 QString::fromUtf8(debuggerStoppedUploadText));
    if (hint != LinkHint::notWaiting) return;
    QMessageBox::critical(owner, QStringLiteral("Error"), QString::fromUtf8(uploadHintText));
}

bool showFilePrompt(QWidget* owner, FilePrompt kind, const std::string& fileName,
                    const std::string& reason) {
    const QString text = QString::fromStdString(filePromptText(kind, fileName, reason));
    const bool question = kind == FilePrompt::overwrite || kind == FilePrompt::damaged;
    if (!question) {
        QMessageBox::critical(owner, QStringLiteral("Error"), text);
        return false;
    }
    // A damaged file goes only on a deliberate Yes.
    const auto answer = QMessageBox::warning(
        owner, QStringLiteral("Warning"), text, QMessageBox::Yes | QMessageBox::No,
        kind == FilePrompt::damaged ? QMessageBox::No : QMessageBox::Yes);
    return answer == QMessageBox::Yes;
}

std::optional<std::string> askSaveFileName(QWidget* owner, bool backup,
                                           const std::string& firstVariable) {
    QFileDialog dialog(owner, QStringLiteral("Save the variables received from the calculator"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(variableFileFilters());
    // The variable file asks before it replaces an existing file.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setOption(QFileDialog::ReadOnly, false);
    // After the filters, which would otherwise put their own pattern in the name.
    dialog.selectFile(QString::fromStdString(
        withVariableFileExtension(suggestedFileName(backup, firstVariable), backup)));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty()) return std::nullopt;
    return withVariableFileExtension(chosen.first().toStdString(), backup);
}

std::optional<std::string> chooseUploadFileDialog(QWidget* owner) {
    QFileDialog dialog(owner, QString::fromLatin1(uploadDialogTitle));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(variableFileFilters());
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty()) return std::nullopt;
    return chosen.first().toStdString();
}

}  // namespace vantrel
