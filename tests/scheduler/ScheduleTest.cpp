#include "ControlCharacterNames.h"
#include "SchedulerTestSupport.h"

#include "core/ControlCharacters.h"
#include "core/TextFiles.h"

#include <QDir>
#include <QFile>

#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace stowline::scheduler {
inline void PrintTo(const tschdata& stored, std::ostream* out) {
    *out << FormatScheduleLine(stored).toStdString();
}
} // namespace stowline::scheduler

using namespace stowline;
using namespace stowline::scheduler;
using namespace stowline::scheduler::testing;

namespace {

class ScheduleTest : public ::testing::Test {
protected:
    ScheduleTest()
        : state(dir.path(), {QStringLiteral("docs"), QStringLiteral("Mail")}, at(18, 10)) {}

    tschopt request(const QString& text) {
        tschopt entry;
        ParseScheduleRequest(text, entry, state.clock.now(), state.log, state.messages);
        return entry;
    }
    void add(const QString& text) { state.schedule.AddScheduleEntry(request(text)); }
    QStringList fileLines() const {
        return core::readTextLines(state.schedule.scheduleFilePath()).value_or(QStringList());
    }

    QTemporaryDir dir;
    InstanceState state;
};

TEST_F(ScheduleTest, RequestSettingsAndTheirFallbacks) {
    struct Case {
        QString request;
        QString presname;
        QDateTime date;
        qint32 repeat;
        qint32 interval;
        qint32 ondelay;
        bool precise;
        QStringList log;
    };
    const QDateTime now = at(18, 10);
    const Case cases[] = {
        {QStringLiteral("Docs"), QStringLiteral("Docs"), now, 0, 1, 0, true, {}},
        {QStringLiteral("[DATE=2016.03.20 23:00:00][REPEAT=-1][INTERVAL=1440]Docs"),
         QStringLiteral("Docs"),
         at(20, 23),
         -1,
         1440,
         0,
         true,
         {}},
        {QStringLiteral("[REPEAT=-2]Docs"),
         QStringLiteral("Docs"),
         now,
         0,
         1,
         0,
         true,
         {QStringLiteral("SCHEDULER - Error in REPEAT format; set to default. [!]")}},
        {QStringLiteral("[repeat=3][foo=1]Docs"),
         QStringLiteral("Docs"),
         now,
         3,
         1,
         0,
         true,
         {QStringLiteral("SCHEDULER - Unrecognized parameter \"FOO=1\"; skipped. [!]")}},
        {QStringLiteral("[DATE=tomorrow]Docs"),
         QStringLiteral("Docs"),
         now,
         0,
         1,
         0,
         true,
         {QStringLiteral("SCHEDULER - Error in DATE format; set to default. [!]")}},
        {QStringLiteral("[INTERVAL=0][ONDELAY=3]Docs"),
         QStringLiteral("Docs"),
         now,
         0,
         1,
         0,
         true,
         {QStringLiteral("SCHEDULER - Error in INTERVAL format; set to default. [!]"),
          QStringLiteral("SCHEDULER - Error in ONDELAY format; set to default. [!]")}},
        {QStringLiteral("[ondelay=2][precise=0]Docs"),
         QStringLiteral("Docs"),
         now,
         0,
         1,
         2,
         false,
         {}},
        {QStringLiteral("[PRESICE=0]Docs"), QStringLiteral("Docs"), now, 0, 1, 0, false, {}},
        {QStringLiteral("[PRECISE=no]Docs"), QStringLiteral("Docs"), now, 0, 1, 0, true, {}},
        // Settings may stand anywhere; the name is what remains, blanks and all.
        {QStringLiteral("Do[REPEAT=1]cs "), QStringLiteral("Docs "), now, 1, 1, 0, true, {}},
        {QStringLiteral("[REPEAT=1] Docs"), QStringLiteral(" Docs"), now, 1, 1, 0, true, {}},
        // A "]" before the first "[" ends the settings; the rest stays the name.
        {QStringLiteral("[REPEAT=2]]x[REPEAT=1]Docs"),
         QStringLiteral("]x[REPEAT=1]Docs"),
         now,
         2,
         1,
         0,
         true,
         {}},
        {QStringLiteral("[REPEAT=1"), QStringLiteral("[REPEAT=1"), now, 0, 1, 0, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.request.toStdString());
        const qsizetype logBefore = state.logMessages().size();
        tschopt entry;
        entry.dow = QStringLiteral("0110");
        ParseScheduleRequest(c.request, entry, now, state.log, state.messages);
        EXPECT_EQ(entry.presname, c.presname);
        EXPECT_EQ(FormatScheduleDate(entry.date), FormatScheduleDate(c.date));
        EXPECT_EQ(entry.repeat, c.repeat);
        EXPECT_EQ(entry.interval, c.interval);
        EXPECT_EQ(entry.ondelay, c.ondelay);
        EXPECT_EQ(entry.precise, c.precise);
        EXPECT_EQ(entry.dow, QStringLiteral("0110")) << "the caller's day mask is kept";
        EXPECT_EQ(state.logMessages().mid(logBefore), c.log);
    }
}

TEST_F(ScheduleTest, AddAcceptsPresetsAndKnownCommandsOnly) {
    struct Case {
        QString request;
        QStringList log;
        bool added;
    };
    const Case cases[] = {
        {QStringLiteral("Docs"),
         {QStringLiteral("SCHEDULER - Added: Docs @ 2016.03.18 10:00:00 ")},
         true},
        {QStringLiteral("[REPEAT=1] Docs"),
         {QStringLiteral("SCHEDULER - No such preset -  Docs. [!]")},
         false},
        {QStringLiteral("Nothing"),
         {QStringLiteral("SCHEDULER - No such preset - Nothing. [!]")},
         false},
        {QStringLiteral("/exit"),
         {QStringLiteral("SCHEDULER - Added: /exit @ 2016.03.18 10:00:00 ")},
         true},
        {QStringLiteral("/Ewx_Logoff"),
         {QStringLiteral("SCHEDULER - Added: /Ewx_Logoff @ 2016.03.18 10:00:00 ")},
         true},
        {QStringLiteral("/SENDLOG(48"),
         {QStringLiteral("SCHEDULER - Added: /SENDLOG(48 @ 2016.03.18 10:00:00 ")},
         true},
        {QStringLiteral("/unschedule(2)"),
         {QStringLiteral("2"),
          QStringLiteral("SCHEDULER - Added: /unschedule(2) @ 2016.03.18 10:00:00 ")},
         true},
        {QStringLiteral("/UNSCHEDULE"),
         {QStringLiteral("SCHEDULER - Added: /UNSCHEDULE @ 2016.03.18 10:00:00 ")},
         true},
        {QStringLiteral("/UNSCHEDULE(x)"),
         {QStringLiteral("Command \"/UNSCHEDULE(x)\" - invalid parameter, canceled. [!]")},
         false},
        {QStringLiteral("/EXECASYNC(notepad.exe)"),
         {QStringLiteral("SCHEDULER - Added: /EXECASYNC(notepad.exe) @ 2016.03.18 10:00:00 ")},
         true},
        {QStringLiteral("/EXECSYNC"),
         {QStringLiteral("SCHEDULER - Unknown command - /EXECSYNC. [!]")},
         false},
        {QStringLiteral("/EXECSYNC)x("),
         {QStringLiteral("SCHEDULER - Unknown command - /EXECSYNC)x(. [!]")},
         false},
        {QStringLiteral("/HELP"),
         {QStringLiteral("SCHEDULER - Unknown command - /HELP. [!]")},
         false},
        {QStringLiteral("/EXIT now"),
         {QStringLiteral("SCHEDULER - Unknown command - /EXIT now. [!]")},
         false},
        // A control character would split the entry's line in swl.sch and forge log lines.
        {QStringLiteral("Docs\r\nSWL halts."),
         {QStringLiteral("SCHEDULER - The name \"Docs<U+000D><U+000A>SWL halts.\" holds a "
                         "control character; refused. [!]")},
         false},
        {QStringLiteral("/EXECASYNC(a\rb)"),
         {QStringLiteral("SCHEDULER - The name \"/EXECASYNC(a<U+000D>b)\" holds a control "
                         "character; refused. [!]")},
         false},
        {QStringLiteral("Do\u2028cs"),
         {QStringLiteral(
             "SCHEDULER - The name \"Do<U+2028>cs\" holds a control character; refused. [!]")},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.request.toStdString());
        const qsizetype logBefore = state.logMessages().size();
        const qsizetype sizeBefore = state.schedule.size();
        add(c.request);
        EXPECT_EQ(state.logMessages().mid(logBefore), c.log);
        EXPECT_EQ(state.schedule.size(), sizeBefore + (c.added ? 1 : 0));
    }
    // Stored as given; the day mask left empty by the request becomes the default.
    EXPECT_EQ(state.schedule.entries().first(),
              (tschdata{QStringLiteral("2016.03.18 10:00:00 "), QStringLiteral("Docs"),
                        QStringLiteral("REPEAT=0 INTERVAL=1 PRECISE=1 ONDELAY=0 DOW=11111110")}));
}

TEST_F(ScheduleTest, KeepsDateOrderAndTheOrderOfAdditionWithinOneSecond) {
    add(QStringLiteral("[DATE=2016.03.19 08:00:00]Mail"));
    add(QStringLiteral("Docs"));
    add(QStringLiteral("/EXIT"));
    add(QStringLiteral("[DATE=2016.03.18 00:00:00]Mail"));
    add(QStringLiteral("/SHOW"));
    EXPECT_EQ(state.presnames(),
              (QStringList{QStringLiteral("Mail"), QStringLiteral("Docs"), QStringLiteral("/EXIT"),
                           QStringLiteral("/SHOW"), QStringLiteral("Mail")}));
    EXPECT_EQ(FormatScheduleDate(state.schedule.NextDue()), QStringLiteral("2016.03.18 00:00:00"));

    // The file holds the same order, and reading it back keeps it.
    const QStringList lines = fileLines();
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines.at(1),
              QStringLiteral("<D>2016.03.18 10:00:00 </D><P>Docs</P><O>REPEAT=0 INTERVAL=1 "
                             "PRECISE=1 ONDELAY=0 DOW=11111110</O>"));
    state.schedule.LoadSchedule();
    EXPECT_EQ(state.presnames(),
              (QStringList{QStringLiteral("Mail"), QStringLiteral("Docs"), QStringLiteral("/EXIT"),
                           QStringLiteral("/SHOW"), QStringLiteral("Mail")}));
}

