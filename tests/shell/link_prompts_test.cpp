#include <gtest/gtest.h>

#include <QEventLoop>
#include <QFileDialog>
#include <filesystem>

#include <unistd.h>

#include "modal_driver.h"
#include "shell/link_prompts.h"

namespace fs = std::filesystem;

namespace vantrel {
namespace {

class LinkPrompts : public ::testing::Test {
protected:
    void SetUp() override { test::application(); }
};

TEST_F(LinkPrompts, OverwriteQuestionAnswers) {
    auto yes = test::answerMessageBox(QMessageBox::Yes);
    EXPECT_EQ(showFilePrompt(nullptr, 2, false, "/home/u/prog.85p"), 1);
    ASSERT_TRUE(yes->shown);
    EXPECT_EQ(yes->title, "Warning");
    EXPECT_EQ(yes->text, "Overwrite file \n/home/u/prog.85p?");
    EXPECT_EQ(yes->icon, QMessageBox::Warning);
    EXPECT_EQ(yes->buttons, QMessageBox::Yes | QMessageBox::No);

    auto no = test::answerMessageBox(QMessageBox::No);
    EXPECT_EQ(showFilePrompt(nullptr, 2, false, "/home/u/prog.85p"), 0);
    EXPECT_TRUE(no->shown);
}

TEST_F(LinkPrompts, ErrorPromptsAnswerZero) {
    auto cannot = test::answerMessageBox(QMessageBox::Ok);
    EXPECT_EQ(showFilePrompt(nullptr, 1, true, "/x/a.85p"), 0);
    ASSERT_TRUE(cannot->shown);
    EXPECT_EQ(cannot->title, "Error");
    EXPECT_EQ(cannot->text, "Can't open file \n/x/a.85p.");
    EXPECT_EQ(cannot->icon, QMessageBox::Critical);
    EXPECT_EQ(cannot->buttons, QMessageBox::Ok);

    auto bad = test::answerMessageBox(QMessageBox::Ok);
    EXPECT_EQ(showFilePrompt(nullptr, 3, true, "/x/a.85p"), 0);
    EXPECT_EQ(bad->text, "The file \n/x/a.85p \ncontains bad data.");

    // Why a write failed follows the prompt's own text.
    auto full = test::answerMessageBox(QMessageBox::Ok);
    EXPECT_EQ(showFilePrompt(nullptr, 1, true, "/full/a.85g", "No space left on device"), 0);
    EXPECT_EQ(full->text, "Can't open file \n/full/a.85g.\nNo space left on device");
}

TEST_F(LinkPrompts, LongNamesAreCutAndUnknownKindsAskNothing) {
    const std::string longName(400, 'n');
    EXPECT_EQ(filePromptText(1, longName), "Can't open file \n" + QString(256, 'n') + ".");
    // Nothing comes up for a kind the link never sends; an unexpected box would be
    // answered Yes and show up as 1.
    auto guard = test::answerMessageBox(QMessageBox::Yes);
    EXPECT_EQ(showFilePrompt(nullptr, 7, false, "f"), 0);
    QEventLoop().processEvents();
    EXPECT_FALSE(guard->shown);
    guard->watch->cancel();
}

TEST_F(LinkPrompts, UploadHint) {
    auto hint = test::answerMessageBox(QMessageBox::Ok);
    showLinkHint(nullptr, 1, false);
    ASSERT_TRUE(hint->shown);
    EXPECT_EQ(hint->title, "Error");
    EXPECT_EQ(hint->text, "To upload a file first press\n[2nd] [LINK] [F2] on the calculator.");
    EXPECT_EQ(hint->icon, QMessageBox::Critical);

    // Code 2 shows nothing: returning at all proves no modal box waited for an answer.
    showLinkHint(nullptr, 2, false);
    showLinkHint(nullptr, 2, true);
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
            EXPECT_EQ(dialog->nameFilters(), (QStringList{"Vantrel-Files (*.85?)", "All files (*)"}));
            dialog->selectFile(path);
            static_cast<QDialog*>(dialog)->accept();
        });
    };

    std::string name;
    chooseIn(dir.at("prog"));
    ASSERT_TRUE(askSaveFileName(nullptr, name, false));
    EXPECT_EQ(QString::fromStdString(name), dir.at("prog") + ".85g");

    // A dot in a folder's name is no extension of the file's; a backup is ".85b".
    chooseIn(dir.at("old.dir/prog"));
    ASSERT_TRUE(askSaveFileName(nullptr, name, true));
    EXPECT_EQ(QString::fromStdString(name), dir.at("old.dir/prog") + ".85b");

    chooseIn(dir.at("old.dir/prog.85n"));
    ASSERT_TRUE(askSaveFileName(nullptr, name, false));
    EXPECT_EQ(QString::fromStdString(name), dir.at("old.dir/prog.85n"));

    test::whenModal([](QWidget* widget) { qobject_cast<QDialog*>(widget)->reject(); });
    name = "unchanged";
    EXPECT_FALSE(askSaveFileName(nullptr, name, false));
    EXPECT_EQ(name, "unchanged");
}

}  // namespace
}  // namespace vantrel
