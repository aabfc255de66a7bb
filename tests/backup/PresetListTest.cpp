#include "backup/PresetList.h"
#include "core/Clock.h"
#include "core/EventLog.h"
#include "core/MessageTable.h"
#include "core/OptionFields.h"
#include "core/Options.h"
#include "platform/fakes/RecordingPrompts.h"
#include "platform/fakes/RecordingSoundPlayer.h"

#include "ControlCharacterNames.h"
#include "TestFolders.h"

#include <QDir>
#include <QMap>

#include <gtest/gtest.h>

namespace stowline::backup {
namespace {

using testing::readBytes;
using testing::TestFolders;
using testing::writeBytes;

const QStringList kAllExtensions = {".pst", ".inc", ".exc", ".flt", ".not", ".cmt",
                                    ".bmp", ".hst", ".lgc", ".lgf", ".lgs"};

class PresetListTest : public ::testing::Test {
protected:
    PresetListTest() {
        core::SetOptionDefaults(options, {dirs.folders.program, dirs.folders.data, {}});
    }

    // Writes the given side files of `name`, each holding a line that names it.
    void makePreset(const QString& name, const QStringList& extensions = {".pst", ".inc", ".exc"}) {
        for (const QString& extension : extensions)
            writeBytes(dirs.preset(name + extension), (name + extension + "\r\n").toUtf8());
    }

    // Every file of the presets folder with its content.
    QMap<QString, QByteArray> folderSnapshot() const {
        QMap<QString, QByteArray> files;
        for (const QString& file : QDir(dirs.folders.presets).entryList(QDir::Files))
            files.insert(file, readBytes(dirs.preset(file)));
        return files;
    }

    QStringList listed() const { return list.model().presetNames(); }
    const QStringList& logLines() { return log.model().lines(); }
    bool logEndsWith(const QString& message) {
        return !logLines().isEmpty() && logLines().last().endsWith("] " + message);
    }

