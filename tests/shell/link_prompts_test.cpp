#include "shell/link_prompts.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <filesystem>

#include "modal_driver.h"
#include "session/calculator/messages.h"

namespace fs = std::filesystem;

namespace vantrel {
namespace {

class LinkPrompts : public ::testing::Test {
protected:
    void SetUp() override { test::application(); }
};

TEST_F(LinkPrompts, OverwriteQuestionAnswers) {
    auto yes = test::answerMessageBox(QMessageBox::Yes);
    EXPECT_TRUE(showFilePrompt(nullptr, FilePrompt::overwrite, "/home/u/prog.85p"));
    ASSERT_TRUE(yes->shown);
    EXPECT_EQ(yes->title, "Warning");
    EXPECT_EQ(yes->text, "Overwrite file \n/home/u/prog.85p?");
    EXPECT_EQ(yes->icon, QMessageBox::Warning);
    EXPECT_EQ(yes->buttons, QMessageBox::Yes | QMessageBox::No);

    auto no = test::answerMessageBox(QMessageBox::No);
    EXPECT_FALSE(showFilePrompt(nullptr, FilePrompt::overwrite, "/home/u/prog.85p"));
    EXPECT_TRUE(no->shown);
}

TEST_F(LinkPrompts, ErrorPromptsAnswerNo) {
    auto cannot = test::answerMessageBox(QMessageBox::Ok);
    EXPECT_FALSE(showFilePrompt(nullptr, FilePrompt::cannotOpen, "/x/a.85p"));
    ASSERT_TRUE(cannot->shown);
    EXPECT_EQ(cannot->title, "Error");
    EXPECT_EQ(cannot->text, "Can't open file \n/x/a.85p.");
    EXPECT_EQ(cannot->icon, QMessageBox::Critical);
    EXPECT_EQ(cannot->buttons, QMessageBox::Ok);

    auto bad = test::answerMessageBox(QMessageBox::Ok);
    EXPECT_FALSE(showFilePrompt(nullptr, FilePrompt::badData, "/x/a.85p"));
    EXPECT_EQ(bad->text, "The file \n/x/a.85p \ncontains bad data.");

    // Why a write failed follows the prompt's own text.
    auto full = test::answerMessageBox(QMessageBox::Ok);
    EXPECT_FALSE(
        showFilePrompt(nullptr, FilePrompt::cannotOpen, "/full/a.85g", "No space left on device"));
    EXPECT_EQ(full->text, "Can't open file \n/full/a.85g.\nNo space left on device");
}

TEST(FilePromptText, LongNamesAreCutByCharactersAndTheLogJoinsTheLines) {
    EXPECT_EQ(filePromptText(FilePrompt::cannotOpen, std::string(400, 'n')),
              "Can't open file \n" + std::string(256, 'n') + ".");
    // Two-byte characters: 256 of them, never half of one.
    std::string wide;
    for (int i = 0; i < 300; ++i) wide += "\xC3\xA9";
    EXPECT_EQ(filePromptText(FilePrompt::overwrite, wide),
              "Overwrite file \n" + wide.substr(0, 512) + "?");
    EXPECT_EQ(oneLine(filePromptText(FilePrompt::badData, "/a b/c", "Is a directory")),
              "The file /a b/c contains bad data. Is a directory");
}

TEST_F(LinkPrompts, UploadHint) {
    auto hint = test::answerMessageBox(QMessageBox::Ok);
    showLinkHint(nullptr, LinkHint::notWaiting, false);
    ASSERT_TRUE(hint->shown);
    EXPECT_EQ(hint->title, "Error");
    EXPECT_EQ(hint->text, "To upload a file first press\n[2nd] [LINK] [F2] on the calculator.");
    EXPECT_EQ(hint->icon, QMessageBox::Critical);

    // The calculator's own abort shows nothing: returning at all proves no modal box
    // waited for an answer.
    showLinkHint(nullptr, LinkHint::aborted, false);
    showLinkHint(nullptr, LinkHint::aborted, true);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

class ScratchDirectory {
public:
    ScratchDirectory() {
        path_ = fs::temp_directory_path() / ("vantrel-prompts-" + std::to_string(::getpid()));
        fs::remove_all(path_);
        fs::create_directories(path_ / "old.dir");
    }
    ~ScratchDirectory() { fs::remove_all(path_); }
    QString at(const char* name) const { return QString::fromStdString((path_ / name).string()); }

private:
    fs::path path_;
};

TEST_F(LinkPrompts, SaveAsDialogAddsTheExtension) {
    ScratchDirectory dir;
    auto chooseIn = [](QString path) {
        return test::whenModal([path](QWidget* widget) {
            auto* dialog = qobject_cast<QFileDialog*>(widget);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
            EXPECT_TRUE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
            EXPECT_EQ(dialog->nameFilters(),
                      (QStringList{"Vantrel-Files (*.85?)", "All files (*)"}));
            dialog->selectFile(path);
            static_cast<QDialog*>(dialog)->accept();
        });
    };

    chooseIn(dir.at("prog"));
    EXPECT_EQ(askSaveFileName(nullptr, false), (dir.at("prog") + ".85g").toStdString());

    // A dot in a folder's name is no extension of the file's; a backup is ".85b".
    chooseIn(dir.at("old.dir/prog"));
    EXPECT_EQ(askSaveFileName(nullptr, true), (dir.at("old.dir/prog") + ".85b").toStdString());

    chooseIn(dir.at("old.dir/prog.85n"));
    EXPECT_EQ(askSaveFileName(nullptr, false), dir.at("old.dir/prog.85n").toStdString());

    test::whenModal([](QWidget* widget) { qobject_cast<QDialog*>(widget)->reject(); });
    EXPECT_EQ(askSaveFileName(nullptr, false), std::nullopt);
}

TEST_F(LinkPrompts, SaveAsDialogSaysWhatArrivesAndSuggestsTheVariablesName) {
    struct Case {
        bool backup;
        std::string variable;
        QString suggested;
    };
    for (const Case& c : {Case{false, "MSG", "MSG.85g"},
                          Case{false,
                               "x\x5B"
                               "1",
                               "x_1.85g"},
                          Case{false, "", "variables.85g"}, Case{true, "", "backup.85b"}}) {
        QString title, suggested;
        test::whenModal([&](QWidget* widget) {
            auto* dialog = qobject_cast<QFileDialog*>(widget);
            ASSERT_NE(dialog, nullptr);
            title = dialog->windowTitle();
            suggested = QFileInfo(dialog->selectedFiles().value(0)).fileName();
            dialog->reject();
        });
        EXPECT_EQ(askSaveFileName(nullptr, c.backup, c.variable), std::nullopt);
        EXPECT_EQ(title, QStringLiteral("Save the variables received from the calculator"));
        EXPECT_EQ(suggested, c.suggested);
    }
}

}  // namespace
}  // namespace vantrel
