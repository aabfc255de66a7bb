#include "shell/Shortcuts.h"
#include "shell/DesktopEntry.h"
#include "shell/FileManagerVerbs.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using namespace stowline;

namespace {

// Runs a program and gives its standard output and error; `code` gets the exit code.
QString run(const QString& program, const QStringList& arguments, int* code = nullptr,
            const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    process.waitForFinished(30000);
    if (code)
        *code = process.exitCode();
    return QString::fromUtf8(process.readAll());
}

// A program in place of stowline that appends each argument it gets to `record`, one
// call per line, arguments separated by "|".
QString recordingProgram(const QTemporaryDir& dir, const QString& record) {
    const QString path = dir.filePath(QStringLiteral("record me"));
    QFile script(path);
    script.open(QIODevice::WriteOnly);
    script.write(QStringLiteral("#!/bin/sh\nline=\nfor a do line=\"$line|$a\"; done\n"
                                "printf '%s\\n' \"$line\" >> '%1'\n")
                     .arg(record)
                     .toUtf8());
    script.close();
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
    return path;
}

QStringList waitForLines(const QString& path, qsizetype count) {
    QDeadlineTimer deadline(15000);
    QStringList lines;
    while (!deadline.hasExpired()) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
        if (lines.size() >= count)
            break;
        QThread::msleep(50);
    }
    return lines;
}

} // namespace

TEST(ShortcutItems, HideAndFinalCommandAreAddedOnce) {
    const QStringList presets{QStringLiteral("Docs"), QStringLiteral("Photos")};
    const QStringList once = shell::shortcutItems(presets, true, QStringLiteral("/shutdown"));
    EXPECT_EQ(once, (QStringList{QStringLiteral("/hide"), QStringLiteral("Docs"),
                                 QStringLiteral("Photos"), QStringLiteral("/shutdown")}));
    EXPECT_EQ(shell::shortcutItems(once, true, QStringLiteral("/shutdown")), once);
    // Another final command replaces the one before.
    EXPECT_EQ(shell::shortcutItems(once, true, QStringLiteral("/reboot")).last(), u"/reboot");
    EXPECT_EQ(shell::shortcutItems(once, true, QStringLiteral("/reboot")).size(), 4);
    EXPECT_EQ(shell::shortcutItems(presets, false, QString()), presets);
}

