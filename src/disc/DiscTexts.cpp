#include "disc/DiscTexts.h"

#include <QLocale>

#include <algorithm>
#include <array>
#include <cmath>

namespace stowline::disc {

namespace {
constexpr double kCdSpeedUnit = 176;
constexpr double kDvdSpeedUnit = 1385;

QString truth(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

struct CapabilityLine {
    const char* label;
    int number;
};

constexpr std::array kReadCapabilities{
    CapabilityLine{"READ_CD-R", 1},      CapabilityLine{"READ_CD-RW", 2},
    CapabilityLine{"READ_DVD-RAM", 3},   CapabilityLine{"READ_DVD-R", 4},
    CapabilityLine{"READ_DVD-RW", 5},    CapabilityLine{"READ_DVD+R", 6},
    CapabilityLine{"READ_DVD+RDL", 8},   CapabilityLine{"READ_DVD+RW", 7},
    CapabilityLine{"READ_HDDVDROM", 9},  CapabilityLine{"READ_HDDVDR", 10},
    CapabilityLine{"READ_HDDVDRAM", 11}, CapabilityLine{"READ_BDROM", 12},
    CapabilityLine{"READ_BDR", 13},      CapabilityLine{"READ_BDRE", 14},
};
constexpr std::array kWriteCapabilities{
    CapabilityLine{"WRITE_CD-R", 21},    CapabilityLine{"WRITE_CD-RW", 22},
    CapabilityLine{"WRITE_DVD-RAM", 23}, CapabilityLine{"WRITE_DVD-R", 24},
    CapabilityLine{"WRITE_DVD-RW", 25},  CapabilityLine{"WRITE_DVD+R", 26},
    CapabilityLine{"WRITE_DVD+RDL", 28}, CapabilityLine{"WRITE_DVD+RW", 27},
    CapabilityLine{"WRITE_HDDVDR", 29},  CapabilityLine{"WRITE_HDDVDRAM", 30},
    CapabilityLine{"WRITE_BDR", 31},     CapabilityLine{"WRITE_BDRE", 32},
};
} // namespace

QString megabytesText(qint64 blocks) {
    return QLocale().toString(double(blocks) / kBlocksPerMegabyte, 'f', 1) + QLatin1Char('M');
}

bool isCdMedium(int type) {
    return (type >= 1 && type <= 3) || (type >= 20 && type <= 22);
}

bool isDvdMedium(int type) {
    return type >= 4 && type <= 12;
}

QString burningSpeedText(int type, int speedKilobytes) {
    if (isCdMedium(type))
        return QString::number(std::lround(speedKilobytes / kCdSpeedUnit)) + QStringLiteral("x.");
    if (isDvdMedium(type))
        return QString::number(std::lround(speedKilobytes / kDvdSpeedUnit)) + QStringLiteral("x.");
    return QString::number(speedKilobytes) + QStringLiteral("Kb/s.");
}

QString mediumTypeName(int type) {
    static const std::array<const char*, 20> names{
        "mtUNKNOWN",   "mtCDROM",    "mtCDR",        "mtCDRW",    "mtDVDROM",
        "mtDVDR",      "mtDVDRAM",   "mtDVDRW",      "mtDVDRWRO", "mtDVDRWSR",
        "mtDVDPLUSRW", "mtDVDPLUSR", "mtDVDPLUSRDL", "mtBDROM",   "mtBDR",
        "mtBDRRR",     "mtBDRE",     "mtDDCDROM",    "mtDDCDR",   "mtDDCDRW"};
    if (type < 0 || type >= int(names.size()))
        type = 0;
    return QString::fromLatin1(names[size_t(type)]);
}

int progressPercent(qint64 done, qint64 total) {
    if (total <= 0)
        return 0;
    return std::clamp(int(std::lround(100.0 * double(done) / double(total))), 0, 100);
}

std::optional<Recorder> recorderForDrive(const QList<Recorder>& recorders, const QString& drive) {
    if (drive.isEmpty())
        return std::nullopt;
    for (const Recorder& recorder : recorders) {
        const qsizetype comma = recorder.name.indexOf(QLatin1Char(','));
        if (comma >= 0 && QStringView(recorder.name).mid(comma + 1).startsWith(drive))
            return recorder;
    }
    return std::nullopt;
}

std::optional<QString> driveInfoReport(DiscEngine& engine) {
    if (engine.busy())
        return std::nullopt;
    const QLocale locale;
    const auto megabytes = [&](qint64 blocks) {
        return locale.toString(double(blocks) / kBlocksPerMegabyte, 'f', 2);
    };
    const bool ready = engine.isUnitReady();
    const MediumInfo medium = engine.mediumInfo();
    QString text;
    const auto line = [&text](const QString& part) { text += part + QLatin1Char('\r'); };
    line(QStringLiteral(">>> Is Drive Ready? ") + truth(ready));
    line(QStringLiteral(">>> Disc is ") + mediumTypeName(medium.type));
    line(QStringLiteral(">>> Is dics Erasable? ") + truth(medium.erasable));
    line(QStringLiteral(">>> Is disc Writable? ") + truth(medium.writable));
    line(QStringLiteral(">>> Sessions: ") + QString::number(medium.sessions));
    line(QStringLiteral(">>> Total size: ") + megabytes(medium.totalBlocks) +
         QStringLiteral(" MB"));
    line(QStringLiteral(">>> Free size: ") + megabytes(medium.freeBlocks) + QStringLiteral(" MB"));
    if (isCdMedium(medium.type))
        line(QStringLiteral(">>> CD write speed:  ") +
             locale.toString(qint64(std::lround(medium.maxWriteSpeed / kCdSpeedUnit))) +
             QLatin1Char('x'));
    else if (isDvdMedium(medium.type))
        line(QStringLiteral(">>> DVD write speed:  ") +
             locale.toString(qint64(std::lround(medium.maxWriteSpeed / kDvdSpeedUnit))) +
             QLatin1Char('x'));
    else
        line(QStringLiteral(">>> Write raw speed:  ") + locale.toString(medium.maxWriteSpeed) +
             QStringLiteral(" KB/s"));
    line(QString());
    for (const CapabilityLine& capability : kReadCapabilities)
        line(QStringLiteral(">>> ") + QLatin1String(capability.label) + QStringLiteral("? ") +
             truth(engine.capability(capability.number)));
    line(QString());
    for (const CapabilityLine& capability : kWriteCapabilities)
        line(QStringLiteral(">>> ") + QLatin1String(capability.label) + QStringLiteral("? ") +
             truth(engine.capability(capability.number)));
    text.chop(1);
    return text;
}

} // namespace stowline::disc