    TestFolders dirs;
    core::topt options;
    core::MessageTable messages;
    core::ManualClock clock{QDateTime(QDate(2016, 3, 20), QTime(23, 0))};
    core::ProgramFlags flags;
    platform::RecordingSoundPlayer sound;
    platform::RecordingPrompts prompts;
    core::EventLog log{dirs.folders, flags, options, messages, clock, sound};
    PresetList list{dirs.folders, options, messages, log, prompts};
};

TEST_F(PresetListTest, ListsOnlyCompletePresets) {
    makePreset("Docs");
    makePreset("Mail", {".pst", ".inc"});
    makePreset("Photos", {".inc", ".exc"});
    makePreset("Upper", {".PST", ".inc", ".exc"});
    makePreset(".hidden");
    makePreset("", {".pst", ".inc", ".exc"});
    ASSERT_TRUE(QDir().mkpath(dirs.preset("Folder.pst")));
    makePreset("Folder", {".inc", ".exc"});
    list.ScanPresets();
    EXPECT_EQ(listed(), QStringList({".hidden", "Docs"}));
}

TEST_F(PresetListTest, PictureIsTheOwnThenTheDefaultThenNone) {
    makePreset("Docs", {".pst", ".inc", ".exc", ".bmp"});
    makePreset("Mail");
    list.ScanPresets();
    const auto picture = [&](int row) {
        return list.model().index(row, 0).data(PresetListModel::PicturePathRole);
    };
    EXPECT_EQ(picture(0).toString(), dirs.preset("Docs.bmp"));
    EXPECT_FALSE(picture(1).isValid());

    writeBytes(dirs.folders.program + "/defpres.bmp", "BM");
    list.ScanPresets();
    EXPECT_EQ(picture(1).toString(), dirs.folders.program + "/defpres.bmp");
}

TEST_F(PresetListTest, SortFollowsTheColumnOptions) {
    for (const char* name : {"Gamma", "Alpha", "Beta"})
        makePreset(name);
    // The scheduler fills the run texts when the list was rebuilt, before it is sorted.
    QObject::connect(&list, &PresetList::listRebuilt, [&] {
        PresetListModel& model = list.model();
        model.setLastRunText(model.findPreset("Alpha"), "2016.03.02 10:00:00 ");
        model.setLastRunText(model.findPreset("Gamma"), "2016.03.02 10:00:00 ");
        model.setLastRunText(model.findPreset("Beta"), "2016.03.01 00:00:00");
    });
    const struct {
        int column;
        bool ascending;
        QStringList order;
    } cases[] = {
        {0, true, {"Alpha", "Beta", "Gamma"}},
        {0, false, {"Gamma", "Beta", "Alpha"}},
        {2, true, {"Beta", "Alpha", "Gamma"}},
        // Equal texts stay ordered by name ascending, whatever the direction.
        {2, false, {"Alpha", "Gamma", "Beta"}},
        // Every next-run text is empty: the names decide.
        {1, false, {"Alpha", "Beta", "Gamma"}},
    };
    for (const auto& c : cases) {
        options.lvc = c.column;
        options.lt1 = options.lt2 = options.lt3 = c.ascending;
        list.ScanPresets();
        EXPECT_EQ(listed(), c.order) << c.column << c.ascending;
    }

    // A click on a heading turns its direction round and sorts by it; the names order
    // the equal texts even when the rows came in the other order.
    list.model().sort(0, Qt::DescendingOrder);
    options.lvc = 0;
    options.lt1 = true;
    options.lt3 = true;
    list.model().sortByHeaderClick(2, options);
    EXPECT_EQ(options.lvc, 2);
    EXPECT_FALSE(options.lt3);
    EXPECT_EQ(listed(), QStringList({"Alpha", "Gamma", "Beta"}));
    EXPECT_EQ(list.model().index(2, 2).data().toString(), "2016.03.01 00:00:00");
}

TEST_F(PresetListTest, SelectionFollowsItsPresetThroughSortsAndRebuilds) {
    makePreset("Docs");
    makePreset("Mail");
    list.ScanPresets();
    QStringList changes;
    QObject::connect(&list.model(), &PresetListModel::selectionChanged,
                     [&](const QString& name) { changes << name; });

    EXPECT_FALSE(list.model().select("docs"));
    EXPECT_TRUE(list.model().select("docs", Qt::CaseInsensitive));
    EXPECT_EQ(list.model().selectedPreset(), "Docs");
    EXPECT_EQ(list.model().selectedRow(), 0);
    list.model().sort(0, Qt::DescendingOrder);
    EXPECT_EQ(list.model().selectedRow(), 1);

    makePreset("Archive");
    list.ScanPresets();
    EXPECT_EQ(list.model().selectedPreset(), "Docs");
    QFile::remove(dirs.preset("Docs.exc"));
    list.ScanPresets();
    EXPECT_EQ(list.model().selectedPreset(), "");
    EXPECT_EQ(list.model().selectedRow(), -1);
    EXPECT_EQ(changes, QStringList({"Docs", ""}));
}

TEST_F(PresetListTest, DuplicateCopiesTheSideFilesButNotTheCleanerHistories) {
    makePreset("Docs", kAllExtensions);
    // Notes with LF line ends and a byte that is not UTF-8 are copied as lines, unchanged.
    writeBytes(dirs.preset("Docs.not"), "first\nsecond \xe9t\xe9\n");
    list.ScanPresets();
    ASSERT_TRUE(list.model().select("Docs"));
    prompts.textAnswers = {"", "Docs2"};
    list.DuplicatePreset();

    EXPECT_EQ(prompts.questions, QStringList(2, "SWL - Duplicate preset"));
    for (const QString& extension : kAllExtensions) {
        const bool copied = !extension.startsWith(".lg");
        EXPECT_EQ(QFile::exists(dirs.preset("Docs2" + extension)), copied)
            << extension.toStdString();
        if (copied && extension != ".not") {
            EXPECT_EQ(readBytes(dirs.preset("Docs2" + extension)),
                      readBytes(dirs.preset("Docs" + extension)));
        }
    }
    EXPECT_EQ(readBytes(dirs.preset("Docs2.not")), "first\r\nsecond \xe9t\xe9\r\n");
    EXPECT_EQ(listed(), QStringList({"Docs", "Docs2"}));
    EXPECT_EQ(list.model().selectedPreset(), "Docs");
}

TEST_F(PresetListTest, RenameMovesAllElevenSideFiles) {
    makePreset("Docs", kAllExtensions);
    const QMap<QString, QByteArray> before = folderSnapshot();
    list.ScanPresets();
    ASSERT_TRUE(list.model().select("Docs"));
    prompts.textAnswers = {"Weekly docs"};
    list.RenamePreset();

    const QMap<QString, QByteArray> after = folderSnapshot();
    ASSERT_EQ(after.size(), 11);
    for (const QString& extension : kAllExtensions)
        EXPECT_EQ(after.value("Weekly docs" + extension), before.value("Docs" + extension))
            << extension.toStdString();
    EXPECT_EQ(listed(), QStringList({"Weekly docs"}));
    EXPECT_TRUE(logLines().isEmpty());
}

TEST_F(PresetListTest, NameInUseOrInvalidIsRefusedAndNothingChanges) {
    makePreset("Docs", kAllExtensions);
    makePreset("Mail");
    makePreset("Notes", {".lgc"}); // not listed, but its history would be overwritten
    list.ScanPresets();
    const QMap<QString, QByteArray> before = folderSnapshot();
    const QString cantRename = "Unable to rename the preset. Invalid filename? [!]";
    const QString cantDuplicate = "Unable to duplicate the preset. Invalid filename? [!]";
    const struct {
        bool (PresetList::*operation)(const QString&, const QString&);
        const char* newName;
        QString message;
    } cases[] = {
        {&PresetList::renamePresetAs, "Mail", cantRename},
        {&PresetList::renamePresetAs, "Notes", cantRename},
        {&PresetList::renamePresetAs, "sub/Docs", cantRename},
        {&PresetList::renamePresetAs, "..", cantRename},
        {&PresetList::renamePresetAs, kNewPresetMarker, cantRename},
        {&PresetList::duplicatePresetAs, "Mail", cantDuplicate},
        {&PresetList::duplicatePresetAs, "Docs", cantDuplicate},
        {&PresetList::duplicatePresetAs, "Notes", cantDuplicate},
        {&PresetList::duplicatePresetAs, "a:b", cantDuplicate},
        {&PresetList::duplicatePresetAs, "line\nbreak", cantDuplicate},
        {&PresetList::renamePresetAs, "tab\there", cantRename},
        {&PresetList::renamePresetAs, "next\xc2\x85line", cantRename}, // U+0085
    };
    for (const auto& c : cases) {
        EXPECT_FALSE((list.*c.operation)("Docs", c.newName)) << c.newName;
        EXPECT_TRUE(logEndsWith(c.message)) << c.newName;
        EXPECT_EQ(folderSnapshot(), before) << c.newName;
    }
    EXPECT_EQ(listed(), QStringList({"Docs", "Mail"}));
    // Renaming onto its own name changes nothing and is no error.
    EXPECT_TRUE(list.renamePresetAs("Docs", "Docs"));
    EXPECT_EQ(logLines().size(), int(std::size(cases)));
}

TEST_F(PresetListTest, NamesWithControlCharactersAreNeitherGivenNorListed) {
    makePreset("Docs");
    list.ScanPresets();
    const QMap<QString, QByteArray> before = folderSnapshot();
    for (const QString& name : stowline::testing::namesWithControlCharacters()) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_FALSE(PresetList::isValidPresetName(name));
        EXPECT_FALSE(list.renamePresetAs("Docs", name));
        EXPECT_TRUE(logEndsWith("Unable to rename the preset. Invalid filename? [!]"));
        EXPECT_FALSE(list.duplicatePresetAs("Docs", name));
        EXPECT_TRUE(logEndsWith("Unable to duplicate the preset. Invalid filename? [!]"));
        EXPECT_EQ(folderSnapshot(), before);
    }

