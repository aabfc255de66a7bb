#include "core/OptionsFile.h"
#include "core/MessageTable.h"
#include "core/OptionFields.h"
#include "core/StoredText.h"
#include "core/TextFiles.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

namespace stowline::core {
namespace {

// Every key with its default as the key table gives it, for a 1024x768 screen, the
// program folder "/prog" and the data folder "/data".
const std::pair<const char*, const char*> kExpectedDefaults[] = {
    {"son", "1"},
    {"des", "0"},
    {"dha", "0"},
    {"dac", ""},
    {"dus", ""},
    {"dpa", ""},
    {"dnr", "3"},
    {"dwc", "60"},
    {"rae", "0"},
    {"rap", "80"},
    {"rlo", ""},
    {"rpa", ""},
    {"pwi", ""},
    {"pte", ""},
    {"lsz", "1000"},
    {"lfs", "8"},
    {"pfs", "10"},
    {"sta", "0"},
    {"fre", "0"},
    {"fin", "5"},
    {"fti", "3"},
    {"twr", "0"},
    {"tft", "0"},
    {"tsm", "0"},
    {"shp", "1"},
    {"lat", "7"},
    {"dec", "0"},
    {"dtb", "0"},
    {"dit", "0"},
    {"acw", "1"},
    {"ser", "0"},
    {"cie", "0"},
    {"c1w", "150"},
    {"c2w", "150"},
    {"c3w", "150"},
    {"sps", "0"},
    {"sph", "0"},
    {"spa", "0"},
    {"spe", "0"},
    {"spm", "0"},
    {"cms", "1"},
    {"sgp", ""},
    {"lad", ""},
    {"ssr", ""},
    {"sss", "0"},
    {"sur", ""},
    {"spd", ""},
    {"sfm", ""},
    {"sto", ""},
    {"lvc", "0"},
    {"lt1", "1"},
    {"lt2", "1"},
    {"lt3", "1"},
    {"smz", "0"},
    {"hic", "0"},
    {"ske", "1"},
    {"soe", "1"},
    {"swf", "/prog/error.wav"},
    {"lng", "English (default).lng"},
    {"plh", "125"},
    {"px1", "202"},
    {"px2", "620"},
    {"py1", "164"},
    {"py2", "440"},
    {"obn", "1"},
    {"obc", "0"},
    {"obv", "0"},
    {"obt", "0"},
    {"obx", "0"},
    {"oby", "0"},
    {"obi", "90"},
    {"obf", "/data/SWL-BIN"},
    {"obp", ""},
    {"okp", ""},
    {"obr", "1"},
    {"obk", "1"},
};

// The order of the keys in swl.opt.
const char* const kFileOrder =
    "son des dha dac dus dpa dnr dwc rpa rlo rae rap pwi pte lsz lfs pfs sta fre fin fti twr "
    "tft tsm shp lat dec dtb dit acw ser cie c1w c2w c3w sps sph spa spe spm cms sgp lad ssr "
    "sss sur spd sfm sto lvc lt1 lt2 lt3 smz hic ske soe swf lng plh px1 px2 py1 py2 obn obc "
    "obv obt obx oby obi obf obp okp obr obk";

QString valueOf(const topt& options, const char* key) {
    const OptionField* field = findOptionField(QString::fromLatin1(key));
    EXPECT_NE(field, nullptr) << key;
    return field ? optionValueText(options, *field) : QString();
}

class OptionsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dataDir.isValid());
        context = {QStringLiteral("/prog"), dataDir.path(), QSize()};
    }

    QString optPath() const { return optionsFilePath(dataDir.path()); }

    // Writes swl.opt from decoded lines, each scrambled as the program stores it.
    void writeDecoded(const QStringList& lines) {
        QStringList stored;
        for (const QString& line : lines)
            stored << EncodeStoredText(line);
        writeRaw(stored);
    }
    void writeRaw(const QStringList& lines) {
        ASSERT_TRUE(writeTextLinesAtomically(optPath(), lines));
    }

    topt load() {
        topt options;
        LoadOptions(options, context, messages, [this](const QString& m) { logged << m; });
        return options;
    }

    QStringList decodedFile() const {
        QStringList decoded;
        for (const QString& line : readTextLines(optPath()).value_or(QStringList()))
            decoded << DecodeStoredText(line);
        return decoded;
    }

    QTemporaryDir dataDir;
    OptionDefaultsContext context;
    MessageTable messages;
    QStringList logged;
};