TEST_F(ScheduleTest, LoadSortsTheFileAndDropsUnreadableLinesWithAnError) {
    ASSERT_TRUE(core::writeTextLinesAtomically(
        state.schedule.scheduleFilePath(),
        {QStringLiteral("<D>2016.03.21 09:00:00 </D><P>Late</P><O>REPEAT=0 INTERVAL=1 PRECISE=1 "
                        "ONDELAY=0 DOW=11111110</O>"),
         QStringLiteral("<D>2016.03.20 00:00:00</D><P>Early</P><O>REPEAT=-1 INTERVAL=60 PRESICE=0 "
                        "ONDELAY=1 DOW=1010</O>"),
         QString(),
         QStringLiteral(
             "<D>someday</D><P>Broken</P><O>REPEAT=0 INTERVAL=1 PRECISE=1 ONDELAY=0</O>"),
         QStringLiteral("<D>2016.03.20 00:00:00</D><P>Early too</P><O>REPEAT=0 INTERVAL=1 "
                        "PRECISE=1 ONDELAY=0 DOW=11111110</O>")}));
    state.schedule.LoadSchedule();
    EXPECT_EQ(state.presnames(), (QStringList{QStringLiteral("Early"), QStringLiteral("Early too"),
                                              QStringLiteral("Late")}));
    // Entries are held in the form this program writes.
    EXPECT_EQ(state.schedule.entries().first().options,
              QStringLiteral("REPEAT=-1 INTERVAL=60 PRECISE=0 ONDELAY=1 DOW=11111110"));
    EXPECT_EQ(state.logMessages(),
              (QStringList{QStringLiteral(
                  "SCHEDULER - Unreadable entry dropped from the schedule: <D>someday</D>"
                  "<P>Broken</P><O>REPEAT=0 INTERVAL=1 PRECISE=1 ONDELAY=0</O> [!]")}));

    QFile::remove(state.schedule.scheduleFilePath());
    state.schedule.LoadSchedule();
    EXPECT_TRUE(state.schedule.isEmpty());
}

