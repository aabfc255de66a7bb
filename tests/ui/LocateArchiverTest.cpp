#include "ui/locate/ArchiverSearch.h"
#include "ui/locate/LocateArchiverDialog.h"

#include "core/MessageTable.h"
#include "platform/fakes/RecordingPrompts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include "QtPrinters.h"

namespace stowline::ui {
namespace {

// Files below a temporary root, executable or not.
class SearchTree {
public:
    void file(const QString& path, bool executable = true) {
        QDir(root.path()).mkpath(QFileInfo(root.filePath(path)).path());
        QFile file(root.filePath(path));
        file.open(QIODevice::WriteOnly);
        file.setPermissions(executable ? QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                       : QFile::ReadOwner | QFile::WriteOwner);
    }
    QString path(const QString& relative) const { return root.filePath(relative); }

    QTemporaryDir root;
};

const QStringList kNames{QStringLiteral("rar"), QStringLiteral("stowarc")};

std::optional<QString> search(const QString& root) {
    return ArchiverSearch(root, kNames).run([] { return true; });
}

TEST(ArchiverSearch, FirstProgramDepthFirstInNameOrder) {
    SearchTree tree;
    tree.file(QStringLiteral("a/notes.txt"));
    tree.file(QStringLiteral("b/rar"), false); // not a program
    tree.file(QStringLiteral("b/deep/er/stowarc"));
    tree.file(QStringLiteral("c/rar"));
    tree.file(QStringLiteral("rar"));
    EXPECT_EQ(search(tree.root.path()), tree.path(QStringLiteral("b/deep/er/stowarc")));
    EXPECT_EQ(search(tree.path(QStringLiteral("c"))), tree.path(QStringLiteral("c/rar")));
    EXPECT_EQ(search(tree.path(QStringLiteral("a"))), std::nullopt);
    EXPECT_EQ(search(tree.path(QStringLiteral("missing"))), std::nullopt);
}

TEST(ArchiverSearch, SymbolicLinksAreNotFollowed) {
    SearchTree tree;
    QTemporaryDir elsewhere;
    QFile program(elsewhere.filePath(QStringLiteral("rar")));
    program.open(QIODevice::WriteOnly);
    program.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    tree.file(QStringLiteral("z/keep"));
    ASSERT_TRUE(QFile::link(elsewhere.path(), tree.path(QStringLiteral("a-link"))));
    ASSERT_TRUE(QFile::link(program.fileName(), tree.path(QStringLiteral("z/rar"))));
    // A loop would never end if links were followed.
    ASSERT_TRUE(QFile::link(tree.root.path(), tree.path(QStringLiteral("z/loop"))));
    EXPECT_EQ(search(tree.root.path()), std::nullopt);
}

TEST(ArchiverSearch, StopsWhenAskedTo) {
    SearchTree tree;
    tree.file(QStringLiteral("a/one"));
    tree.file(QStringLiteral("a/two"));
    tree.file(QStringLiteral("b/rar"));
    int entries = 0;
    EXPECT_EQ(ArchiverSearch(tree.root.path(), kNames).run([&] { return ++entries < 2; }),
              std::nullopt);
    EXPECT_EQ(entries, 2);
}

class LocateArchiverDialogTest : public ::testing::Test {
protected:
    core::MessageTable messages;
    platform::RecordingPrompts prompts;
    SearchTree tree;
};

TEST_F(LocateArchiverDialogTest, SearchFillsThePathAndOkTakesIt) {
    tree.file(QStringLiteral("x/y/rar"));
    LocateArchiverDialog dialog(messages, prompts, tree.root.path(), kNames);
    dialog.findChild<QPushButton*>(QStringLiteral("search"))->click();
    EXPECT_EQ(dialog.findChild<QPushButton*>(QStringLiteral("search"))->text(),
              messages.text(u"searchdone"));
    dialog.accept();
    EXPECT_EQ(dialog.result(), tree.path(QStringLiteral("x/y/rar")));
}

TEST_F(LocateArchiverDialogTest, CaptionsComeFromTheLanguageFile) {
    QTemporaryDir program;
    QFile language(program.filePath(QStringLiteral("Deutsch.lng")));
    ASSERT_TRUE(language.open(QIODevice::WriteOnly));
    language.write("[FORMS]\r\nForm12=Archivierer suchen\r\nForm12search=Suchen\r\n");
    language.close();
    LocateArchiverDialog dialog(messages, prompts, tree.root.path(), kNames);
    dialog.changeLang(program.path(), QStringLiteral("Deutsch.lng"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Archivierer suchen"));
    EXPECT_EQ(dialog.findChild<QPushButton*>(QStringLiteral("search"))->text(),
              QStringLiteral("Suchen"));
}

TEST_F(LocateArchiverDialogTest, OkWithAWrongPathStaysOpen) {
    LocateArchiverDialog dialog(messages, prompts, tree.root.path(), kNames);
    dialog.show();
    dialog.findChild<QLineEdit*>(QStringLiteral("archiverpath"))
        ->setText(tree.path(QStringLiteral("nothing")));
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(prompts.errors,
              QStringList{QLatin1Char('\n') + messages.text(u"wrongarchiverselection")});
}

TEST_F(LocateArchiverDialogTest, ClosingDuringTheSearchCancelsItFirst) {
    for (int index = 0; index < 300; ++index)
        tree.file(QStringLiteral("many/%1").arg(index));
    tree.file(QStringLiteral("zz/rar"));
    LocateArchiverDialog dialog(messages, prompts, tree.root.path(), kNames);
    dialog.show();
    bool searchingWhenClosed = false;
    QTimer::singleShot(0, &dialog, [&] {
        searchingWhenClosed = dialog.searching();
        dialog.close();
    });
    dialog.findChild<QPushButton*>(QStringLiteral("search"))->click();
    EXPECT_TRUE(searchingWhenClosed);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QString());
    EXPECT_EQ(dialog.findChild<QLineEdit*>(QStringLiteral("archiverpath"))->text(), QString());
}

} // namespace
} // namespace stowline::ui