TEST(ShortcutName, NamePartsAndASafeFileName) {
    struct Case {
        QStringList items;
        const char* expected;
    };
    const Case cases[] = {
        {{"/hide", "Docs", "Photos", "/shutdown"}, "SWL - HIDE, Docs, Photos, SHUTDOWN.desktop"},
        {{"/exit", "/safeexit", "/hibernate", "/suspend", "/reboot"},
         "SWL - EXIT, SAFEEXIT, HIBERNATE, SUSPEND, REBOOT.desktop"},
        // hand-typed commands keep their case; a "/" cannot stand in a file name
        {{"/EXIT", "a/b"}, "SWL - _EXIT, a_b.desktop"},
        {{"line\nbreak"}, "SWL - line_break.desktop"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(shell::shortcutFileName(c.items), QString::fromUtf8(c.expected));

    const QString longName = shell::shortcutFileName({QString(300, QChar(0x00e9))});
    EXPECT_LE(longName.toUtf8().size(), shell::kLongestShortcutName + 8);
    EXPECT_TRUE(longName.endsWith(u"\u00e9.desktop"));
}

TEST(ShortcutEntry, ExecLineGivesTheItemsBackThroughTheDesktopRules) {
    QTemporaryDir dir;
    const QString record = dir.filePath(QStringLiteral("calls.txt"));
    const QString program = recordingProgram(dir, record);
    const QStringList items = shell::shortcutItems(
        {QStringLiteral("Docs"), QStringLiteral("Photos")}, true, QStringLiteral("/shutdown"));
    const QString folder = dir.filePath(QStringLiteral("Desktop"));
    ASSERT_EQ(shell::writeShortcut(folder, program, items), QString());
    const QString entry = folder + QStringLiteral("/SWL - HIDE, Docs, Photos, SHUTDOWN.desktop");
    ASSERT_TRUE(QFile::exists(entry));
    EXPECT_TRUE(QFile::permissions(entry) & QFile::ExeOwner);

    int code = -1;
    const QString validation = run(QStringLiteral("desktop-file-validate"), {entry}, &code);
    EXPECT_EQ(code, 0) << qPrintable(validation);

    // Names that need every quoting rule, then the real launcher's unquoting.
    const QStringList awkward{QStringLiteral("/hide"),       QStringLiteral("a b"),
                              QStringLiteral("50% \"off\""), QStringLiteral("back\\slash"),
                              QStringLiteral("$HOME `x`"),   QStringLiteral("it's")};
    ASSERT_EQ(shell::writeShortcut(folder, program, awkward), QString());
    run(QStringLiteral("gio"), {QStringLiteral("launch"), entry});
    run(QStringLiteral("gio"),
        {QStringLiteral("launch"), folder + QLatin1Char('/') + shell::shortcutFileName(awkward)});
    const QStringList calls = waitForLines(record, 2);
    ASSERT_EQ(calls.size(), 2);
    EXPECT_EQ(calls.at(0), u"|/hide|Docs|Photos|/shutdown");
    EXPECT_EQ(calls.at(1), QLatin1Char('|') + awkward.join(QLatin1Char('|')));
}

TEST(ShortcutEntry, FailureToWriteIsReported) {
    QTemporaryDir dir;
    const QString blocked = dir.filePath(QStringLiteral("file"));
    QFile(blocked).open(QIODevice::WriteOnly);
    EXPECT_NE(shell::writeShortcut(blocked + QStringLiteral("/below"), QStringLiteral("/bin/true"),
                                   {QStringLiteral("Docs")}),
              QString());
}

class FileManagerVerbs : public ::testing::Test {
protected:
    FileManagerVerbs() {
        folders_.dataHome = home_.filePath(QStringLiteral(".local/share"));
        folders_.configHome = home_.filePath(QStringLiteral(".config"));
    }
    QTemporaryDir home_;
    shell::VerbFolders folders_;
};

TEST_F(FileManagerVerbs, InstalledWhileOnWithdrawnWhenOff) {
    shell::RegisterBinVerbs(folders_, QStringLiteral("/usr/bin/stowline"), true, false);
    EXPECT_TRUE(QFile::exists(shell::nautilusScriptPath(folders_, false)));
    EXPECT_FALSE(QFile::exists(shell::nautilusScriptPath(folders_, true)));
    int code = -1;
    const QString validation = run(QStringLiteral("desktop-file-validate"),
                                   {shell::dolphinServiceMenuPath(folders_)}, &code);
    EXPECT_EQ(code, 0) << qPrintable(validation);

    shell::RegisterBinVerbs(folders_, QStringLiteral("/usr/bin/stowline"), true, true);
    EXPECT_TRUE(QFile::exists(shell::nautilusScriptPath(folders_, true)));
    shell::WithdrawBinVerbs(folders_);
    EXPECT_FALSE(QFile::exists(shell::nautilusScriptPath(folders_, false)));
    EXPECT_FALSE(QFile::exists(shell::nautilusScriptPath(folders_, true)));
    EXPECT_FALSE(QFile::exists(shell::dolphinServiceMenuPath(folders_)));
}

TEST_F(FileManagerVerbs, ThunarActionsOfOthersAreKept) {
    const QString theirs = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n<action>\n\t<name>Open "
        "Terminal Here</name>\n\t<unique-id>1-1</unique-id>\n\t<command>exo-open "
        "%f</command>\n</action>\n</actions>\n");
    const QString ours =
        shell::mergeThunarActions(theirs, QStringLiteral("<action><unique-id>"
                                                         "stowline-swl-keeper"
                                                         "</unique-id></action>\n"));
    EXPECT_TRUE(ours.contains(u"Open Terminal Here"));
    EXPECT_TRUE(ours.contains(u"stowline-swl-keeper"));
    // Installing twice does not add the action twice; withdrawing restores the file.
    EXPECT_EQ(shell::mergeThunarActions(ours, QStringLiteral("<action><unique-id>stowline-swl-"
                                                             "keeper</unique-id></action>\n")),
              ours);
    EXPECT_EQ(shell::mergeThunarActions(ours, QString()), theirs);
}

TEST_F(FileManagerVerbs, EachSelectedItemStartsTheProgramOnce) {
    const QString record = home_.filePath(QStringLiteral("calls.txt"));
    const QString program = recordingProgram(home_, record);
    shell::RegisterBinVerbs(folders_, program, true, true);

    // Nautilus: the items as arguments, relative to the folder shown.
    QProcess script;
    script.setWorkingDirectory(home_.path());
    script.start(shell::nautilusScriptPath(folders_, false),
                 {QStringLiteral("a file.txt"), QStringLiteral("/abs/dir")});
    script.waitForFinished(15000);
    // Thunar: its command line with %F replaced by the quoted items.
    QFile uca(shell::thunarActionsPath(folders_));
    ASSERT_TRUE(uca.open(QIODevice::ReadOnly));
    const QString xml = QString::fromUtf8(uca.readAll());
    const qsizetype from = xml.indexOf(u"<command>") + 9;
    QString command = xml.mid(from, xml.indexOf(u"</command>") - from);
    command.replace(QStringLiteral("&amp;"), QStringLiteral("&"))
        .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
        .replace(QStringLiteral("&#39;"), QStringLiteral("'"));
    command.replace(QStringLiteral("%F"), QStringLiteral("'/x/one' '/x/it'\\''s'"));
    run(QStringLiteral("sh"), {QStringLiteral("-c"), command});

    const QStringList calls = waitForLines(record, 4);
    EXPECT_EQ(
        calls,
        (QStringList{QStringLiteral("|/SWL-KEEPER|") + home_.path() + QStringLiteral("/a file.txt"),
                     QStringLiteral("|/SWL-KEEPER|/abs/dir"), QStringLiteral("|/SWL-KEEPER|/x/one"),
                     QStringLiteral("|/SWL-KEEPER|/x/it's")}));
}
