#include "backup/WinRarCommandLine.h"
#include "backup/PresetFields.h"
#include "core/EnvironmentText.h"
#include "platform/CommandLineSplit.h"

#include "TestFolders.h"

#include <gtest/gtest.h>

namespace stowline::backup {
namespace {

using testing::TestFolders;
using testing::writeBytes;

class WinRarCommandLineTest : public ::testing::Test {
protected:
    WinRarCommandLineTest() {
        SetPresetDefaults(docs);
        docs.nam = "docs";
    }

    QString switches(const tarcopt& preset) const {
        return BuildWinRarSwitches(preset, "Docs", dirs.folders);
    }

    QString parameters(const tarcopt& preset, const QString& targetFolder) const {
        return BuildWinRarParameters(switches(preset), "Docs", targetFolder,
                                     core::ExpandEnvironmentText(preset.nam), dirs.folders);
    }

    // The error-log switch that every command line carries, with its blank.
    QString logSwitch() const { return " \"-ILOG" + dirs.folders.data + "/winrar.log\""; }

    TestFolders dirs;
    QString workFolder = dirs.root.path() + "/tmp/QWERTYUI";
    tarcopt docs;
};

TEST_F(WinRarCommandLineTest, DefaultPresetGivesTheFirstWorkedExample) {
    const QString data = dirs.folders.data;
    EXPECT_EQ(parameters(docs, workFolder),
              " a  -CFG- -ag-YYMMDDHHMMSS -v -m0 -ep1 -s -dh -r -INUL \"-ILOG" + data +
                  "/winrar.log\" \"-x@" + data + "/presets/Docs.exc\" \"" + workFolder +
                  "/docs\" \"@" + data + "/presets/Docs.inc\"");
}

TEST_F(WinRarCommandLineTest, DirectArchivingPresetGivesTheSecondWorkedExample) {
    const QString data = dirs.folders.data;
    writeBytes(dirs.preset("Docs.cmt"), "Docs of the week\r\n");
    writeBytes(dirs.preset("Docs.flt"), "*.odt\r\n");
    writeBytes(data + "/debug.flg", "");
    docs.dra = true;
    docs.drm = 3;
    docs.dir = "/mnt/backup";
    docs.irp = false;
    docs.dtf = "";
    docs.vol = "100m";
    docs.cmp = 5;
    docs.ra5 = true;
    docs.dic = 5;
    docs.fld = 0;
    docs.lck = true;
    docs.arr = true;
    docs.rrp = 3;
    docs.efl = true;
    docs.wpc = true;
    docs.wpp = 8;
    docs.wps = 10;
    docs.swt = "-os";
    docs.efa = "-eHS";
    EXPECT_EQ(parameters(docs, core::ExpandEnvironmentText(docs.dir)),
              " a  -v100m -u -as -m5 -ma5 -md1024k -ep -k -s -dh -r -vd -rr3% \"-z" + data +
                  "/presets/Docs.cmt\" -ri8:10 \"-ILOG" + data + "/winrar.log\" -os -eHS \"-n@" +
                  data + "/presets/Docs.flt\" \"-x@" + data + "/presets/Docs.exc\" " +
                  "\"/mnt/backup/docs\" \"@" + data + "/presets/Docs.inc\"");
}

TEST_F(WinRarCommandLineTest, EachSwitchTakesItsPlaceAndForm) {
    // A preset that adds only " -m0" and the log switches; each case sets a few fields,
    // written as stored lines ("key value").
    tarcopt bare = docs;
    bare.irp = bare.sld = bare.osf = bare.rsf = false;
    bare.dtf = "";
    bare.vol = "None";
    bare.fld = 9;
    const struct {
        QStringList fields;
        QString switches; // before the log switch
    } cases[] = {
        {{}, " -m0 -INUL"},
        {{"vol "}, " -m0 -INUL"},
        {{"vol Auto"}, " -v -m0 -INUL"},
        {{"vol auto"}, " -vauto -m0 -INUL"},
        {{"dtf -YYYYMMDD"}, " -ag-YYYYMMDD -m0 -INUL"},
        {{"dic 7"}, " -m0 -md4096k -INUL"},
        {{"dic 5", "di5 8192k"}, " -m0 -md8192k -INUL"},
        {{"dic 5", "di5 0"}, " -m0 -INUL"},
        {{"dic 5", "di5 k64"}, " -m0 -INUL"},
        {{"fmt 1"}, " -afzip -m0 -INUL"},
        {{"fmt 2", "cmp 3"}, " -sfx -m3 -INUL"},
        {{"fld 3"}, " -m0 -ep3 -INUL"},
        {{"drm 2"}, " -m0 -INUL"},
        {{"dra 1", "drm 2"}, " -f -as -m0 -INUL"},
        {{"dra 1", "drm 4"}, " -f -m0 -INUL"},
        {{"del 1"}, " -m0 -df -df -INUL"},
        {{"del 1", "wip 1"}, " -m0 -df -dw -INUL"},
        {{"wip 1"}, " -m0 -dw -INUL"},
        {{"efl 1"}, " -m0 -INUL"},
        {{"efl 1", "dra 1"}, " -m0 -vd -INUL"},
        {{"pas 1"}, " -m0 -INUL"},
        {{"pwd secret"}, " -m0 -INUL"},
        {{"pas 1", "pwd my secret", "fld 1"}, " -m0 -ep1 \"-hpmy secret\" -INUL"},
        {{"lck 1", "bkg 1", "tst 1"}, " -m0 -k -ibck -t -INUL"},
        {{"arr 1", "aut 1"}, " -m0 -rr1% -AV -INUL"},
        {{"hid 1"}, " -m0 -INUL"},
    };
    for (const auto& c : cases) {
        tarcopt preset = bare;
        for (const QString& field : c.fields)
            assignPresetValue(preset, *findPresetField(field.left(3)), field.mid(4));
        EXPECT_EQ(switches(preset), c.switches + logSwitch()) << c.fields.join(", ").toStdString();
    }
}

TEST_F(WinRarCommandLineTest, DebugFlagFileLetsTheArchiverSpeak) {
    EXPECT_TRUE(switches(docs).contains(" -INUL "));
    writeBytes(dirs.folders.data + "/debug.flg", "");
    EXPECT_FALSE(switches(docs).contains("-INUL"));
}

TEST_F(WinRarCommandLineTest, TrailingSeparatorOfTheTargetIsKept) {
    EXPECT_TRUE(parameters(docs, "/mnt/backup/").contains(" \"/mnt/backup//docs\" "));
}

TEST_F(WinRarCommandLineTest, SplitsIntoTheArgumentsTheArchiverNeeds) {
    // Folders with blanks and a password holding quotes and backslashes must reach the
    // archiver as single, unchanged arguments.
    TestFolders spaced(true);
    docs.pas = true;
    docs.pwd = R"(pa"ss \"wo rd\)";
    docs.nam = "%STOWLINE_TEST_NAME% docs";
    ::setenv("STOWLINE_TEST_NAME", "weekly", 1);
    writeBytes(spaced.preset("Docs.cmt"), "comment\r\n");
    const QString target = spaced.root.path() + "/tmp dir/QWERTYUI";
    const QString line =
        BuildWinRarParameters(BuildWinRarSwitches(docs, "Docs", spaced.folders), "Docs", target,
                              core::ExpandEnvironmentText(docs.nam), spaced.folders);
    ::unsetenv("STOWLINE_TEST_NAME");
    const QString presets = spaced.folders.presets;
    EXPECT_EQ(
        platform::SplitCommandLine(line),
        QStringList({"a", "-CFG-", "-ag-YYMMDDHHMMSS", "-v", "-m0", "-ep1", R"(-hppa"ss \"wo rd\)",
                     "-s", "-dh", "-r", "-z" + presets + "/Docs.cmt", "-INUL",
                     "-ILOG" + spaced.folders.data + "/winrar.log", "-x@" + presets + "/Docs.exc",
                     target + "/weekly docs", "@" + presets + "/Docs.inc"}));
}

} // namespace
} // namespace stowline::backup
