#include "shell/BinArchives.h"
#include "core/MessageTable.h"
#include "core/OptionFields.h"
#include "core/Options.h"
#include "core/ProgramState.h"
#include "platform/CommandLineSplit.h"
#include "platform/fakes/RecordingProcessLauncher.h"
#include "platform/fakes/RecordingPrompts.h"
#include "platform/linux/QProcessLauncher.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace stowline;
using shell::BinArchives;
using shell::BinKind;

namespace {

bool processEventsUntil(const std::function<bool()>& done, int milliseconds = 15000) {
    QDeadlineTimer deadline(milliseconds);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

QStringList readLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}

// Answers the recycle question after running `whileAsked` (items arriving meanwhile).
class AnsweringPrompts final : public platform::Prompts {
public:
    void showMessage(const QString& text) override { messages << text; }
    void showError(const QString& text) override { errors << text; }
    bool askYesNo(const QString& text) override {
        questions << text;
        if (whileAsked)
            std::exchange(whileAsked, {})();
        return answers.isEmpty() ? false : answers.takeFirst();
    }
    bool askText(const QString&, const QString&, QString&, bool) override { return false; }
    bool askOpenFile(const QString&, QString&) override { return false; }

    QStringList messages, errors, questions;
    QList<bool> answers;
    std::function<void()> whileAsked;
};

struct BinState {
    explicit BinState(platform::ProcessLauncher& launcher) : launcher(launcher) {
        folders.program = root.path();
        folders.data = root.filePath(QStringLiteral("data"));
        QDir().mkpath(folders.data);
        core::SetOptionDefaults(options, {folders.program, folders.data, QSize()});
        options.pwi = QStringLiteral("/opt/archiver/stowarc");
        bins.setCollectionDelay(50);
    }
    QTemporaryDir root;
    core::Folders folders;
    core::topt options;
    core::MessageTable messages;
    AnsweringPrompts prompts;
    platform::ProcessLauncher& launcher;
    BinArchives bins{{folders, options, messages, prompts, launcher}};
};

} // namespace

TEST(BinArchiveParameters, PiecesForEachArchiveAndOption) {
    core::topt options;
    options.obf = QStringLiteral("/bin dir");
    options.obc = 3;
    options.pwi = QStringLiteral("/usr/lib/stowline/stowarc");
    struct Case {
        const char* name;
        BinKind kind;
        std::function<void(core::topt&)> set;
        const char* expected;
    };
    const Case cases[] = {
        {"keeper, nothing else",
         BinKind::Keeper,
         {},
         R"(a -ep3 -m3 -ibck -dh -r  -cfg- "/bin dir/keeper.rar" "@/data/swlbin-k.txt")"},
        {"keeper with versions and its password", BinKind::Keeper,
         [](core::topt& o) {
             o.obv = 5;
             o.okp = QStringLiteral("k pass");
             o.obp = QStringLiteral("r");
         },
         R"(a -ep3 -m3 -ibck -dh -r  -cfg- "-hpk pass" -ver5 "/bin dir/keeper.rar" "@/data/swlbin-k.txt")"},
        {"recycle deletes after a test, with its own password", BinKind::Recycle,
         [](core::topt& o) {
             o.okp = QStringLiteral("k");
             o.obp = QStringLiteral("r\"q");
         },
         R"(a -df -ep3 -m3 -ibck -dh -r  -cfg- -t "-hpr\"q" "/bin dir/recycle.rar" "@/data/swlbin-k.txt")"},
        {"a RAR archiver never asks for a password", BinKind::Keeper,
         [](core::topt& o) { o.pwi = QStringLiteral("/usr/bin/rar"); },
         R"(a -ep3 -m3 -ibck -dh -r  -cfg- -p- "/bin dir/keeper.rar" "@/data/swlbin-k.txt")"},
    };
    for (const Case& c : cases) {
        core::topt edited = options;
        if (c.set)
            c.set(edited);
        EXPECT_EQ(shell::binArchiveParameters(c.kind, edited, QStringLiteral("/data/swlbin-k.txt")),
                  QString::fromUtf8(c.expected))
            << c.name;
    }
    EXPECT_EQ(shell::binCleanParameters(BinKind::Recycle, options, 30),
              QStringLiteral(R"(d -to30d "/bin dir/recycle.rar" *.*)"));
}

TEST(BinArchiveParameters, PasswordArrivesAsOneArgumentExactlyAsTyped) {
    core::topt options;
    options.obf = QStringLiteral("/b");
    for (const QString& password : {QStringLiteral("two words"), QStringLiteral("a \"quoted\" one"),
                                    QStringLiteral("ends in \\"), QStringLiteral("-p- x")}) {
        options.okp = password;
        const QStringList arguments = platform::SplitCommandLine(
            shell::binArchiveParameters(BinKind::Keeper, options, QStringLiteral("/l.txt")));
        EXPECT_TRUE(arguments.contains(QStringLiteral("-hp") + password)) << qPrintable(password);
        EXPECT_EQ(arguments.last(), u"@/l.txt");
    }
}

