#include "RunFixture.h"

#include "backup/RunProgress.h"
#include "core/Clock.h"
#include "core/EventWait.h"
#include "core/MessageTable.h"

#include "QtPrinters.h"

#include <QFile>
#include <QLocale>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using namespace stowline;
using namespace stowline::backup;
using namespace stowline::backup::testing;
using Phase = RunProgress::Phase;

namespace {

constexpr qint64 MiB = 1048576;
constexpr qint64 kUnknown = RunProgress::kUnknownTotal;

// A run's progress on a clock the test moves, with English sizes.
struct ProgressFixture {
    ProgressFixture() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    ~ProgressFixture() { QLocale::setDefault(QLocale::system()); }

    void at(qint64 milliseconds) { clock.set(start.addMSecs(milliseconds)); }

    const QDateTime start{QDate(2016, 3, 3), QTime(9, 5, 7)};
    core::ManualClock clock{start};
    core::MessageTable messages;
    RunProgress progress{clock, messages};
};

struct Report {
    qint64 atMilliseconds;
    qint64 done;
    qint64 total;
};

struct TextCase {
    const char* name;
    Phase phase;
    qint64 total; // when the phase begins
    std::vector<Report> reports;
    const char* text;
    std::optional<int> percent;
    std::optional<qint64> secondsLeft;
};

void PrintTo(const TextCase& c, std::ostream* out) {
    *out << c.name;
}

class ProgressText : public ::testing::TestWithParam<TextCase> {};

TEST_P(ProgressText, ShowsBytesPercentAndTheTimeLeftOnceTheRateIsKnown) {
    const TextCase& c = GetParam();
    ProgressFixture f;
    f.progress.begin(c.phase, c.total);
    for (const Report& report : c.reports) {
        f.at(report.atMilliseconds);
        f.progress.update(c.phase, report.done, report.total);
    }
    EXPECT_EQ(f.progress.text(), QString::fromUtf8(c.text));
    EXPECT_EQ(f.progress.percent(), c.percent);
    EXPECT_EQ(f.progress.secondsLeft(), c.secondsLeft);
}

const qint64 k100M = 100 * MiB;

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgressText,
    ::testing::Values(
        TextCase{"nothing_done_yet",
                 Phase::Archiving,
                 k100M,
                 {},
                 "Archiving: 0% (0b of 100.0M)",
                 0,
                 std::nullopt},
        TextCase{"one_span_is_not_enough_for_an_estimate",
                 Phase::Archiving,
                 k100M,
                 {{1000, 10 * MiB, k100M}},
                 "Archiving: 10% (10.0M of 100.0M)",
                 10,
                 std::nullopt},
        TextCase{"steady_rate",
                 Phase::Archiving,
                 1000 * MiB,
                 {{1000, 10 * MiB, 1000 * MiB},
                  {2000, 20 * MiB, 1000 * MiB},
                  {3000, 30 * MiB, 1000 * MiB}},
                 "Archiving: 3% (30.0M of 1,000.0M), about 1 min 37 s left",
                 3,
                 97},
        // 10 MB/s, then 30 MB/s: 0.3 * 30 + 0.7 * 10 = 16 MB/s for the 50 MB left.
        TextCase{"rate_is_smoothed",
                 Phase::Archiving,
                 k100M,
                 {{1000, 10 * MiB, k100M}, {2000, 20 * MiB, k100M}, {3000, 50 * MiB, k100M}},
                 "Archiving: 50% (50.0M of 100.0M), about 4 s left",
                 50,
                 4},
        TextCase{"reports_closer_than_a_second_add_up",
                 Phase::Ftp,
                 k100M,
                 {{500, 5 * MiB, k100M},
                  {1000, 10 * MiB, k100M},
                  {1500, 15 * MiB, k100M},
                  {2000, 20 * MiB, k100M}},
                 "Uploading by FTP: 20% (20.0M of 100.0M), about 8 s left",
                 20,
                 8},
        TextCase{"fewer_bytes_after_a_retry_start_the_estimate_over",
                 Phase::Email,
                 k100M,
                 {{1000, 10 * MiB, k100M}, {2000, 20 * MiB, k100M}, {3000, 5 * MiB, k100M}},
                 "Sending by e-mail: 5% (5.0M of 100.0M)",
                 5,
                 std::nullopt},
        TextCase{"hours_left",
                 Phase::Copy,
                 4000 * MiB,
                 {{1000, 1 * MiB, 4000 * MiB}, {2000, 2 * MiB, 4000 * MiB}},
                 "Copying to the destination folder: 0% (2.0M of 4,000.0M), about 1 h 6 min left",
                 0,
                 3998},
        TextCase{"percent_is_rounded_down_until_the_end",
                 Phase::Archiving,
                 k100M,
                 {{1000, k100M - 1, k100M}},
                 "Archiving: 99% (100.0M of 100.0M)",
                 99,
                 std::nullopt},
        TextCase{"all_done",
                 Phase::Archiving,
                 k100M,
                 {{1000, k100M, k100M}},
                 "Archiving: 100% (100.0M of 100.0M)",
                 100,
                 std::nullopt},
        TextCase{"empty_total_is_complete",
                 Phase::Copy,
                 0,
                 {},
                 "Copying to the destination folder: 100% (0b of 0b)",
                 100,
                 std::nullopt},
        TextCase{
            "unknown_total_counts_bytes_only",
            Phase::Archiving,
            kUnknown,
            {{1000, MiB + MiB / 2, kUnknown}, {2000, 2 * MiB, kUnknown}, {3000, 3 * MiB, kUnknown}},
            "Archiving: 3.0M so far",
            std::nullopt,
            std::nullopt},
        TextCase{"unknown_total_and_nothing_yet",
                 Phase::Disc,
                 kUnknown,
                 {},
                 "Writing the disc",
                 std::nullopt,
                 std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RunProgress, ChangedComesAtMostEveryQuarterSecondAndTheLastChangeIsNeverLost) {
    ProgressFixture f;
    int changes = 0;
    QString lastText;
    QObject::connect(&f.progress, &RunProgress::changed, [&] {
        ++changes;
        lastText = f.progress.text();
    });

    f.progress.begin(Phase::Archiving, 1000);
    EXPECT_EQ(changes, 1) << "the first change comes at once";
    f.at(100);
    f.progress.update(Phase::Archiving, 100, 1000);
    f.at(200);
    f.progress.update(Phase::Archiving, 200, 1000);
    EXPECT_EQ(changes, 1);
    f.at(250);
    f.progress.update(Phase::Archiving, 300, 1000);
    EXPECT_EQ(changes, 2) << "a quarter of a second after the last one";
    f.at(260);
    f.progress.update(Phase::Archiving, 310, 1000);
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(core::waitUntil([&] { return changes == 3; }, std::chrono::seconds(2)))
        << "a change held back comes when the interval is over";
    EXPECT_EQ(lastText, QStringLiteral("Archiving: 31% (310b of 1000b)"));
    core::waitUntil([] { return false; }, std::chrono::milliseconds(400));
    EXPECT_EQ(changes, 3) << "nothing else was pending";

    f.at(5000);
    f.progress.update(Phase::Archiving, 310, 1000);
    EXPECT_EQ(changes, 3) << "the same figures are no change";
    f.progress.update(Phase::Archiving, 320, 1000);
    EXPECT_EQ(changes, 4);
    f.at(1000);
    f.progress.update(Phase::Archiving, 330, 1000);
    EXPECT_EQ(changes, 5) << "a clock set back does not hold changes back";
}

TEST(RunProgress, TextCoversEveryPhaseUnderWayAndEmptiesWhenTheRunEnds) {
    ProgressFixture f;
    EXPECT_EQ(f.progress.text(), QString());
    EXPECT_EQ(f.progress.currentPhase(), std::nullopt);

    f.progress.begin(Phase::Email, 2 * MiB);
    f.progress.update(Phase::Email, MiB, 2 * MiB);
    f.progress.begin(Phase::Ftp, 2 * MiB);
    EXPECT_EQ(f.progress.text(), QStringLiteral("Sending by e-mail: 50% (1.0M of 2.0M) | "
                                                "Uploading by FTP: 0% (0b of 2.0M)"));
    EXPECT_EQ(f.progress.currentPhase(), Phase::Ftp);

    f.progress.end(Phase::Ftp);
    EXPECT_EQ(f.progress.currentPhase(), Phase::Email);
    EXPECT_EQ(f.progress.percent(), 50);
    f.progress.update(Phase::Ftp, 2 * MiB, 2 * MiB);
    EXPECT_EQ(f.progress.figures(Phase::Ftp).done, 0) << "an ended phase takes no reports";

    f.progress.finishRun();
    EXPECT_EQ(f.progress.text(), QString());
    EXPECT_EQ(f.progress.currentPhase(), std::nullopt);
    EXPECT_EQ(f.progress.percent(), std::nullopt);
    const RunProgress::PhaseFigures& email = f.progress.figures(Phase::Email);
    EXPECT_TRUE(email.ended);
    EXPECT_EQ(email.done, MiB) << "the figures stay readable after the run";

    f.progress.reset();
    EXPECT_FALSE(f.progress.figures(Phase::Email).begun);
}

// What the run's progress said whenever it reported a change while archiving.
struct ArchivingReports {
    explicit ArchivingReports(RunProgress& progress) {
        QObject::connect(&progress, &RunProgress::changed, [this, &progress] {
            if (progress.currentPhase() != Phase::Archiving)
                return;
            done << progress.figures(Phase::Archiving).done;
            totals << progress.figures(Phase::Archiving).total;
            texts << progress.text();
        });
    }
    QList<qint64> done;
    QList<qint64> totals;
    QStringList texts;
};

QByteArray noise(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(7);
    generator.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

TEST(RunProgressOfARun, BundledArchiverTakesArchivingToTheWholeAndTheCopyFollows) {
    RunFixture f;
    const QString sources = f.root().filePath(QStringLiteral("sources"));
    QDir().mkpath(sources + "/sub");
    writeBytes(sources + "/a.bin", noise(6 * MiB));
    writeBytes(sources + "/sub/b.bin", noise(2 * MiB));
    writeBytes(sources + "/c.txt", "small");
    const qint64 sourceBytes = 8 * MiB + 5;
    f.addPreset(QStringLiteral("Docs"), {sources});
    f.savePreset();
    f.options.pwi = QStringLiteral(STOWARC_PATH);
    ArchivingReports reports(f.run.progress());

    f.run.RunPreset();

    ASSERT_EQ(f.destinationFiles(), QStringList{"backup.zip"})
        << f.logMessages().join('\n').toStdString();
    const RunProgress::PhaseFigures& archiving = f.run.progress().figures(Phase::Archiving);
    EXPECT_TRUE(archiving.ended);
    EXPECT_EQ(archiving.total, sourceBytes) << "the total comes from the archiver";
    EXPECT_EQ(archiving.done, sourceBytes);
    EXPECT_EQ(archiving.percent(), 100);
    for (qsizetype i = 1; i < reports.done.size(); ++i)
        EXPECT_GE(reports.done[i], reports.done[i - 1]) << i;
    const qint64 archiveBytes = QFileInfo(f.destination() + "/backup.zip").size();
    const RunProgress::PhaseFigures& copy = f.run.progress().figures(Phase::Copy);
    EXPECT_EQ(copy.total, archiveBytes);
    EXPECT_EQ(copy.done, archiveBytes);
    EXPECT_EQ(f.run.progress().text(), QString()) << "nothing to show after the run";
}

// An archiver that writes its archive in six steps of 64 KiB, 0.3 s apart, and never
// writes a progress line.
void useGrowingArchiver(RunEnvironment& f) {
    const QString script = f.root().filePath(QStringLiteral("growing-archiver"));
    writeBytes(script, "#!/bin/sh\n"
                       "for arg; do case \"$arg\" in a|-*|@*) ;; *) archive=\"$arg\";; esac; done\n"
                       "i=0; while [ $i -lt 6 ]; do\n"
                       "  head -c 65536 /dev/zero >> \"$archive.zip\"; sleep 0.3; i=$((i+1))\n"
                       "done\n");
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    f.options.pwi = script;
}

TEST(RunProgressOfARun, AnotherArchiverShowsTheGrowingArchiveWithoutAPercentage) {
    RunFixture f;
    f.addPreset(QStringLiteral("Docs"));
    f.savePreset();
    useGrowingArchiver(f);
    ArchivingReports reports(f.run.progress());

    f.run.RunPreset();

    ASSERT_EQ(f.destinationFiles(), QStringList{"backup.zip"});
    QList<qint64> growing;
    for (const qint64 done : std::as_const(reports.done))
        if (done > 0 && (growing.isEmpty() || done > growing.last()))
            growing << done;
    EXPECT_GE(growing.size(), 2) << "sizes seen: " << reports.done.size();
    for (const qint64 total : std::as_const(reports.totals))
        EXPECT_EQ(total, RunProgress::kUnknownTotal);
    for (const QString& text : std::as_const(reports.texts))
        EXPECT_FALSE(text.contains('%')) << text.toStdString();
    EXPECT_TRUE(reports.texts.contains(QStringLiteral("Archiving: 384K so far")) ||
                !reports.texts.filter(QStringLiteral(" so far")).isEmpty());
    const RunProgress::PhaseFigures& archiving = f.run.progress().figures(Phase::Archiving);
    EXPECT_EQ(archiving.done, 6 * 65536) << "the size when the archiver ended";
    EXPECT_EQ(archiving.percent(), std::nullopt);
}

} // namespace