    // Files made by other means: the preset is left out of the list, and the log says
    // why on one line.
    makePreset("A\nB");
    makePreset(QStringLiteral("C\u2028D"));
    list.ScanPresets();
    EXPECT_EQ(listed(), QStringList({"Docs"}));
    const QStringList last = logLines().mid(logLines().size() - 2);
    EXPECT_TRUE(
        last.filter("The name \"A<U+000A>B\" holds a control character; refused. [!]").size() == 1)
        << last.join('|').toStdString();
    EXPECT_TRUE(last.filter("C<U+2028>D").size() == 1);
}

TEST_F(PresetListTest, DeleteAsksThenRemovesEverySideFile) {
    makePreset("Docs", kAllExtensions);
    makePreset("docs");
    list.ScanPresets();
    QStringList deleted;
    QObject::connect(&list, &PresetList::presetDeleted,
                     [&](const QString& name) { deleted << name; });
    ASSERT_TRUE(list.model().select("Docs"));

    prompts.yesNoAnswers = {false};
    list.DeletePreset();
    EXPECT_EQ(prompts.questions, QStringList{"\nThis preset will be deleted. Proceed?"});
    EXPECT_EQ(folderSnapshot().size(), 14);

    prompts.yesNoAnswers = {true};
    list.DeletePreset();
    EXPECT_EQ(folderSnapshot().keys(), QStringList({"docs.exc", "docs.inc", "docs.pst"}));
    EXPECT_EQ(deleted, QStringList{"Docs"});
    EXPECT_EQ(listed(), QStringList{"docs"});
}

TEST_F(PresetListTest, CommandsNeedASelectedPreset) {
    makePreset("Docs");
    list.ScanPresets();
    prompts.textAnswers = {"Docs2"};
    prompts.yesNoAnswers = {true};
    list.DuplicatePreset();
    list.RenamePreset();
    list.DeletePreset();
    EXPECT_TRUE(prompts.questions.isEmpty());
    EXPECT_EQ(folderSnapshot().size(), 3);
}

TEST_F(PresetListTest, AdminPasswordGuardsEveryCommand) {
    options.spm = true;
    options.sgp = "Secret";
    makePreset("Docs");
    list.ScanPresets();
    ASSERT_TRUE(list.model().select("Docs"));
    const QMap<QString, QByteArray> before = folderSnapshot();

    // Cancelled: dropped silently. Wrong letter case: an error box, and dropped.
    for (const QStringList& answers : {QStringList(), QStringList{"secret", "Docs2"}}) {
        prompts.textAnswers = answers;
        prompts.yesNoAnswers = {true};
        EXPECT_FALSE(list.NewPreset());
        prompts.textAnswers = answers;
        list.DuplicatePreset();
        prompts.textAnswers = answers;
        list.RenamePreset();
        prompts.textAnswers = answers;
        list.DeletePreset();
        EXPECT_EQ(folderSnapshot(), before);
    }
    EXPECT_EQ(prompts.errors, QStringList(4, "\nIncorrect password."));
    EXPECT_TRUE(prompts.questions.contains("Enter admin password"));
    EXPECT_FALSE(prompts.questions.contains("SWL - Duplicate preset"));

    prompts.textAnswers = {"Secret"};
    EXPECT_TRUE(list.NewPreset());
    prompts.textAnswers = {"Secret", "Docs2"};
    list.DuplicatePreset();
    prompts.textAnswers = {"Secret", "Docs3"};
    list.RenamePreset();
    EXPECT_EQ(listed(), QStringList({"Docs2", "Docs3"}));
    ASSERT_TRUE(list.model().select("Docs3"));
    prompts.yesNoAnswers = {true};
    prompts.textAnswers = {"Secret"};
    list.DeletePreset();
    EXPECT_EQ(listed(), QStringList{"Docs2"});
    EXPECT_EQ(prompts.errors.size(), 4);
}

} // namespace
} // namespace stowline::backup