TEST_F(ScheduleTest, RefreshShowsEachPresetsEarliestEntryComparingLetterCase) {
    add(QStringLiteral("[DATE=2016.03.25 08:00:00]Mail"));
    add(QStringLiteral("[DATE=2016.03.19 08:00:00]Mail"));
    add(QStringLiteral("Docs"));
    // "Docs" is accepted for the preset "docs" but is not its next run.
    EXPECT_EQ(state.catalog.nextRuns,
              (QStringList{QString(), QStringLiteral("2016.03.19 08:00:00 ")}));

    state.schedule.removeAt(1);
    state.schedule.removeAt(0);
    state.schedule.RefreshSchedule();
    EXPECT_EQ(state.catalog.nextRuns,
              (QStringList{QString(), QStringLiteral("2016.03.25 08:00:00 ")}));
}

TEST_F(ScheduleTest, DeletedPresetTakesItsEntriesAlongComparingLetterCase) {
    add(QStringLiteral("Mail"));
    add(QStringLiteral("mail"));
    add(QStringLiteral("[DATE=2016.03.19 08:00:00]Mail"));
    add(QStringLiteral("Docs"));
    state.schedule.removeEntriesFor(QStringLiteral("Mail"));
    EXPECT_EQ(state.presnames(), (QStringList{QStringLiteral("mail"), QStringLiteral("Docs")}));
    EXPECT_EQ(fileLines().size(), 2);
}

