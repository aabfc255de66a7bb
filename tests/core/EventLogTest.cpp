#include "core/EventLog.h"
#include "core/Clock.h"
#include "core/MessageTable.h"
#include "core/OptionFields.h"
#include "core/ProgramState.h"
#include "core/TextFiles.h"
#include "platform/fakes/RecordingPrompts.h"
#include "platform/fakes/RecordingSoundPlayer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace stowline;
using namespace stowline::core;

namespace {

const QDateTime kMorning(QDate(2016, 3, 3), QTime(9, 5, 7));

class EventLogTest : public ::testing::Test {
protected:
    EventLogTest() : clock(kMorning) {
        folders.program = dir.path();
        folders.data = dir.path();
        SetOptionDefaults(options, {folders.program, folders.data, QSize()});
    }

    QStringList fileLines() const {
        return readTextLines(log.logFilePath()).value_or(QStringList());
    }

    void writeNumberedLog(int count) {
        QStringList lines;
        for (int i = 1; i <= count; ++i)
            lines << QStringLiteral("line %1").arg(i);
        ASSERT_TRUE(writeTextLinesAtomically(log.logFilePath(), lines));
    }

    QTemporaryDir dir;
    Folders folders;
    ProgramFlags flags;
    topt options;
    MessageTable messages;
    ManualClock clock;
    platform::RecordingSoundPlayer sound;
    EventLog log{folders, flags, options, messages, clock, sound};
};

TEST_F(EventLogTest, WritesTimeStampedLinesToListAndFileWithCrLf) {
    log.WriteLog(QStringLiteral("WinRAR - Started."));
    log.setCurrentPresetName(QStringLiteral("Docs"));
    log.WritePresetLog(QStringLiteral("Done."));
    log.WriteLog(QString());

    const QStringList expected = {QStringLiteral("[2016.03.03 09:05:07] WinRAR - Started."),
                                  QStringLiteral("[2016.03.03 09:05:07] Docs: Done."),
                                  QStringLiteral("[2016.03.03 09:05:07] ")};
    EXPECT_EQ(log.model().lines(), expected);
    QFile file(log.logFilePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), expected.join(QStringLiteral("\r\n")).toUtf8() + "\r\n");
    EXPECT_FALSE(flags.ErrorLogged);
}

TEST_F(EventLogTest, ErrorMarkAnywhereSetsFlagAndPlaysSoundWhenEnabled) {
    struct Case {
        QString message;
        bool soundOn;
        bool isError;
    };
    const Case cases[] = {
        {QStringLiteral("FTP - Error [!] while uploading"), true, true},
        {QStringLiteral("Copy failed. [!]"), false, true},
        {QStringLiteral("Done."), true, false},
        {QStringLiteral("[!"), true, false},
    };
    for (const Case& c : cases) {
        flags.ErrorLogged = false;
        sound.played.clear();
        options.soe = c.soundOn;
        log.WriteLog(c.message);
        EXPECT_EQ(flags.ErrorLogged, c.isError) << c.message.toStdString();
        const QStringList expectedSounds =
            c.isError && c.soundOn ? QStringList{options.swf} : QStringList{};
        EXPECT_EQ(sound.played, expectedSounds) << c.message.toStdString();
    }
}

TEST_F(EventLogTest, ErrorReportResultIsLoggedWithoutStartingAnotherReport) {
    options.ser = true;
    options.sto = QStringLiteral("admin@example.org");
    QStringList reported;
    bool sendSucceeds = true;
    log.setErrorReportSender([&](const QString& line) {
        reported << line;
        return sendSucceeds;
    });

    log.WriteLog(QStringLiteral("Disk full. [!]"));
    sendSucceeds = false;
    log.WriteLog(QStringLiteral("Still full. [!]"));

    EXPECT_EQ(reported, QStringList({QStringLiteral("[2016.03.03 09:05:07] Disk full. [!]"),
                                     QStringLiteral("[2016.03.03 09:05:07] Still full. [!]")}));
    const QStringList lines = fileLines();
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(
        lines[1],
        QStringLiteral("[2016.03.03 09:05:07] Error report has been sent to admin@example.org"));
    EXPECT_EQ(
        lines[3],
        QStringLiteral("[2016.03.03 09:05:07] FAILED TO SEND ERROR REPORT TO admin@example.org"));
}

