#include "net/remote/StatusReports.h"
#include "QtPrinters.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace stowline::remote {
namespace {

QDateTime at(int day, int hour, int minute = 0, int second = 0) {
    return QDateTime(QDate(2016, 3, day), QTime(hour, minute, second));
}

TEST(PresetFactsTest, TheLastRunIsJudgedByItsDeliveries) {
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("Docs.rar"));
    QFile file(archive);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(1234, 'x'));
    file.close();
    const QString missing = dir.filePath(QStringLiteral("gone.rar"));
    const QStringList history{
        QStringLiteral("2016.03.18 02:01:30 \t4-COPY\t") + archive,
        QStringLiteral("2016.03.18 02:01:10 \t3-FTP\tftp://host/Docs.rar"),
        QStringLiteral("2016.03.18 02:01:05 \t4-COPY\t") + missing,
        QStringLiteral("2016.03.17 02:00:40 \t4-COPY\t") + archive,
    };
    struct Case {
        const char* name;
        QString lastRun;
        std::optional<bool> succeeded;
        std::optional<qint64> bytes;
        std::optional<qint64> duration;
    };
    const Case cases[] = {
        {"delivered", QStringLiteral("2016.03.18 02:00:00 "), true, 1234, 90},
        {"nothing delivered since", QStringLiteral("2016.03.19 02:00:00 "), false, {}, {}},
        {"never ran", QString(), {}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PresetFacts facts = presetFacts(QStringLiteral("Docs"), {}, c.lastRun, history);
        EXPECT_EQ(facts.lastRunSucceeded, c.succeeded);
        EXPECT_EQ(facts.lastArchiveBytes, c.bytes);
        EXPECT_EQ(facts.lastDurationSeconds, c.duration);
        EXPECT_EQ(facts.lastSuccess, at(18, 2, 1, 30));
    }
}

ProgramStatus sampleStatus() {
    ProgramStatus status;
    status.now = at(18, 9);
    status.schedulerOn = true;
    status.busy = true;
    status.runningPreset = QStringLiteral("Docs");
    status.progress = QStringLiteral("40%");
    status.errorLinesSinceStart = 3;
    PresetFacts docs;
    docs.name = QStringLiteral("Docs");
    docs.nextRunText = QStringLiteral("2016.03.19 02:00:00 ");
    docs.lastRun = at(18, 2);
    docs.lastSuccess = at(18, 2, 1, 30);
    docs.lastRunSucceeded = true;
    docs.lastArchiveBytes = 1234;
    docs.lastDurationSeconds = 90;
    PresetFacts odd;
    odd.name = QStringLiteral("Say \"hi\"\\now");
    odd.lastRun = at(17, 1);
    odd.lastRunSucceeded = false;
    status.presets = {docs, odd};
    return status;
}

TEST(StatusReportsTest, JsonNamesStateRunAndPresets) {
    const QJsonObject root = QJsonDocument::fromJson(statusJson(sampleStatus())).object();
    EXPECT_TRUE(root[QLatin1String("scheduler")].toBool());
    EXPECT_EQ(root[QLatin1String("running")][QLatin1String("progress")].toString(),
              QStringLiteral("40%"));
    const QJsonObject docs = root[QLatin1String("presets")].toArray().at(0).toObject();
    EXPECT_EQ(docs[QLatin1String("lastResult")].toString(), QStringLiteral("success"));
    EXPECT_EQ(docs[QLatin1String("nextRun")].toString(), QStringLiteral("2016.03.19 02:00:00"));
    EXPECT_EQ(docs[QLatin1String("lastArchiveBytes")].toInt(), 1234);
    const QJsonObject odd = root[QLatin1String("presets")].toArray().at(1).toObject();
    EXPECT_EQ(odd[QLatin1String("lastResult")].toString(), QStringLiteral("failure"));
    EXPECT_TRUE(odd[QLatin1String("lastArchiveBytes")].isNull());
}

TEST(StatusReportsTest, MetricsCarryEveryKnownNumberWithEscapedLabels) {
    const QByteArray text = metricsText(sampleStatus());
    const qint64 start = at(18, 2).toSecsSinceEpoch();
    for (const QByteArray& line :
         {QByteArray("stowline_up 1\n"), QByteArray("stowline_error_lines_total 3\n"),
          "stowline_preset_last_run_timestamp_seconds{preset=\"Docs\"} " +
              QByteArray::number(start) + '\n',
          QByteArray("stowline_preset_last_result{preset=\"Docs\"} 1\n"),
          QByteArray("stowline_preset_last_archive_bytes{preset=\"Docs\"} 1234\n"),
          QByteArray("stowline_preset_last_duration_seconds{preset=\"Docs\"} 90\n")})
        EXPECT_TRUE(text.contains(line)) << line.constData() << text.constData();
    EXPECT_TRUE(text.contains("stowline_preset_last_result{preset=\"Say \\\"hi\\\"\\\\now\"} 0\n"))
        << text.constData();
    EXPECT_FALSE(text.contains("stowline_preset_last_archive_bytes{preset=\"Say"))
        << "a failed run has no size";
}

} // namespace
} // namespace stowline::remote
