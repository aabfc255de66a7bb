#include "shell/WatcherTasks.h"
#include "core/ProgramState.h"
#include "scheduler/ScheduleEntry.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace stowline;
using shell::tsnopt;
using shell::WatcherTaskArray;

namespace {

QDateTime at(int hour, int minute, int second = 0) {
    return scheduler::wallClock(QDateTime(QDate(2016, 3, 18), QTime(hour, minute, second)));
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

TEST(WatcherTasks, MissingFileGivesNineDisabledTasksWithTheirDefaults) {
    const WatcherTaskArray tasks = shell::parseWatcherTasks(u"");
    for (int slot = 1; slot <= shell::kWatcherSlots; ++slot) {
        const tsnopt& task = tasks[std::size_t(slot - 1)];
        EXPECT_EQ(task.name, QStringLiteral("Task %1").arg(slot));
        EXPECT_FALSE(task.enabled);
        EXPECT_FALSE(task.subfolders);
        EXPECT_TRUE(task.cfn && task.cdn && task.csz && task.clw && task.cat);
        EXPECT_EQ(task.inactiveDelay, 60);
        EXPECT_EQ(task.execDelay, 10);
        EXPECT_EQ(scheduler::FormatScheduleDate(task.inactiveTill), u"2000.01.01 00:00:00");
    }
}

TEST(WatcherTasks, WritesEverySectionWithItsKeysInOrder) {
    WatcherTaskArray tasks = shell::parseWatcherTasks(u"");
    tsnopt& second = tasks[1];
    second.enabled = true;
    second.name = QStringLiteral("Docs watch");
    second.preset = QStringLiteral("Docs");
    second.folder = QStringLiteral("/home/u/docs");
    second.subfolders = true;
    second.execDelay = 5;
    second.inactiveDelay = 0;
    second.inactiveTill = at(13, 0, 1);
    second.csz = false;

    const QString text = shell::formatWatcherTasks(tasks);
    const QString expected = QStringLiteral("[TASK2]\r\nENABLED=1\r\nNAME=Docs watch\r\n"
                                            "PRESET=Docs\r\nFOLDER=/home/u/docs\r\n"
                                            "SUBFOLDERS=1\r\nEXECDELAY=5\r\nINACTIVEDELAY=0\r\n"
                                            "INACTIVETILL=2016.03.18 13:00:01 \r\nCFN=1\r\n"
                                            "CDN=1\r\nCSZ=0\r\nCLW=1\r\nCAT=1\r\n[TASK3]\r\n");
    EXPECT_TRUE(text.contains(expected)) << qPrintable(text);
    EXPECT_TRUE(text.startsWith(u"[TASK1]\r\nENABLED=0\r\nNAME=Task 1\r\n"));
    EXPECT_TRUE(text.endsWith(u"CAT=1\r\n"));
    EXPECT_EQ(shell::parseWatcherTasks(text), tasks);
}

TEST(WatcherTasks, ReadsTheWayTheProfileReaderDoes) {
    struct Case {
        const char* text;
        std::function<bool(const tsnopt&)> check;
    };
    const Case cases[] = {
        // keys and sections in any case, blanks around names and values
        {"[task1]\nenabled = 1\n  Name= Mine \n",
         [](const tsnopt& t) { return t.enabled && t.name == u"Mine"; }},
        // only "0" is off
        {"[TASK1]\nENABLED=yes\nCFN=0\nCDN=\n",
         [](const tsnopt& t) { return t.enabled && !t.cfn && t.cdn; }},
        // an unreadable number or date keeps the default
        {"[TASK1]\nEXECDELAY=ten\nINACTIVEDELAY=99999999999\nINACTIVETILL=soon\n",
         [](const tsnopt& t) {
             return t.execDelay == 10 && t.inactiveDelay == 60 &&
                    t.inactiveTill.date() == QDate(2000, 1, 1);
         }},
        // the first of two equal keys counts; keys outside a known section are ignored
        {"NAME=lost\n[TASK10]\nNAME=lost\n[TASK1]\nNAME=first\nNAME=second\n",
         [](const tsnopt& t) { return t.name == u"first"; }},
        // a value may hold "="; CR LF line ends
        {"[TASK1]\r\nFOLDER=/a=b\r\nEXECDELAY=-3\r\n",
         [](const tsnopt& t) { return t.folder == u"/a=b" && t.execDelay == -3; }},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(c.check(shell::parseWatcherTasks(QString::fromUtf8(c.text)).front())) << c.text;
}

TEST(WatcherTasks, FileLivesInTheDataFolderAndAnOlderOneIsMovedThere) {
    QTemporaryDir root;
    core::Folders folders;
    folders.program = root.filePath(QStringLiteral("program"));
    folders.data = root.filePath(QStringLiteral("data"));
    QDir().mkpath(folders.program);
    QDir().mkpath(folders.data);
    writeFile(folders.inProgram(QStringLiteral("swl.snt")), "[TASK4]\r\nNAME=Old\r\n");

    EXPECT_EQ(shell::LoadWatcherTasks(folders)[3].name, u"Old");
    EXPECT_FALSE(QFile::exists(folders.inProgram(QStringLiteral("swl.snt"))));

    WatcherTaskArray tasks = shell::LoadWatcherTasks(folders);
    tasks[3].name = QStringLiteral("New");
    ASSERT_TRUE(shell::SaveWatcherTasks(folders, tasks));
    EXPECT_EQ(shell::watcherTasksPath(folders), folders.inData(QStringLiteral("swl.snt")));
    // A file that turns up in the program folder later never overrides the settings.
    writeFile(folders.inProgram(QStringLiteral("swl.snt")), "[TASK4]\r\nNAME=Stale\r\n");
    EXPECT_EQ(shell::LoadWatcherTasks(folders)[3].name, u"New");
}