TEST_F(EventLogTest, TruncationKeepsTheNewestLinesAndReportsIt) {
    struct Case {
        int limit;
        int linesBefore;
        int linesAfter;
        bool reported;
    };
    const Case cases[] = {
        {1000, 1500, 1001, true}, {1000, 1000, 1000, false}, {1000, 999, 999, false},
        {0, 1500, 1500, false},   {1, 3, 2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "lsz " << c.limit << ", " << c.linesBefore << " lines");
        options.lsz = c.limit;
        writeNumberedLog(c.linesBefore);
        log.model().replaceAll({});

        log.TruncateLog();

        const QStringList lines = fileLines();
        ASSERT_EQ(lines.size(), c.linesAfter);
        EXPECT_FALSE(flags.OperationInProgress);
        EXPECT_FALSE(QFile::exists(folders.inData(QStringLiteral("swl.lo_"))));
        if (c.reported) {
            EXPECT_EQ(lines.last(),
                      QStringLiteral("[2016.03.03 09:05:07] Log has been reduced to %1 lines.")
                          .arg(c.limit));
            EXPECT_EQ(lines.first(), QStringLiteral("line %1").arg(c.linesBefore - c.limit + 1));
        } else {
            EXPECT_EQ(lines.last(), QStringLiteral("line %1").arg(c.linesBefore));
        }
        // The list is reloaded whenever there is a limit, shortened or not.
        EXPECT_EQ(log.model().lines().size(), c.limit == 0 ? 0 : c.linesAfter);
    }
}

TEST_F(EventLogTest, HugeLinesAreCutOnScreenAndInTheFileWhateverTheLineCount) {
    // A log of a few huge lines (damaged, or written by someone else) is never read
    // whole: the list shows the lines cut, and shortening cuts them in the file too.
    {
        QFile file(log.logFilePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        const QByteArray chunk(1 << 20, 'x');
        for (int i = 0; i < 40; ++i) // one line of 40 MB
            ASSERT_EQ(file.write(chunk), chunk.size());
        file.write("\r\nshort line\r\n");
    }
    options.lsz = 1000;

    log.LoadFromFile();
    ASSERT_EQ(log.model().lines().size(), 2);
    EXPECT_LT(log.model().lines().first().size(), 5000);
    EXPECT_TRUE(log.model().lines().first().endsWith(QStringLiteral(" [...]")));

    log.TruncateLog();
    EXPECT_LT(QFileInfo(log.logFilePath()).size(), 10000);
    const QStringList lines = fileLines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines.at(1), QStringLiteral("short line"));
    EXPECT_EQ(lines.last(),
              QStringLiteral("[2016.03.03 09:05:07] Log has been reduced to 2 lines."));
}

TEST_F(EventLogTest, TruncationInsideAnotherOperationLeavesThatOperationRunning) {
    // An operation inside another (this, or an error report mailed during a run) must
    // not end the outer one.
    options.lsz = 2;
    writeNumberedLog(5);
    flags.OperationInProgress = true;

    log.TruncateLog();

    EXPECT_EQ(fileLines().size(), 3);
    EXPECT_TRUE(flags.OperationInProgress);
}

TEST_F(EventLogTest, FileFailuresKeepTheLineOnScreenAndNeverLeaveTheOperationFlagSet) {
    // The data folder vanished: appending fails, the list still shows the line.
    folders.data = dir.filePath(QStringLiteral("gone"));
    log.WriteLog(QStringLiteral("Started."));
    EXPECT_EQ(log.model().lines().size(), 1);

    // swl.log that cannot be read as a file: shortening gives up cleanly.
    folders.data = dir.path();
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("swl.log")));
    options.lsz = 1;
    log.TruncateLog();
    EXPECT_FALSE(flags.OperationInProgress);
    EXPECT_TRUE(QFileInfo(log.logFilePath()).isDir());
}

TEST_F(EventLogTest, DeleteAllRecordsOnlyAfterYes) {
    writeNumberedLog(3);
    log.LoadFromFile();
    platform::RecordingPrompts prompts;

    prompts.yesNoAnswers = {false};
    log.DeleteAllRecords(prompts);
    EXPECT_TRUE(QFile::exists(log.logFilePath()));
    EXPECT_EQ(prompts.questions.value(0),
              QStringLiteral("\nThe log file will be completely removed. Proceed?"));

    prompts.yesNoAnswers = {true};
    log.DeleteAllRecords(prompts);
    EXPECT_FALSE(QFile::exists(log.logFilePath()));
    EXPECT_TRUE(log.model().lines().isEmpty());
    EXPECT_FALSE(flags.OperationInProgress);
}

TEST_F(EventLogTest, ExportWritesTheListedLines) {
    log.WriteLog(QStringLiteral("one"));
    log.WriteLog(QStringLiteral("two"));
    const QString target = dir.filePath(QStringLiteral("export.txt"));
    ASSERT_TRUE(log.ExportTo(target));
    EXPECT_EQ(readTextLines(target).value(), log.model().lines());
}

} // namespace
