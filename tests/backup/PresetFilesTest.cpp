#include "backup/PresetFiles.h"
#include "backup/PresetFields.h"
#include "core/Clock.h"
#include "core/MessageTable.h"
#include "core/StoredText.h"
#include "core/TextFiles.h"
#include "platform/fakes/RecordingPrompts.h"

#include "TestFolders.h"

#include <QDateTime>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <type_traits>

namespace stowline::backup {
namespace {

using testing::readBytes;
using testing::TestFolders;

const QDateTime kStart(QDate(2016, 3, 20), QTime(23, 0, 0));

class PresetFilesTest : public ::testing::Test {
protected:
    QString presetFile(const QString& name) const { return dirs.preset(name + ".pst"); }

    // Writes `lines` as a preset file, each line scrambled.
    void writePresetFile(const QString& name, const QStringList& lines) {
        QStringList stored;
        for (const QString& line : lines)
            stored << core::EncodeStoredText(line);
        ASSERT_TRUE(core::writeTextLinesAtomically(presetFile(name), stored));
    }

    QStringList decodedLines(const QString& path) const {
        QStringList lines;
        for (const QString& line : core::readTextLines(path).value_or(QStringList()))
            lines << core::DecodeStoredText(line);
        return lines;
    }

    tarcopt defaults() const {
        tarcopt preset;
        SetPresetDefaults(preset);
        return preset;
    }

    tarcopt load(const QString& name) {
        tarcopt preset;
        EXPECT_TRUE(store.LoadPreset(name, preset));
        return preset;
    }

    QString value(const tarcopt& preset, const char* key) const {
        return presetValueText(preset, *findPresetField(QLatin1String(key)));
    }