TEST(BinArchivesQueue, ItemsArrivingTogetherGoInOneCallWithTheirList) {
    platform::RecordingProcessLauncher launcher;
    BinState state(launcher);
    state.options.obn = true;
    for (int i = 0; i < 10; ++i)
        state.bins.QueueBinItem(QStringLiteral("K/home/u/file %1").arg(i));
    state.bins.QueueBinItem(QStringLiteral("X/ignored"));
    ASSERT_TRUE(processEventsUntil([&] { return !launcher.started.isEmpty(); }));
    const QString list = state.folders.inData(QStringLiteral("swlbin-k.txt"));
    ASSERT_EQ(readLines(list).size(), 10);
    EXPECT_EQ(readLines(list).first(), u"/home/u/file 0");
    EXPECT_TRUE(QDir(state.options.obf).exists());

    launcher.processes.first()->end(0);
    ASSERT_TRUE(processEventsUntil([&] { return !state.bins.isArchiving(BinKind::Keeper); }));
    EXPECT_EQ(launcher.started.size(), 1);
    EXPECT_FALSE(QFile::exists(list));
    EXPECT_EQ(state.prompts.messages, QStringList{QStringLiteral("\nDone.")});
}

TEST(BinArchivesQueue, ItemsArrivingDuringACallWaitForTheNextOne) {
    platform::RecordingProcessLauncher launcher;
    BinState state(launcher);
    state.options.obn = false;
    state.bins.QueueBinItem(QStringLiteral("K/a"));
    ASSERT_TRUE(processEventsUntil([&] { return launcher.started.size() == 1; }));
    state.bins.QueueBinItem(QStringLiteral("K/b"));
    processEventsUntil([] { return false; }, 300);
    EXPECT_EQ(launcher.started.size(), 1);
    launcher.processes.first()->end(0);
    ASSERT_TRUE(processEventsUntil([&] { return launcher.started.size() == 2; }));
    EXPECT_EQ(readLines(state.folders.inData(QStringLiteral("swlbin-k.txt"))),
              QStringList{QStringLiteral("/b")});
    // obn is off: a good call shows nothing.
    EXPECT_TRUE(state.prompts.messages.isEmpty());
}

TEST(BinArchivesQueue, FailuresAreReportedAndNeverAsDone) {
    struct Case {
        const char* name;
        bool startable;
        int exitCode;
    };
    for (const Case& c : {Case{"archiver exits with an error", true, 2},
                          Case{"archiver cannot be started", false, 0}}) {
        platform::RecordingProcessLauncher launcher;
        BinState state(launcher);
        state.options.obn = true;
        if (!c.startable)
            launcher.unstartable << state.options.pwi;
        std::optional<bool> outcome;
        QObject::connect(&state.bins, &BinArchives::archived,
                         [&outcome](BinKind, bool ok) { outcome = ok; });
        state.bins.QueueBinItem(QStringLiteral("K/a"));
        ASSERT_TRUE(processEventsUntil([&] { return !launcher.started.isEmpty(); })) << c.name;
        if (c.startable)
            launcher.processes.first()->end(c.exitCode);
        ASSERT_TRUE(processEventsUntil([&] { return outcome.has_value(); })) << c.name;
        EXPECT_FALSE(*outcome) << c.name;
        EXPECT_TRUE(state.prompts.messages.isEmpty()) << c.name;
        ASSERT_EQ(state.prompts.errors.size(), 1) << c.name;
        EXPECT_TRUE(
            state.prompts.errors.first().startsWith(u"\nProblem occured when working with SWL-BIN"))
            << c.name;
        EXPECT_FALSE(QFile::exists(state.folders.inData(QStringLiteral("swlbin-k.txt"))));
    }
}

TEST(BinArchivesQueue, RecycleAsksAndNoDropsTheItems) {
    platform::RecordingProcessLauncher launcher;
    BinState state(launcher);
    state.prompts.answers = {false};
    for (const char* path : {"R/a", "R/b", "R/c"})
        state.bins.QueueBinItem(QString::fromLatin1(path));
    ASSERT_TRUE(processEventsUntil([&] { return !state.prompts.questions.isEmpty(); }));
    EXPECT_EQ(state.prompts.questions,
              QStringList{QStringLiteral("\nMove 3 item(s) to SWL-RECYCLE?")});
    processEventsUntil([] { return false; }, 200);
    EXPECT_TRUE(launcher.started.isEmpty());
    EXPECT_TRUE(state.bins.queued(BinKind::Recycle).isEmpty());
}

