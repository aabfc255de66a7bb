#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace stowline::scheduler {

// The day mask of an entry that does not say otherwise: Monday to Sunday allowed, the
// day-skip flag off.
inline constexpr const char* kDefaultDayMask = "11111110";

// A schedule entry as stored in swl.sch: date text, preset name or command, option text.
struct tschdata {
    QString date;
    QString presname;
    QString options;

    friend bool operator==(const tschdata&, const tschdata&) = default;
};

// A schedule entry to work with.
struct tschopt {
    // When the entry falls due, as a wall-clock time of the local time zone; only its
    // date and time of day count (see wallClock).
    QDateTime date;
    // A preset name, or a scheduled command: a text that begins with "/".
    QString presname;
    // Runs still to come after the current one; -1 (any negative value) is endless.
    qint32 repeat = 0;
    // Minutes between two runs.
    qint32 interval = 1;
    // A late entry: 0 runs anyway, 1 skips this run and reschedules, 2 is removed.
    qint32 ondelay = 0;
    // The next time follows the series date + k x interval (true) or now + interval.
    bool precise = true;
    // Monday to Sunday allowed ("1") or not, then the day-skip flag.
    QString dow;
};

// The date and time of day of `time` as a time without time-zone rules, so that adding
// a day or an interval moves the wall clock by exactly that much, across daylight-saving
// changes too, as the stored date texts do.
QDateTime wallClock(const QDateTime& time);

// "yyyy.mm.dd hh:nn:ss", seconds truncated, with one trailing blank unless the time of
// day is exactly 00:00:00.
QString FormatScheduleDate(const QDateTime& time);
// Reads a date text, ignoring trailing blanks; nothing when it is not one. The result is
// a wall-clock time (see wallClock).
std::optional<QDateTime> ParseScheduleDate(QStringView text);

// A decimal integer: an optional sign and digits, within 32 bits.
std::optional<qint32> parseDecimal(QStringView text);

// "REPEAT=-1 INTERVAL=1440 PRECISE=1 ONDELAY=0 DOW=11111110".
QString FormatScheduleOptions(const tschopt& entry);
tschdata FormatScheduleEntry(const tschopt& entry);
// Nothing when the date text or one of the numbers cannot be read.
std::optional<tschopt> ParseScheduleEntry(const tschdata& stored);

// A day mask of 8 characters: shorter masks become the default.
QString normalizedDayMask(const QString& dow);

// One line of swl.sch and back. A line without the tags reads as empty texts.
QString FormatScheduleLine(const tschdata& stored);
tschdata ParseScheduleLine(const QString& line);

// The text between the first `open` and the first `close` of `line`; empty when either
// is missing or they stand the wrong way round.
QString textBetweenTags(const QString& line, QStringView open, QStringView close);

} // namespace stowline::scheduler