    TestFolders dirs;
    core::MessageTable messages;
    core::ManualClock clock{kStart};
    platform::RecordingPrompts prompts;
    PresetStore store{dirs.folders, messages, clock, prompts};
};

TEST_F(PresetFilesTest, FileWithOnlyTheVersionLineLoadsTheDefaults) {
    writePresetFile("Docs", {"ver 0"});
    const tarcopt preset = load("Docs");
    EXPECT_EQ(preset, defaults());
    // The defaults that differ from zero and empty, spelled out.
    const std::pair<const char*, const char*> expected[] = {
        {"sld", "1"},    {"osf", "1"}, {"rsf", "1"},  {"irp", "1"},  {"dtf", "-YYMMDDHHMMSS"},
        {"vol", "Auto"}, {"fld", "1"}, {"rrp", "1"},  {"ccv", "1"},  {"scv", "1"},
        {"fcv", "1"},    {"csp", "8"}, {"cdb", "16"}, {"fpo", "ftp"}};
    for (const auto& [key, text] : expected)
        EXPECT_EQ(value(preset, key), text) << key;
    int nonEmpty = 0;
    for (const PresetField& field : presetFields()) {
        const QString text = presetValueText(preset, field);
        nonEmpty += !(text.isEmpty() || text == "0");
    }
    EXPECT_EQ(nonEmpty, int(std::size(expected)));
}

TEST_F(PresetFilesTest, ForeignFileKeepsEveryWrittenFieldThroughLoadAndSave) {
    // A file as another program may write it: keys in its own order, every field away
    // from its default, text with inner and trailing blanks, the unwritten keys too.
    QStringList lines{"ver 0"};
    tarcopt expected = defaults();
    int number = 2;
    for (const PresetField& field : presetFields()) {
        QString text = std::visit(
            [&](auto member) -> QString {
                using Value = std::remove_cvref_t<decltype(expected.*member)>;
                if constexpr (std::is_same_v<Value, bool>)
                    return expected.*member ? "0" : "1";
                else if constexpr (std::is_same_v<Value, int>)
                    return QString::number(number % 2 ? number * 10 : -number);
                else
                    return QString(" value of %1  ").arg(field.key);
            },
            field.member);
        ++number;
        assignPresetValue(expected, field, text);
        lines << QLatin1String(field.key) + ' ' + text;
    }
    std::shuffle(lines.begin() + 1, lines.end(), std::mt19937(4));
    writePresetFile("Foreign", lines);

    const tarcopt loaded = load("Foreign");
    EXPECT_EQ(loaded, expected);
    EXPECT_EQ(loaded.dir, " value of dir  ");

    ASSERT_TRUE(store.SavePreset("Docs", loaded, {}, {}, {}, {}));
    const QStringList saved = decodedLines(presetFile("Docs"));
    ASSERT_EQ(saved.size(), 82);
    EXPECT_EQ(saved.at(0), "ver 0");
    EXPECT_EQ(saved.at(1), "nam  value of nam  ");
    EXPECT_EQ(saved.at(2), "dir  value of dir  ");
    EXPECT_EQ(saved.at(6), "di5  value of di5  ");
    EXPECT_EQ(saved.last(), "efa  value of efa  ");
    for (qsizetype i = 1; i < saved.size(); ++i)
        EXPECT_EQ(saved.at(i).left(3), presetFileKeyOrder()[i - 1]);
    EXPECT_TRUE(readBytes(presetFile("Docs")).endsWith("\r\n"));

    // Only the four keys that are never written fall back to their defaults.
    tarcopt reloaded = load("Docs");
    const tarcopt fallback = defaults();
    EXPECT_EQ(reloaded.sfx, fallback.sfx);
    EXPECT_EQ(reloaded.aut, fallback.aut);
    EXPECT_EQ(reloaded.fpo, fallback.fpo);
    EXPECT_EQ(reloaded.cie, fallback.cie);
    reloaded.sfx = loaded.sfx;
    reloaded.aut = loaded.aut;
    reloaded.fpo = loaded.fpo;
    reloaded.cie = loaded.cie;
    EXPECT_EQ(reloaded, loaded);
}

TEST_F(PresetFilesTest, TamperedLineIsIgnoredAndItsFieldKeepsTheDefault) {
    tarcopt preset = defaults();
    preset.nam = "docs";
    preset.cmp = 5;
    ASSERT_TRUE(store.SavePreset("Docs", preset, {}, {}, {}, {}));

    QStringList stored = *core::readTextLines(presetFile("Docs"));
    const qsizetype cmpLine = decodedLines(presetFile("Docs")).indexOf("cmp 5");
    ASSERT_GT(cmpLine, 0);
    // Change the digit group of the "5" by hand: the checksum no longer matches.
    QByteArray digits = QByteArray::fromBase64(stored.at(cmpLine).toLatin1());
    digits.replace(digits.size() - 3, 3, "054");
    stored[cmpLine] = QString::fromLatin1(digits.toBase64());
    ASSERT_TRUE(core::writeTextLinesAtomically(presetFile("Docs"), stored));

    const tarcopt loaded = load("Docs");
    EXPECT_EQ(loaded.cmp, 0);
    EXPECT_EQ(loaded.nam, "docs");
}

TEST_F(PresetFilesTest, ValuesFollowTheStoredValueRules) {
    const struct {
        QStringList lines;
        const char* key;
        const char* value;
    } cases[] = {
        {{"sld 0"}, "sld", "0"},
        {{"tst 1"}, "tst", "1"},
        {{"tst yes"}, "tst", "1"},
        {{"tst "}, "tst", "1"},
        {{"tst"}, "tst", "1"},
        {{"cmp -3"}, "cmp", "-3"},
        {{"csp fast"}, "csp", "8"},       // an integer that does not convert keeps its default
        {{"cmp 2", "cmp 4"}, "cmp", "4"}, // the later line wins
        {{"dir /backup/my folder "}, "dir", "/backup/my folder "},
        {{"swt -os -ow"}, "swt", "-os -ow"},
        {{"vol "}, "vol", ""},
        {{"aut 1"}, "aut", "1"}, // read from older files
        {{"xyz 1", "", "ver 0"}, "cmp", "0"},
    };
    for (const auto& c : cases) {
        writePresetFile("Docs", QStringList{"ver 0"} + c.lines);
        EXPECT_EQ(value(load("Docs"), c.key), c.value) << c.lines.join('|').toStdString();
    }
}

TEST_F(PresetFilesTest, MissingPresetFileFailsAndLeavesTheRecord) {
    tarcopt preset;
    preset.nam = "untouched";
    EXPECT_FALSE(store.LoadPreset("Nowhere", preset));
    EXPECT_EQ(preset.nam, "untouched");
}

TEST_F(PresetFilesTest, SaveStoresTheEnglishVolumeWordsAndNoEncryptionWithoutPassword) {
    ASSERT_TRUE(messages.replace(u"autowordtranslated", "Automatisch"));
    ASSERT_TRUE(messages.replace(u"nonewordtranslated", "Keine"));
    const struct {
        const char* vol;
        const char* pwd;
        const char* storedVol;
        const char* storedPas;
    } cases[] = {
        {"Automatisch", "", "vol Auto", "pas 0"},
        {"Keine", "secret", "vol None", "pas 1"},
        {"100m", "", "vol 100m", "pas 0"},
        {"Auto", "", "vol Auto", "pas 0"},
    };
    for (const auto& c : cases) {
        tarcopt preset = defaults();
        preset.vol = c.vol;
        preset.pwd = c.pwd;
        preset.pas = true;
        ASSERT_TRUE(store.SavePreset("Docs", preset, {}, {}, {}, {}));
        const QStringList saved = decodedLines(presetFile("Docs"));
        EXPECT_TRUE(saved.contains(c.storedVol)) << c.vol;
        EXPECT_TRUE(saved.contains(c.storedPas)) << c.vol;
    }
}

TEST_F(PresetFilesTest, SaveWritesTheSideFilesAndRemovesAnEmptyComment) {
    const tarcopt preset = defaults();
    ASSERT_TRUE(store.SavePreset("Docs", preset, {"/home/me/docs", "*.odt"}, {"*.bak"},
                                 {"weekly", "keep"}, {"Docs of the week"}));
    EXPECT_EQ(readBytes(dirs.preset("Docs.inc")), "/home/me/docs\r\n*.odt\r\n");
    EXPECT_EQ(readBytes(dirs.preset("Docs.exc")), "*.bak\r\n");
    EXPECT_EQ(readBytes(dirs.preset("Docs.not")), "weekly\r\nkeep\r\n");
    EXPECT_EQ(readBytes(dirs.preset("Docs.cmt")), "Docs of the week\r\n");

    ASSERT_TRUE(store.SavePreset("Docs", preset, {}, {}, {}, {}));
    EXPECT_FALSE(QFile::exists(dirs.preset("Docs.cmt")));
    EXPECT_EQ(readBytes(dirs.preset("Docs.inc")), "");
    EXPECT_TRUE(prompts.errors.isEmpty());
}

TEST_F(PresetFilesTest, FailedSaveIsShownAndKeepsWhatWasWritten) {
    const tarcopt preset = defaults();
    ASSERT_TRUE(store.SavePreset("Docs", preset, {"/home"}, {"*.bak"}, {}, {}));
    // A side file that cannot be written stops the save there.
    ASSERT_TRUE(QFile::remove(dirs.preset("Docs.inc")));
    ASSERT_TRUE(QDir().mkdir(dirs.preset("Docs.inc")));
    tarcopt changed = preset;
    changed.cmp = 3;
    EXPECT_FALSE(store.SavePreset("Docs", changed, {"/home"}, {"*.tmp"}, {}, {}));
    EXPECT_EQ(prompts.errors, QStringList{"\nSave preset error!"});
    EXPECT_EQ(load("Docs").cmp, 3);
    EXPECT_EQ(readBytes(dirs.preset("Docs.exc")), "*.bak\r\n");

    core::Folders missing = dirs.folders;
    missing.presets += "/gone";
    PresetStore elsewhere(missing, messages, clock, prompts);
    EXPECT_FALSE(elsewhere.SavePreset("Docs", preset, {}, {}, {}, {}));
    EXPECT_EQ(prompts.errors.size(), 2);
}

TEST_F(PresetFilesTest, DefaultsFileListsDi5AfterVolAndLoadsByItsSpecialName) {
    tarcopt preset = defaults();
    preset.di5 = "4096k";
    preset.ftp = true;
    ASSERT_TRUE(store.SavePresetDefaults(preset));
    const QStringList saved = decodedLines(dirs.folders.data + "/swl.pst");
    ASSERT_EQ(saved.size(), 82);
    EXPECT_EQ(saved.indexOf("di5 4096k"), saved.indexOf("vol Auto") + 1);
    EXPECT_EQ(saved.at(5), "dtf -YYMMDDHHMMSS");
    EXPECT_EQ(load(kDefaultsPresetName), preset);
    EXPECT_FALSE(QFile::exists(dirs.preset("swl.inc")));
}

TEST(HistoryStamp, HasATrailingBlankExceptAtMidnight) {
    EXPECT_EQ(formatHistoryStamp(QDateTime(QDate(2016, 3, 20), QTime(23, 0, 0, 999))),
              "2016.03.20 23:00:00 ");
    EXPECT_EQ(formatHistoryStamp(QDateTime(QDate(2016, 3, 20), QTime(0, 0, 0))),
              "2016.03.20 00:00:00");
    EXPECT_EQ(formatHistoryStamp(QDateTime(QDate(2016, 3, 21), QTime(0, 0, 1))),
              "2016.03.21 00:00:01 ");
    EXPECT_EQ(parseHistoryStamp("2016.03.20 23:00:00 "),
              QDateTime(QDate(2016, 3, 20), QTime(23, 0, 0)));
    EXPECT_EQ(parseHistoryStamp("2016.03.20 00:00:00"), QDateTime(QDate(2016, 3, 20), QTime()));
    EXPECT_EQ(parseHistoryStamp("docs-160320.rar"), std::nullopt);
    EXPECT_EQ(parseHistoryStamp(""), std::nullopt);
}

TEST_F(PresetFilesTest, CleanerHistoryPutsTheNewestRunFirst) {
    ASSERT_TRUE(store.AppendHistoryEntry("Docs", {"docs-1.rar"}, CleanerHistory::Copy));
    clock.set(QDateTime(QDate(2016, 3, 21), QTime(0, 0)));
    ASSERT_TRUE(store.AppendHistoryEntry("Docs", {"docs-2.part1.rar", "docs-2.part2.rar"},
                                         CleanerHistory::Copy));
    clock.advanceSeconds(90);
    ASSERT_TRUE(store.AppendHistoryEntry("Docs", {"docs-3.rar"}, CleanerHistory::Copy));
    ASSERT_TRUE(store.AppendHistoryEntry("Docs", {"docs-3.rar"}, CleanerHistory::Ftp));

    EXPECT_EQ(readBytes(dirs.preset("Docs.lgc")),
              "2016.03.21 00:01:30 \r\ndocs-3.rar\r\n\r\n"
              "2016.03.21 00:00:00\r\ndocs-2.part1.rar\r\ndocs-2.part2.rar\r\n\r\n"
              "2016.03.20 23:00:00 \r\ndocs-1.rar\r\n\r\n");
    EXPECT_EQ(readBytes(dirs.preset("Docs.lgf")), "2016.03.21 00:01:30 \r\ndocs-3.rar\r\n\r\n");
    EXPECT_FALSE(QFile::exists(dirs.preset("Docs.lgs")));
}

TEST_F(PresetFilesTest, DeliveryHistoryInsertsLinesAtTheTop) {
    ASSERT_TRUE(store.AppendDeliveryHistory("Docs", DeliveryKind::Copy, "/backup/Docs.rar"));
    clock.advanceSeconds(5);
    ASSERT_TRUE(store.AppendDeliveryHistory("Docs", DeliveryKind::Ftp,
                                            "ftp.example.org:21/backups/Docs.rar"));
    EXPECT_EQ(readBytes(dirs.preset("Docs.hst")),
              "2016.03.20 23:00:05 \t3-FTP\tftp.example.org:21/backups/Docs.rar\r\n"
              "2016.03.20 23:00:00 \t4-COPY\t/backup/Docs.rar\r\n");
    EXPECT_EQ(deliveryKindText(DeliveryKind::Disc), "1-CD");
    EXPECT_EQ(deliveryKindText(DeliveryKind::Mail), "2-SMTP");
}

} // namespace
} // namespace stowline::backup
