#include "shell/link_prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>
#include <QWidget>

#include "session/messages.h"
#include "session/upload.h"

namespace vantrel {

namespace {

QStringList variableFileFilters() {
    return {QString::fromLatin1(variableFileFilter), QString::fromLatin1(allFilesFilter)};
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

std::optional<std::string> askSaveFileName(QWidget* owner, bool backup) {
    QFileDialog dialog(owner);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(variableFileFilters());
    // The variable file asks before it replaces an existing file.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setOption(QFileDialog::ReadOnly, false);
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
