#include "scheduler/ScheduleEntry.h"

#include "core/Clock.h"

namespace stowline::scheduler {

namespace {
const QString kRepeatKey = QStringLiteral("REPEAT=");
const QString kIntervalKey = QStringLiteral("INTERVAL=");
const QString kPreciseKey = QStringLiteral("PRECISE=");
// Written by earlier versions; read in preference when present.
const QString kOldPreciseKey = QStringLiteral("PRESICE=");
const QString kOnDelayKey = QStringLiteral("ONDELAY=");
const QString kDayMaskKey = QStringLiteral("DOW=");
constexpr qsizetype kDayMaskLength = 8;

// Takes the value of `key` from `remaining`: the text from the end of the key to the next
// blank; everything up to and including that blank is then dropped, so the keys are read
// strictly in their written order.
std::optional<QString> takeValue(QString& remaining, const QString& key) {
    const qsizetype keyAt = remaining.indexOf(key);
    if (keyAt < 0)
        return std::nullopt;
    const qsizetype valueAt = keyAt + key.size();
    const qsizetype blank = remaining.indexOf(QLatin1Char(' '), valueAt);
    const QString value = remaining.mid(valueAt, blank < 0 ? -1 : blank - valueAt);
    remaining = blank < 0 ? QString() : remaining.mid(blank + 1);
    return value;
}
} // namespace

QDateTime wallClock(const QDateTime& time) {
    return QDateTime(time.date(), time.time(), Qt::UTC);
}

QString FormatScheduleDate(const QDateTime& time) {
    const QTime timeOfDay = time.time();
    const QString text = core::formatHistoryTime(QDateTime(time.date(), timeOfDay, Qt::UTC));
    const bool midnight =
        timeOfDay.hour() == 0 && timeOfDay.minute() == 0 && timeOfDay.second() == 0;
    return midnight ? text : text + QLatin1Char(' ');
}

std::optional<QDateTime> ParseScheduleDate(QStringView text) {
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == QLatin1Char(' '))
        --end;
    const QStringView trimmed = text.first(end);
    // Exactly "yyyy.mm.dd hh:nn:ss"; date and time are read apart so that a time that
    // falls into a daylight-saving gap still reads as the wall-clock time it names.
    if (trimmed.size() != 19 || trimmed.at(10) != QLatin1Char(' '))
        return std::nullopt;
    const QDate date =
        QDate::fromString(trimmed.first(10).toString(), QStringLiteral("yyyy.MM.dd"));
    const QTime time = QTime::fromString(trimmed.sliced(11).toString(), QStringLiteral("HH:mm:ss"));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, Qt::UTC);
}

std::optional<qint32> parseDecimal(QStringView text) {
    qsizetype digitsAt = 0;
    if (!text.isEmpty() && (text.front() == QLatin1Char('-') || text.front() == QLatin1Char('+')))
        digitsAt = 1;
    if (digitsAt == text.size())
        return std::nullopt;
    for (qsizetype i = digitsAt; i < text.size(); ++i) {
        if (text.at(i) < QLatin1Char('0') || text.at(i) > QLatin1Char('9'))
            return std::nullopt;
    }
    bool ok = false;
    const qint32 value = text.toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

QString normalizedDayMask(const QString& dow) {
    return dow.size() < kDayMaskLength ? QString::fromLatin1(kDefaultDayMask) : dow;
}

QString FormatScheduleOptions(const tschopt& entry) {
    return kRepeatKey + QString::number(entry.repeat) + QLatin1Char(' ') + kIntervalKey +
           QString::number(entry.interval) + QLatin1Char(' ') + kPreciseKey +
           (entry.precise ? QLatin1Char('1') : QLatin1Char('0')) + QLatin1Char(' ') + kOnDelayKey +
           QString::number(entry.ondelay) + QLatin1Char(' ') + kDayMaskKey +
           normalizedDayMask(entry.dow);
}

tschdata FormatScheduleEntry(const tschopt& entry) {
    return {FormatScheduleDate(entry.date), entry.presname, FormatScheduleOptions(entry)};
}

std::optional<tschopt> ParseScheduleEntry(const tschdata& stored) {
    tschopt entry;
    const std::optional<QDateTime> date = ParseScheduleDate(stored.date);
    if (!date)
        return std::nullopt;
    entry.date = *date;
    entry.presname = stored.presname;

    QString remaining = stored.options;
    const std::optional<QString> repeat = takeValue(remaining, kRepeatKey);
    const std::optional<QString> interval = takeValue(remaining, kIntervalKey);
    const std::optional<QString> precise = remaining.contains(kOldPreciseKey)
                                               ? takeValue(remaining, kOldPreciseKey)
                                               : takeValue(remaining, kPreciseKey);
    const std::optional<QString> ondelay = takeValue(remaining, kOnDelayKey);
    if (!repeat || !interval || !precise || !ondelay)
        return std::nullopt;
    const std::optional<qint32> repeatValue = parseDecimal(*repeat);
    const std::optional<qint32> intervalValue = parseDecimal(*interval);
    const std::optional<qint32> ondelayValue = parseDecimal(*ondelay);
    if (!repeatValue || !intervalValue || !ondelayValue)
        return std::nullopt;
    entry.repeat = *repeatValue;
    entry.interval = *intervalValue;
    entry.ondelay = *ondelayValue;
    entry.precise = *precise != QLatin1String("0");

    const qsizetype maskAt = remaining.indexOf(kDayMaskKey);
    const QString mask =
        maskAt < 0 ? QString() : remaining.mid(maskAt + kDayMaskKey.size(), kDayMaskLength);
    entry.dow = normalizedDayMask(mask);
    return entry;
}

QString FormatScheduleLine(const tschdata& stored) {
    return QStringLiteral("<D>") + stored.date + QStringLiteral("</D><P>") + stored.presname +
           QStringLiteral("</P><O>") + stored.options + QStringLiteral("</O>");
}

QString textBetweenTags(const QString& line, QStringView open, QStringView close) {
    const qsizetype openAt = line.indexOf(open);
    const qsizetype closeAt = line.indexOf(close);
    if (openAt < 0 || closeAt < openAt + open.size())
        return QString();
    return line.mid(openAt + open.size(), closeAt - openAt - open.size());
}

tschdata ParseScheduleLine(const QString& line) {
    return {textBetweenTags(line, u"<D>", u"</D>"), textBetweenTags(line, u"<P>", u"</P>"),
            textBetweenTags(line, u"<O>", u"</O>")};
}

} // namespace stowline::scheduler