TEST(BinArchivesQueue, ItemsArrivingWhileTheQuestionIsOpenAreAskedAboutAfterwards) {
    platform::RecordingProcessLauncher launcher;
    BinState state(launcher);
    state.prompts.answers = {true, true};
    state.prompts.whileAsked = [&state] { state.bins.QueueBinItem(QStringLiteral("R/late")); };
    state.bins.QueueBinItem(QStringLiteral("R/first"));
    ASSERT_TRUE(processEventsUntil([&] { return launcher.started.size() == 1; }));
    EXPECT_EQ(readLines(state.folders.inData(QStringLiteral("swlbin-r.txt"))),
              QStringList{QStringLiteral("/first")});
    launcher.processes.first()->end(0);
    ASSERT_TRUE(processEventsUntil([&] { return launcher.started.size() == 2; }));
    EXPECT_EQ(state.prompts.questions.size(), 2);
    EXPECT_EQ(readLines(state.folders.inData(QStringLiteral("swlbin-r.txt"))),
              QStringList{QStringLiteral("/late")});
}

// With the bundled archiver: the archives it writes are read back with bsdtar.
class BinArchivesWithArchiver : public ::testing::Test {
protected:
    BinArchivesWithArchiver() {
        state_.options.pwi = QStringLiteral(STOWARC_BINARY);
        QDir().mkpath(files());
    }
    QString files() const { return state_.root.filePath(QStringLiteral("files")); }
    QString makeFile(const QString& name, int ageDays = 0) {
        const QString path = files() + QLatin1Char('/') + name;
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("contents of " + name.toUtf8());
        file.flush();
        if (ageDays > 0)
            file.setFileTime(QDateTime::currentDateTime().addDays(-ageDays),
                             QFileDevice::FileModificationTime);
        return path;
    }
    // bsdtar's listing or extraction; the exit code in `code`.
    QString bsdtar(const QStringList& arguments, int* code = nullptr) {
        QProcess tar;
        tar.start(QStringLiteral("bsdtar"), arguments);
        tar.waitForFinished(30000);
        if (code)
            *code = tar.exitCode();
        return QString::fromUtf8(tar.readAllStandardOutput());
    }
    void archive(BinKind kind, const QStringList& paths) {
        std::optional<bool> outcome;
        QObject::connect(&state_.bins, &BinArchives::archived,
                         [&outcome](BinKind, bool ok) { outcome = ok; });
        for (const QString& path : paths)
            state_.bins.addItem(kind, path);
        ASSERT_TRUE(processEventsUntil([&] { return outcome.has_value(); }, 60000));
        ASSERT_TRUE(*outcome) << qPrintable(state_.prompts.errors.join(u'|'));
    }

    platform::QProcessLauncher launcher_;
    BinState state_{launcher_};
};

TEST_F(BinArchivesWithArchiver, PasswordWithABlankEncryptsWithExactlyThatPassword) {
    state_.options.okp = QStringLiteral("my \"secret\" pass");
    const QString file = makeFile(QStringLiteral("doc.txt"));
    archive(BinKind::Keeper, {file});
    const QString keeper = shell::binArchivePath(state_.options, BinKind::Keeper);
    int code = 0;
    EXPECT_EQ(
        bsdtar({QStringLiteral("-xOf"), keeper, QStringLiteral("--passphrase"), state_.options.okp},
               &code),
        u"contents of doc.txt");
    EXPECT_EQ(code, 0);
    bsdtar({QStringLiteral("-xOf"), keeper, QStringLiteral("--passphrase"), QStringLiteral("my")},
           &code);
    EXPECT_NE(code, 0);
    // Kept with its full path; the file itself stays.
    EXPECT_TRUE(bsdtar({QStringLiteral("-tf"), keeper}).contains(file.mid(1)));
    EXPECT_TRUE(QFile::exists(file));
}

TEST_F(BinArchivesWithArchiver, RecycleMovesTheItemsIntoTheArchive) {
    state_.prompts.answers = {true};
    const QStringList paths{makeFile(QStringLiteral("one.txt")),
                            makeFile(QStringLiteral("two.txt"))};
    archive(BinKind::Recycle, paths);
    const QString listing =
        bsdtar({QStringLiteral("-tf"), shell::binArchivePath(state_.options, BinKind::Recycle)});
    for (const QString& path : paths) {
        EXPECT_TRUE(listing.contains(path.mid(1))) << qPrintable(listing);
        EXPECT_FALSE(QFile::exists(path));
    }
}

TEST_F(BinArchivesWithArchiver, CleanRemovesEntriesOlderThanTheAge) {
    const QString old = makeFile(QStringLiteral("old.txt"), 100);
    const QString recent = makeFile(QStringLiteral("recent.txt"), 10);
    archive(BinKind::Keeper, {old, recent});
    EXPECT_EQ(state_.bins.cleanOlderThan(false, 90), QString());
    const QString listing =
        bsdtar({QStringLiteral("-tf"), shell::binArchivePath(state_.options, BinKind::Keeper)});
    EXPECT_FALSE(listing.contains(u"old.txt")) << qPrintable(listing);
    EXPECT_TRUE(listing.contains(u"recent.txt"));
    // No recycle archive yet: nothing to clean, nothing wrong.
    EXPECT_EQ(state_.bins.cleanOlderThan(true, 90), QString());
    state_.options.pwi = state_.root.filePath(QStringLiteral("no-archiver"));
    EXPECT_NE(state_.bins.cleanOlderThan(false, 90), QString());
}