TEST_F(ScheduleTest, FileExistsExactlyWhileTheScheduleHoldsEntries) {
    const QString path = state.schedule.scheduleFilePath();
    EXPECT_FALSE(QFile::exists(path));
    add(QStringLiteral("Docs"));
    EXPECT_TRUE(QFile::exists(path));
    state.schedule.removeAt(0);
    state.schedule.RefreshSchedule();
    EXPECT_FALSE(QFile::exists(path));
    add(QStringLiteral("Mail"));
    EXPECT_EQ(fileLines().size(), 1);
    // Written through a new file renamed over the old one: nothing is left behind but
    // the lock file, which stays for the next write.
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("swl.sch*")}, QDir::Files | QDir::Hidden),
              (QStringList{QStringLiteral("swl.sch"), QStringLiteral("swl.sch.lock")}));
}

TEST_F(ScheduleTest, LastRunsRoundTripByNameInListOrder) {
    state.catalog.lastRuns = {QStringLiteral("2016.03.17 02:00:00 "), QString()};
    state.schedule.SaveLastRuns();
    EXPECT_EQ(core::readTextLines(state.schedule.lastRunsFilePath()).value_or(QStringList()),
              (QStringList{QStringLiteral("<D>2016.03.17 02:00:00 </D><P>docs</P>"),
                           QStringLiteral("<D></D><P>Mail</P>")}));

    ASSERT_TRUE(
        core::writeTextLinesAtomically(state.schedule.lastRunsFilePath(),
                                       {QStringLiteral("<D>2016.03.01 00:00:00</D><P>MAIL</P>"),
                                        QStringLiteral("<D>2016.03.02 00:00:00</D><P>Gone</P>")}));
    state.catalog.lastRuns = {QStringLiteral("kept"), QString()};
    state.schedule.LoadLastRuns();
    EXPECT_EQ(state.catalog.lastRuns,
              (QStringList{QStringLiteral("kept"), QStringLiteral("2016.03.01 00:00:00")}));

    state.catalog.names.clear();
    state.schedule.SaveLastRuns();
    EXPECT_FALSE(QFile::exists(state.schedule.lastRunsFilePath()));
}

// Entries written by their date and name only; the options do not matter to the merge.
tschdata stored(const char* date, const char* presname) {
    return {QString::fromLatin1(date), QString::fromLatin1(presname),
            QStringLiteral("REPEAT=0 INTERVAL=1 PRECISE=1 ONDELAY=0 DOW=11111110")};
}

