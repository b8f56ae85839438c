#include "shell/link_prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>
#include <QWidget>
#include <thread>

namespace vantrel {

namespace {

constexpr int promptNameLimit = 256;

QStringList variableFileFilters() {
    return {QString::fromLatin1(variableFileFilter), QString::fromLatin1(allFilesFilter)};
}

}  // namespace

void showLinkHint(QWidget* owner, int code, bool beepOnErrors) {
    if (beepOnErrors) QApplication::beep();
    if (code != 1) return;
    QMessageBox::critical(owner, QStringLiteral("Error"),
                          QStringLiteral("To upload a file first press\n[2nd] [LINK] [F2] on the calculator."));
}

QString filePromptText(int kind, const std::string& fileName, const std::string& reason) {
    const QString name = QString::fromStdString(fileName).left(promptNameLimit);
    QString text;
    switch (kind) {
    case 1: text = QStringLiteral("Can't open file \n%1.").arg(name); break;
    case 2: text = QStringLiteral("Overwrite file \n%1?").arg(name); break;
    case 3: text = QStringLiteral("The file \n%1 \ncontains bad data.").arg(name); break;
    default: return {};
    }
    if (!reason.empty()) text += QLatin1Char('\n') + QString::fromStdString(reason);
    return text;
}

int showFilePrompt(QWidget* owner, int kind, bool isError, const std::string& fileName, const std::string& reason) {
    const QString text = filePromptText(kind, fileName, reason);
    // A kind the link does not send has no text: nothing to ask, nothing agreed to.
    if (text.isEmpty()) return 0;
    if (isError) {
        QMessageBox::critical(owner, QStringLiteral("Error"), text);
        return 0;
    }
    const auto answer = QMessageBox::warning(owner, QStringLiteral("Warning"), text,
                                             QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    return answer == QMessageBox::No ? 0 : 1;
}

bool askSaveFileName(QWidget* owner, std::string& name, bool backup) {
    QFileDialog dialog(owner);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(variableFileFilters());
    // The variable file asks before it replaces an existing file.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (dialog.exec() != QDialog::Accepted) return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty()) return false;
    name = withVariableFileExtension(chosen.first().toStdString(), backup);
    return true;
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

std::optional<std::string> QtUploadDialogs::chooseUploadFile() { return chooseUploadFileDialog(owner_); }

void QtUploadDialogs::sleepFor(std::chrono::milliseconds duration) {
    constexpr auto slice = std::chrono::milliseconds(25);
    const auto end = std::chrono::steady_clock::now() + duration;
    for (;;) {
        // repaint() paints at once without running the event loop, so neither the
        // timer nor the user's input gets in between the typed keys.
        if (owner_ && owner_->isVisible()) owner_->repaint();
        const auto now = std::chrono::steady_clock::now();
        if (now >= end) break;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(slice, end - now));
    }
}

}  // namespace vantrel