void expectDefaults(const topt& options, const QString& dataFolder) {
    for (const auto& [key, text] : kExpectedDefaults) {
        QString expected = QString::fromUtf8(text);
        expected.replace(QStringLiteral("/data"), dataFolder);
        EXPECT_EQ(valueOf(options, key), expected) << key;
    }
}

TEST_F(OptionsFileTest, MissingFileGivesDefaultsAndAsksToCheckTheSettings) {
    const topt options = load();
    expectDefaults(options, dataDir.path());
    EXPECT_EQ(logged, QStringList{QStringLiteral("Please check the settings!")});
}

TEST_F(OptionsFileTest, VersionLineAloneGivesExactlyTheDefaults) {
    writeDecoded({QStringLiteral("ver 0")});
    expectDefaults(load(), dataDir.path());
    EXPECT_TRUE(logged.isEmpty());
}

TEST_F(OptionsFileTest, WindowPositionDefaultsCentreOnTheScreen) {
    const struct {
        QSize screen;
        int px1;
        int py1;
    } cases[] = {
        {QSize(), 202, 164}, // no screen: 1024x768
        {QSize(1920, 1080), 650, 320},
        {QSize(1025, 769), 202, 164}, // integer division
        {QSize(600, 400), -10, -20},  // smaller than the window
    };
    for (const auto& c : cases) {
        context.screen = c.screen;
        const topt options = load();
        EXPECT_EQ(options.px1, c.px1) << c.screen.width();
        EXPECT_EQ(options.py1, c.py1) << c.screen.height();
    }
}

TEST_F(OptionsFileTest, ValueRulesPerKind) {
    const struct {
        const char* line;
        const char* key;
        const char* expected;
    } cases[] = {
        {"son 0", "son", "0"},
        {"son 1", "son", "1"},
        {"son ", "son", "1"}, // an empty value counts as on
        {"son", "son", "1"},
        {"son no", "son", "1"},
        {"son 00", "son", "1"}, // only the exact text "0" is off
        {"son 0 ", "son", "1"},
        {"dnr 7", "dnr", "7"},
        {"dnr -4", "dnr", "-4"},
        {"dnr 2147483647", "dnr", "2147483647"},
        {"dnr abc", "dnr", "3"}, // does not convert: the default stays
        {"dnr 12x", "dnr", "3"},
        {"dnr ", "dnr", "3"},
        {"dnr 99999999999", "dnr", "3"}, // beyond 32 bits
        {"pwi /opt/My Programs/rar  ", "pwi", "/opt/My Programs/rar  "},
        {"dac  leading", "dac", " leading"},
        {"sgp p\u00e4ss = w\u00f6rd", "sgp", "p\u00e4ss = w\u00f6rd"},
        {"rap ", "rap", ""},       // a present but empty text replaces the default
        {"SON 0", "son", "1"},     // keys are matched as written
        {"xyz 5", "lsz", "1000"},  // unknown key
        {"lsz -5", "lsz", "1000"}, // a negative log size has no meaning: the default stays
        {"lsz 0", "lsz", "0"},
    };
    for (const auto& c : cases) {
        writeDecoded({QStringLiteral("ver 0"), QString::fromUtf8(c.line)});
        EXPECT_EQ(valueOf(load(), c.key), QString::fromUtf8(c.expected)) << c.line;
    }
}

TEST_F(OptionsFileTest, LaterLineWinsAndDamagedLinesAreIgnored) {
    const QString goodLfs = EncodeStoredText(QStringLiteral("lfs 12"));
    // One digit group of "pfs 14" changed by hand: the checksum no longer matches.
    QByteArray digits =
        QByteArray::fromBase64(EncodeStoredText(QStringLiteral("pfs 14")).toLatin1());
    digits[digits.size() - 1] = digits.at(digits.size() - 1) == '0' ? '1' : '0';
    writeRaw({
        EncodeStoredText(QStringLiteral("lsz 10")),
        EncodeStoredText(QStringLiteral("ver 0")),
        QString::fromLatin1(digits.toBase64()),
        QString(),
        QStringLiteral("lat 9"), // not scrambled
        goodLfs,
        EncodeStoredText(QStringLiteral("lsz 20")),
        EncodeStoredText(QStringLiteral("lfs 13")),
    });
    const topt options = load();
    EXPECT_EQ(options.lsz, 20);
    EXPECT_EQ(options.lfs, 13);
    EXPECT_EQ(options.pfs, 10);
    EXPECT_EQ(options.lat, 7);
    EXPECT_TRUE(logged.isEmpty());
}