TEST(ScheduleMerge, AppliesThisInstancesChangesOntoWhatTheFileHoldsNow) {
    const tschdata docs = stored("2016.03.18 10:00:00 ", "Docs");
    const tschdata docsTomorrow = stored("2016.03.19 10:00:00 ", "Docs");
    const tschdata mail = stored("2016.03.18 09:00:00 ", "Mail");
    const tschdata exit = stored("2016.03.18 10:00:00 ", "/EXIT");
    const tschdata other = stored("2016.03.18 10:00:00 ", "Other");
    struct Case {
        const char* what;
        QList<tschdata> synced;
        QList<tschdata> held;
        QList<tschdata> onDisk;
        QList<tschdata> merged;
    };
    const Case cases[] = {
        {"an entry added here joins one another instance added", {}, {docs}, {mail}, {mail, docs}},
        {"an entry moved on here moves in the file, the other's stays",
         {docs},
         {docsTomorrow},
         {docs, mail},
         {mail, docsTomorrow}},
        {"an entry carried out here leaves the file", {docs}, {}, {mail, docs}, {mail}},
        {"a stale copy does not bring back an entry moved on elsewhere",
         {docs},
         {docs, mail},
         {docsTomorrow},
         {mail, docsTomorrow}},
        {"an entry removed here and already gone stays gone", {docs}, {}, {}, {}},
        {"two equal requests stay two entries", {}, {docs}, {docs}, {docs, docs}},
        {"one of two equal entries removed here", {docs, docs}, {docs}, {docs, docs}, {docs}},
        {"entries added here go after the file's of the same second, in their order",
         {},
         {docs, exit},
         {other},
         {other, docs, exit}},
        {"nothing changed here leaves the file as it is", {docs}, {docs}, {mail}, {mail}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(mergeScheduleChanges(c.synced, c.held, c.onDisk), c.merged);
    }
}

// Two instances on one data folder, as the first instance and a second one started while
// it runs: each loads swl.sch once and then only saves.
TEST_F(ScheduleTest, SavesKeepWhatAnotherInstanceWroteMeanwhile) {
    InstanceState second(dir.path(), {QStringLiteral("docs"), QStringLiteral("Mail")}, at(18, 10));
    state.schedule.LoadSchedule();
    second.schedule.LoadSchedule();

    tschopt mail = request(QStringLiteral("[DATE=2016.03.18 12:00:00]Mail"));
    second.schedule.AddScheduleEntry(mail);
    add(QStringLiteral("[DATE=2016.03.18 11:00:00]Docs"));
    EXPECT_EQ(state.presnames(), QStringList{QStringLiteral("Docs")});
    EXPECT_EQ(fileLines().size(), 2);

    // The first instance carries its entry out; the second one's stays in the file and
    // reaches the first with the reload its signal asks for.
    state.schedule.removeAt(0);
    state.schedule.RefreshSchedule();
    state.schedule.LoadSchedule();
    EXPECT_EQ(state.presnames(), QStringList{QStringLiteral("Mail")});

    // The second instance's copy still holds nothing of the first's: its next addition
    // does not bring the carried-out entry back.
    second.schedule.AddScheduleEntry(request(QStringLiteral("[DATE=2016.03.18 13:00:00]Mail")));
    state.schedule.LoadSchedule();
    EXPECT_EQ(state.presnames(), (QStringList{QStringLiteral("Mail"), QStringLiteral("Mail")}));
}

TEST_F(ScheduleTest, LastRunsKeepTheLaterRunOfEachPreset) {
    InstanceState other(dir.path(), {QStringLiteral("docs"), QStringLiteral("Mail")}, at(18, 10));
    other.catalog.lastRuns = {QStringLiteral("2016.03.18 09:00:00 "),
                              QStringLiteral("2016.03.17 09:00:00 ")};
    other.schedule.SaveLastRuns();
    state.catalog.lastRuns = {QStringLiteral("2016.03.17 08:00:00 "),
                              QStringLiteral("2016.03.18 08:00:00 ")};
    state.schedule.SaveLastRuns();
    const QStringList later{QStringLiteral("2016.03.18 09:00:00 "),
                            QStringLiteral("2016.03.18 08:00:00 ")};
    EXPECT_EQ(state.catalog.lastRuns, later);
    other.schedule.LoadLastRuns();
    EXPECT_EQ(other.catalog.lastRuns, later);
}

// Every source of entries (the scheduler window, folder watchers, remote commands) goes
// through AddScheduleEntry; a refused name must not reach swl.sch, where a line break
// would split its line.
TEST_F(ScheduleTest, EntriesNamingControlCharactersAreRefused) {
    for (const QString& name : stowline::testing::namesWithControlCharacters()) {
        SCOPED_TRACE(name.toStdString());
        state.catalog.names = {name};
        tschopt entry = request(QStringLiteral("Docs"));
        entry.presname = name;
        state.schedule.AddScheduleEntry(entry);
        entry.presname = QStringLiteral("/SENDLOG") + name;
        state.schedule.AddScheduleEntry(entry);
        EXPECT_TRUE(state.schedule.isEmpty());
        EXPECT_FALSE(QFile::exists(state.schedule.scheduleFilePath()));
        const QStringList lines = state.log.model().lines();
        ASSERT_GE(lines.size(), 2);
        EXPECT_TRUE(lines.last().contains(QStringLiteral("holds a control character")));
        for (const QString& line : lines)
            EXPECT_FALSE(core::holdsControlCharacter(line)) << line.toStdString();
    }
}

} // namespace
