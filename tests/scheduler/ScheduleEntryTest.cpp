#include "scheduler/ScheduleEntry.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace stowline::scheduler;

namespace {

TEST(ScheduleDateText, HasTrailingBlankUnlessMidnightAndReadsBackBothForms) {
    struct Case {
        QDateTime time;
        QString text;
    };
    const Case cases[] = {
        {QDateTime(QDate(2016, 3, 20), QTime(23, 0)), QStringLiteral("2016.03.20 23:00:00 ")},
        {QDateTime(QDate(2016, 3, 20), QTime(0, 0)), QStringLiteral("2016.03.20 00:00:00")},
        {QDateTime(QDate(2016, 3, 20), QTime(0, 0, 1)), QStringLiteral("2016.03.20 00:00:01 ")},
        // Milliseconds are cut off, never rounded up into the next second.
        {QDateTime(QDate(2016, 3, 20), QTime(0, 0, 0, 999)), QStringLiteral("2016.03.20 00:00:00")},
        {QDateTime(QDate(2016, 12, 31), QTime(23, 59, 59, 999)),
         QStringLiteral("2016.12.31 23:59:59 ")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(FormatScheduleDate(c.time), c.text);
        const std::optional<QDateTime> read = ParseScheduleDate(c.text);
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(read->date(), c.time.date());
        EXPECT_EQ(read->time(),
                  QTime(c.time.time().hour(), c.time.time().minute(), c.time.time().second()));
    }
    EXPECT_EQ(ParseScheduleDate(u"2016.03.20 23:00:00   "),
              ParseScheduleDate(u"2016.03.20 23:00:00"));
}

TEST(ScheduleDateText, RejectsWhatIsNotADateText) {
    for (const char* text : {"", "tomorrow", "2016.03.20", "2016.13.01 00:00:00",
                             "2016.02.30 10:00:00", "2016.03.20 24:00:00", " 2016.03.20 23:00:00",
                             "2016-03-20 23:00:00", "2016.03.20T23:00:00"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(ParseScheduleDate(QString::fromLatin1(text)).has_value());
    }
}

TEST(ScheduleNumbers, DecimalIntegersOnly) {
    struct Case {
        const char* text;
        std::optional<qint32> value;
    };
    const Case cases[] = {
        {"0", 0},           {"-1", -1},   {"+7", 7},   {"1440", 1440}, {"2147483647", 2147483647},
        {"2147483648", {}}, {"", {}},     {"-", {}},   {"4x", {}},     {" 4", {}},
        {"4 ", {}},         {"0x10", {}}, {"1.5", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parseDecimal(QString::fromLatin1(c.text)), c.value);
    }
}

TEST(ScheduleOptionText, FormatsInFixedOrderAndReadsBack) {
    tschopt entry;
    entry.date = QDateTime(QDate(2016, 3, 20), QTime(23, 0));
    entry.presname = QStringLiteral("Docs");
    entry.repeat = -1;
    entry.interval = 1440;
    entry.precise = true;
    entry.ondelay = 0;
    entry.dow = QStringLiteral("11111110");

    const tschdata stored = FormatScheduleEntry(entry);
    EXPECT_EQ(stored.date, QStringLiteral("2016.03.20 23:00:00 "));
    EXPECT_EQ(stored.presname, QStringLiteral("Docs"));
    EXPECT_EQ(stored.options,
              QStringLiteral("REPEAT=-1 INTERVAL=1440 PRECISE=1 ONDELAY=0 DOW=11111110"));
    EXPECT_EQ(FormatScheduleLine(stored),
              QStringLiteral("<D>2016.03.20 23:00:00 </D><P>Docs</P><O>REPEAT=-1 INTERVAL=1440 "
                             "PRECISE=1 ONDELAY=0 DOW=11111110</O>"));

    const std::optional<tschopt> read =
        ParseScheduleEntry(ParseScheduleLine(FormatScheduleLine(stored)));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->date.date(), entry.date.date());
    EXPECT_EQ(read->date.time(), entry.date.time());
    EXPECT_EQ(read->presname, entry.presname);
    EXPECT_EQ(read->repeat, -1);
    EXPECT_EQ(read->interval, 1440);
    EXPECT_TRUE(read->precise);
    EXPECT_EQ(read->ondelay, 0);
    EXPECT_EQ(read->dow, QStringLiteral("11111110"));

    entry.dow = QStringLiteral("101");
    entry.precise = false;
    entry.repeat = 3;
    entry.ondelay = 2;
    EXPECT_EQ(FormatScheduleOptions(entry),
              QStringLiteral("REPEAT=3 INTERVAL=1440 PRECISE=0 ONDELAY=2 DOW=11111110"));
}

TEST(ScheduleOptionText, ReadsOlderAndDamagedForms) {
    struct Case {
        const char* options;
        bool readable;
        bool precise;
        const char* dow;
    };
    const Case cases[] = {
        // Earlier versions wrote the misspelt key; it wins when present.
        {"REPEAT=0 INTERVAL=1 PRESICE=0 ONDELAY=0 DOW=10100000", true, false, "10100000"},
        {"REPEAT=0 INTERVAL=1 PRECISE=yes ONDELAY=0 DOW=10100000", true, true, "10100000"},
        {"REPEAT=0 INTERVAL=1 PRECISE=0 ONDELAY=0", true, false, "11111110"},
        {"REPEAT=0 INTERVAL=1 PRECISE=1 ONDELAY=0 DOW=1010", true, true, "11111110"},
        {"REPEAT=0 INTERVAL=1 PRECISE=1 ONDELAY=0 DOW=101000001111", true, true, "10100000"},
        {"REPEAT=x INTERVAL=1 PRECISE=1 ONDELAY=0 DOW=11111110", false, true, ""},
        {"REPEAT=0 INTERVAL= PRECISE=1 ONDELAY=0 DOW=11111110", false, true, ""},
        {"REPEAT=0 PRECISE=1 ONDELAY=0 DOW=11111110", false, true, ""},
        {"", false, true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        const std::optional<tschopt> read =
            ParseScheduleEntry({QStringLiteral("2016.03.20 00:00:00"), QStringLiteral("Docs"),
                                QString::fromLatin1(c.options)});
        ASSERT_EQ(read.has_value(), c.readable);
        if (!read)
            continue;
        EXPECT_EQ(read->precise, c.precise);
        EXPECT_EQ(read->dow, QString::fromLatin1(c.dow));
    }
    EXPECT_FALSE(ParseScheduleEntry({QStringLiteral("soon"), QStringLiteral("Docs"),
                                     QStringLiteral("REPEAT=0 INTERVAL=1 PRECISE=1 ONDELAY=0")})
                     .has_value());
}

TEST(ScheduleFileLine, TakesTheFirstOfEachTagAndEmptyTextsWithoutThem) {
    const tschdata read = ParseScheduleLine(
        QStringLiteral("<P>Docs</P><D>2016.03.20 00:00:00</D><O>REPEAT=0</O><P>Other</P>"));
    EXPECT_EQ(read, (tschdata{QStringLiteral("2016.03.20 00:00:00"), QStringLiteral("Docs"),
                              QStringLiteral("REPEAT=0")}));
    EXPECT_EQ(ParseScheduleLine(QStringLiteral("no tags at all")), tschdata{});
    EXPECT_EQ(ParseScheduleLine(QStringLiteral("</P>x<P>")).presname, QString());
}

} // namespace
