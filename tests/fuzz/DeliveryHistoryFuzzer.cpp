// The lines of a preset's delivery history (.hst), as the restore window reads them: every
// record keeps the line's text apart from the two TABs it was split at.
#include "FuzzSupport.h"

#include "backup/DeliveryHistory.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace stowline;
    const QString text = fuzz::asText(data, size);
    const QStringList lines = text.split(QLatin1Char('\n'));
    const QList<backup::DeliveryRecord> all = backup::deliveryRecords(lines, false);
    if (backup::deliveryRecords(lines, true).size() > all.size())
        std::abort();
    for (const backup::DeliveryRecord& record : all) {
        if (record.stamp.contains(QLatin1Char('\t')) || record.kindText.contains(QLatin1Char('\t')))
            std::abort();
        const backup::FtpLocation ftp = backup::splitFtpLocation(record.location);
        if (ftp.file.contains(QLatin1Char('/')))
            std::abort();
        (void)backup::mailRecordParts(record);
        (void)backup::mountedDiscFile(record.location, {{QStringLiteral("/dev/sr0"), "/m"}});
    }
    (void)backup::parseMountTable(
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    return 0;
}