TEST_F(OptionsFileTest, ReadsLfLineEnds) {
    QFile file(optPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write((EncodeStoredText(QStringLiteral("lsz 5")) + QLatin1Char('\n') +
                EncodeStoredText(QStringLiteral("pfs 6")))
                   .toLatin1());
    file.close();
    const topt options = load();
    EXPECT_EQ(options.lsz, 5);
    EXPECT_EQ(options.pfs, 6);
}

TEST_F(OptionsFileTest, SavedFileHoldsTheVersionLineAndEveryKeyInFileOrder) {
    const topt options = load();
    ASSERT_TRUE(SaveOptions(options, dataDir.path()));

    const QStringList order = QString::fromLatin1(kFileOrder).split(QLatin1Char(' '));
    const QStringList decoded = decodedFile();
    ASSERT_EQ(decoded.size(), 1 + order.size());
    EXPECT_EQ(decoded.first(), QStringLiteral("ver 0"));
    for (qsizetype i = 0; i < order.size(); ++i)
        EXPECT_EQ(decoded.at(i + 1), order.at(i) + QLatin1Char(' ') +
                                         valueOf(options, order.at(i).toLatin1().constData()));

    // Every line scrambled, CR LF after each.
    QFile file(optPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray raw = file.readAll();
    EXPECT_TRUE(raw.startsWith("MDAxMDMwMTUwMTE3MTQ2MDQ4MDgw\r\n"));
    EXPECT_EQ(raw.count("\r\n"), decoded.size());
    EXPECT_FALSE(raw.contains("son"));
}

// Every field of the record set away from its default, so that a round trip shows a
// field that is saved or loaded under the wrong key.
topt unusualOptions() {
    topt options;
    int number = 1000;
    for (const OptionField& field : optionFields()) {
        std::visit(
            [&](auto member) {
                using Value = std::remove_cvref_t<decltype(options.*member)>;
                if constexpr (std::is_same_v<Value, bool>)
                    options.*member = number % 2 == 0;
                else if constexpr (std::is_same_v<Value, int>)
                    options.*member = field.range == OptionRange::Any ? -number : number;
                else
                    options.*member = QStringLiteral(" %1 text ").arg(QLatin1String(field.key));
            },
            field.member);
        ++number;
    }
    return options;
}

TEST_F(OptionsFileTest, SaveThenLoadReturnsEveryField) {
    const topt saved = unusualOptions();
    ASSERT_TRUE(SaveOptions(saved, dataDir.path()));
    const topt loaded = load();
    for (const OptionField& field : optionFields())
        EXPECT_EQ(optionValueText(loaded, field), optionValueText(saved, field)) << field.key;
}

TEST_F(OptionsFileTest, ColumnWidthsComeFromThePresetListWhenGiven) {
    topt options = load();
    ASSERT_TRUE(SaveOptions(options, dataDir.path(), PresetColumnWidths{210, 95, 333}));
    EXPECT_EQ(options.c1w, 150); // the record itself is unchanged
    const topt loaded = load();
    EXPECT_EQ(loaded.c1w, 210);
    EXPECT_EQ(loaded.c2w, 95);
    EXPECT_EQ(loaded.c3w, 333);
}

TEST_F(OptionsFileTest, FailedWriteKeepsTheOldFileAndIsReported) {
    writeDecoded({QStringLiteral("ver 0"), QStringLiteral("lsz 77")});
    const QByteArray before = [&] {
        QFile file(optPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    ASSERT_FALSE(before.isEmpty());

    // A file size limit below the size of the new file fails the write like a full disk
    // does, even for a user whom permissions do not stop.
    rlimit original{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &original), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = original;
    limited.rlim_cur = static_cast<rlim_t>(before.size() + 10);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    testing::internal::CaptureStderr();
    const bool saved = SaveOptions(unusualOptions(), dataDir.path());
    const std::string error = testing::internal::GetCapturedStderr();
    setrlimit(RLIMIT_FSIZE, &original);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(saved);
    EXPECT_NE(error.find("swl.opt"), std::string::npos) << error;
    QFile file(optPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
    EXPECT_EQ(QDir(dataDir.path()).entryList(QDir::Files), QStringList{QStringLiteral("swl.opt")});
}

TEST_F(OptionsFileTest, MissingDataFolderFailsTheSave) {
    testing::internal::CaptureStderr();
    EXPECT_FALSE(SaveOptions(load(), dataDir.filePath(QStringLiteral("gone"))));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("gone/swl.opt"), std::string::npos);
}

} // namespace
} // namespace stowline::core
