#include "ui/preseteditor/PresetEditorRules.h"

#include "backup/PresetFields.h"

#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <functional>

namespace stowline::ui {
namespace {

using backup::tarcopt;

tarcopt defaults() {
    tarcopt preset;
    backup::SetPresetDefaults(preset);
    return preset;
}

// A preset that passes every check: a name, an archive name and an include list.
struct CheckCase {
    const char* what;
    std::function<void(tarcopt&)> change;
    QString name;
    QStringList include;
    bool discAvailable;
    const char* failedKey; // "" when every check passes
    bool clearDisc;
};

TEST(PresetEditorRules, ChecksOnOkRunInOrderAndReportTheFirstFailure) {
    const auto none = [](tarcopt&) {};
    const QStringList some{QStringLiteral("/home/user/Documents")};
    const CheckCase cases[] = {
        {"complete preset", none, "Docs", some, false, "", false},
        {"cleaner with direct archiving beats an empty name",
         [](tarcopt& p) {
             p.cco = true;
             p.dra = true;
         },
         "",
         {},
         false,
         "noclnrwithdirectraring",
         false},
        {"cleaner without date mask",
         [](tarcopt& p) {
             p.cco = true;
             p.dtf.clear();
         },
         "Docs", some, false, "mustadddatetime", false},
        {"empty name", none, "", some, false, "specpreset", false},
        {"FTP without server", [](tarcopt& p) { p.ftp = true; }, "Docs", some, false, "specftp",
         false},
        {"e-mail without server", [](tarcopt& p) { p.smt = true; }, "Docs", some, false,
         "specsmtpdata", false},
        {"empty archive name, checked after the servers",
         [](tarcopt& p) {
             p.nam.clear();
             p.smt = true;
             p.sse = QStringLiteral("mail.example.org");
         },
         "Docs", some, false, "specfilename", false},
        {"folder task without folder", [](tarcopt& p) { p.ctf = true; }, "Docs", some, false,
         "specbkfolder", false},
        {"empty include list", none, "Docs", {}, false, "addatleastsomething", false},
        {"include list of blank lines",
         none,
         "Docs",
         {QStringLiteral(" "), QString()},
         false,
         "addatleastsomething",
         false},
        {"disc task without recording is cleared and passes", [](tarcopt& p) { p.cdw = true; },
         "Docs", some, false, "", true},
        {"disc task cleared even when a later check fails", [](tarcopt& p) { p.cdw = true; }, "",
         some, false, "specpreset", true},
        {"disc task with recording stays", [](tarcopt& p) { p.cdw = true; }, "Docs", some, true, "",
         false},
    };
    for (const CheckCase& c : cases) {
        tarcopt preset = defaults();
        preset.nam = QStringLiteral("docs");
        c.change(preset);
        const OkCheckResult result = checkBeforeSave({c.name, preset, c.include, c.discAvailable});
        EXPECT_EQ(result.failedKey, QLatin1String(c.failedKey)) << c.what;
        EXPECT_EQ(result.clearDiscTask, c.clearDisc) << c.what;
    }
}

TEST(PresetEditorRules, ZipDisablesRarOnlyControlsAndClearsThemOnChange) {
    tarcopt preset = defaults();
    preset.ra5 = true;
    preset.arr = true;
    preset.dic = 3;
    preset.drm = 2;
    preset.dra = true;
    preset.fmt = kZipFormat;

    // Opening: the controls are disabled but the values stay.
    const EditorControlStates zip = controlStates(preset);
    EXPECT_FALSE(zip.rar5);
    EXPECT_FALSE(zip.recoveryRecord);
    EXPECT_FALSE(zip.dictionary);
    EXPECT_FALSE(zip.directMode);
    EXPECT_TRUE(preset.ra5);
    EXPECT_EQ(preset.drm, 2);

    formatChanged(preset);
    EXPECT_FALSE(preset.ra5);
    EXPECT_FALSE(preset.arr);
    EXPECT_EQ(preset.dic, 0);
    EXPECT_EQ(preset.drm, 0);

    // Back to RAR: enabled again, but nothing comes back ticked.
    preset.fmt = 0;
    formatChanged(preset);
    const EditorControlStates rar = controlStates(preset);
    EXPECT_TRUE(rar.rar5 && rar.recoveryRecord && rar.dictionary && rar.directMode);
    EXPECT_FALSE(preset.ra5);
    EXPECT_FALSE(preset.arr);
}

TEST(PresetEditorRules, DirectArchivingTurnsDeliveriesOffAndFixesTheMask) {
    tarcopt preset = defaults();
    preset.ftp = preset.smt = preset.cdw = true;
    preset.ems = QStringLiteral("*.rar");
    preset.dra = true;
    directArchivingChanged(preset);
    EXPECT_FALSE(preset.ftp || preset.smt || preset.cdw);
    EXPECT_EQ(preset.ems, QStringLiteral("*.*"));
    const EditorControlStates on = controlStates(preset);
    EXPECT_FALSE(on.deliveryTasks || on.overwrite || on.emptyMask);
    EXPECT_TRUE(on.directMode);
    EXPECT_EQ(on.emptyCaptionKey, QStringLiteral("cemptyerasedisk"));

    preset.drm = 3;
    preset.dra = false;
    directArchivingChanged(preset);
    EXPECT_EQ(preset.drm, 0);
    const EditorControlStates off = controlStates(preset);
    EXPECT_TRUE(off.deliveryTasks && off.overwrite && off.emptyMask);
    EXPECT_FALSE(off.directMode);
    EXPECT_EQ(off.emptyCaptionKey, QStringLiteral("cemptymask"));
}

TEST(PresetEditorRules, PriorityBoxResetsSliderAndSleep) {
    tarcopt preset = defaults();
    preset.wpc = true;
    preset.wpp = 9;
    preset.wps = 4;
    priorityBoxChanged(preset);
    EXPECT_EQ(preset.wpp, 9);
    EXPECT_TRUE(controlStates(preset).priority);
    preset.wpc = false;
    priorityBoxChanged(preset);
    EXPECT_EQ(preset.wpp, 0);
    EXPECT_EQ(preset.wps, 0);
    EXPECT_FALSE(controlStates(preset).priority);
    // Ticked again, the slider is at 0: "Default".
    preset.wpc = true;
    priorityBoxChanged(preset);
    EXPECT_EQ(priorityLabelKey(preset.wpp), QStringLiteral("priordef"));

    const std::pair<int, const char*> labels[] = {
        {0, "priordef"},  {1, "priorlow"},   {6, "priorlow"},  {7, "priornrm"},
        {10, "priornrm"}, {11, "priorhigh"}, {15, "priorhigh"}};
    for (const auto& [priority, key] : labels)
        EXPECT_EQ(priorityLabelKey(priority), QLatin1String(key)) << priority;
}

TEST(PresetEditorRules, DictionaryListFollowsTheFormat) {
    const QStringList rar4 = dictionaryChoices(false, QStringLiteral("Auto"));
    const QStringList rar5 = dictionaryChoices(true, QStringLiteral("Automatisch"));
    EXPECT_EQ(rar4.size(), 8);
    EXPECT_EQ(rar4.mid(1, 1), QStringList{QStringLiteral("64k")});
    EXPECT_EQ(rar4.last(), QStringLiteral("4m"));
    EXPECT_EQ(rar5.size(), 15);
    EXPECT_EQ(rar5.first(), QStringLiteral("Automatisch"));
    EXPECT_EQ(rar5.last(), QStringLiteral("1g"));
    EXPECT_EQ(maskForArchiveName(QStringLiteral("data")), QStringLiteral("*data*.*"));
}

TEST(PresetEditorRules, NewPresetNamesThatWouldLeaveTheFolderOrOverwriteAreRefused) {
    const QStringList existing{QStringLiteral("Docs"), QStringLiteral("Photos")};
    const std::pair<const char*, const char*> cases[] = {
        {"Mail", ""},
        {"docs", "presetnameexists"},
        {"PHOTOS", "presetnameexists"},
        {"a/b", "presetnameinvalid"},
        {"a\\b", "presetnameinvalid"},
        {"..", "presetnameinvalid"},
        {"x..y", "presetnameinvalid"},
        {".hidden", "presetnameinvalid"},
        {"tab\there", "presetnameinvalid"},
        {"what?", "presetnameinvalid"},
        {"Backup 2016", ""},
        {"Überweisungen", ""},
    };
    for (const auto& [name, key] : cases)
        EXPECT_EQ(newPresetNameRefusal(QString::fromUtf8(name), existing), QLatin1String(key))
            << name;
}

TEST(PresetEditorRules, DroppedFoldersAndNeighbourReduction) {
    // Without the only-files box a path is added once, whatever its case.
    QStringList lines{QStringLiteral("/data/Docs")};
    dropOnIncludeList(lines, QStringLiteral("/data/docs"), true, false);
    EXPECT_EQ(lines, QStringList{QStringLiteral("/data/Docs")});

    // With it, a folder becomes its files even when that line is in the list; only a
    // neighbour of the same text is reduced away.
    lines = {QStringLiteral("/data/Docs/*.*"), QStringLiteral("/other")};
    dropOnIncludeList(lines, QStringLiteral("/data/Docs"), true, true);
    collapseEqualNeighbours(lines);
    EXPECT_EQ(lines, (QStringList{QStringLiteral("/data/Docs/*.*"), QStringLiteral("/other"),
                                  QStringLiteral("/data/Docs/*.*")}));
    lines = {QStringLiteral("/other"), QStringLiteral("/data/docs/*.*")};
    dropOnIncludeList(lines, QStringLiteral("/data/Docs"), true, true);
    collapseEqualNeighbours(lines);
    EXPECT_EQ(lines, (QStringList{QStringLiteral("/other"), QStringLiteral("/data/docs/*.*")}));

    // Files and folders that end in "/" are taken as they are.
    EXPECT_EQ(includeLineForPath(QStringLiteral("/a/file.txt"), false, true),
              QStringLiteral("/a/file.txt"));
    EXPECT_EQ(includeLineForPath(QStringLiteral("/a/"), true, true), QStringLiteral("/a/"));

    QStringList runs{"a", "A", "a", "b", "a", "B", "b"};
    collapseEqualNeighbours(runs);
    EXPECT_EQ(runs, (QStringList{"a", "b", "a", "B"}));
}

TEST(PresetEditorRules, AttributeSwitchAndBoxes) {
    const std::pair<AttributeBoxes, const char*> cases[] = {
        {{}, ""},
        {{true, false, false, false}, "-eA"},
        {{false, true, true, false}, "-eRH"},
        {{true, true, true, true}, "-eARHS"},
        {{false, false, false, true}, "-eS"},
    };
    for (const auto& [boxes, text] : cases) {
        EXPECT_EQ(attributeSwitch(boxes), QLatin1String(text));
        EXPECT_EQ(attributeBoxes(QLatin1String(text)), boxes) << text;
    }
    // Letters in another order or case, as typed into an older file, still tick the boxes.
    EXPECT_EQ(attributeBoxes(QStringLiteral("-eSa")), (AttributeBoxes{true, false, false, true}));
}

} // namespace
} // namespace stowline::ui
