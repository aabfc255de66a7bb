#include "ui/preseteditor/PresetEditor.h"

#include "backup/PresetFields.h"
#include "backup/PresetFiles.h"
#include "backup/PresetList.h"
#include "core/Clock.h"
#include "core/MessageTable.h"
#include "core/ProgramState.h"
#include "core/TextFiles.h"
#include "platform/fakes/RecordingProcessLauncher.h"
#include "platform/fakes/RecordingPrompts.h"
#include "ui/preseteditor/AddFoldersForm.h"
#include "ui/preseteditor/EditorPages.h"
#include "ui/preseteditor/FilterDialog.h"
#include "ui/preseteditor/PresetFieldBinding.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <memory>

namespace stowline::ui {
namespace {

using backup::tarcopt;

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A program folder and a data folder with its presets folder, the preset store on
// them, and an editor made on request.
class PresetEditorTest : public ::testing::Test {
public:
    PresetEditorTest() {
        folders.program = root.path() + QStringLiteral("/program");
        folders.data = root.path() + QStringLiteral("/data");
        folders.presets = folders.data + QStringLiteral("/presets");
        QDir().mkpath(folders.program);
        QDir().mkpath(folders.presets);
    }

    PresetEditor& open(const QString& name, bool expectOpened = true) {
        editor_ = std::make_unique<PresetEditor>(
            PresetEditorServices{folders, messages, flags, prompts, launcher, store,
                                 [this] { return presetNames; }, [this] { ++listRebuilt; },
                                 [this] {
                                     return ui::DiscRecording{discAvailable, recorders};
                                 },
                                 [this](const QString& topic) { helpTopics << topic; },
                                 folders.program, language},
            name);
        EXPECT_EQ(editor_->load(), expectOpened);
        editor_->show();
        return *editor_;
    }
    PresetEditor& openNew() { return open(QString::fromLatin1(backup::kNewPresetMarker)); }

    template <typename Widget> Widget& control(const char* name) {
        auto* widget = editor_->findChild<Widget*>(QLatin1String(name));
        EXPECT_TRUE(widget) << name;
        return *widget;
    }

    QString presetFile(const QString& name, const char* extension) const {
        return store.presetFilePath(name, QLatin1String(extension));
    }

    static tarcopt defaults() {
        tarcopt preset;
        backup::SetPresetDefaults(preset);
        return preset;
    }

    QTemporaryDir root;
    core::Folders folders;
    core::MessageTable messages;
    core::ManualClock clock{QDateTime(QDate(2016, 3, 8), QTime(8, 0))};
    core::ProgramFlags flags;
    platform::RecordingPrompts prompts;
    platform::RecordingProcessLauncher launcher;
    backup::PresetStore store{folders, messages, clock, prompts};
    QStringList presetNames;
    int listRebuilt = 0;
    bool discAvailable = true;
    QStringList recorders;
    QStringList helpTopics;
    QString language = QStringLiteral("English (default).lng");
    std::unique_ptr<PresetEditor> editor_;
};

TEST_F(PresetEditorTest, EveryBoundFieldHasItsControl) {
    openNew();
    QStringList bound;
    for (const FieldControl& binding : presetFieldControls()) {
        QWidget* widget = editor_->findChild<QWidget*>(QLatin1String(binding.control));
        ASSERT_TRUE(widget) << binding.control;
        const char* expected = nullptr;
        switch (binding.kind) {
        case ControlKind::Text:
            expected = "QLineEdit";
            break;
        case ControlKind::Check:
            expected = "QCheckBox";
            break;
        case ControlKind::ListIndex:
        case ControlKind::ListText:
            expected = "QComboBox";
            break;
        case ControlKind::Number:
            expected = "QSpinBox";
            break;
        case ControlKind::Slider:
            expected = "QSlider";
            break;
        case ControlKind::Choice:
            expected = "QGroupBox";
            break;
        }
        EXPECT_TRUE(widget->inherits(expected)) << binding.control;
        bound << QLatin1String(binding.key);
    }
    // Every key a preset file holds is on a control, except the filter dialog's efa.
    for (const char* key : backup::presetFileKeyOrder())
        EXPECT_TRUE(bound.contains(QLatin1String(key)) || QLatin1String(key) == "efa") << key;
}

// Values that differ from the defaults in every field a preset file holds, within what
// the controls offer.
tarcopt unusualPreset() {
    tarcopt p;
    backup::SetPresetDefaults(p);
    const tarcopt defaults = p;
    for (const backup::PresetField& field : backup::presetFields()) {
        std::visit(
            [&](auto member) {
                using Value = std::remove_cvref_t<decltype(p.*member)>;
                if constexpr (std::is_same_v<Value, bool>)
                    p.*member = !(p.*member);
                else if constexpr (std::is_same_v<Value, QString>)
                    p.*member = QStringLiteral("%1 wert ü ").arg(QLatin1String(field.key));
            },
            field.member);
    }
    // Read from older files only and never written: they load as their defaults.
    p.sfx = defaults.sfx;
    p.aut = defaults.aut;
    p.fpo = defaults.fpo;
    p.cie = defaults.cie;
    p.vol = QStringLiteral("700m");
    p.fmt = 2;
    p.cmp = 5;
    p.drm = 4;
    p.dic = 7;
    p.fld = 3;
    p.fss = 2;
    p.sss = 2;
    p.csp = 24;
    p.cdb = 32;
    p.wpp = 12;
    p.wps = 5;
    p.rrp = 3;
    p.ccm = 1;
    p.ccv = 7;
    p.scm = 1;
    p.scv = 4;
    p.fcm = 1;
    p.fcv = 9;
    p.efa = QStringLiteral("-eRS");
    p.pwd = QStringLiteral("geheim");
    // The copy cleaner refuses direct archiving: the second case swaps them.
    p.cco = false;
    return p;
}

TEST_F(PresetEditorTest, OpeningAndConfirmingLeavesEveryFileByteIdentical) {
    tarcopt cleaner = unusualPreset();
    cleaner.cco = true;
    cleaner.dra = false;
    cleaner.ra5 = false; // a different dictionary list
    const std::pair<const char*, tarcopt> cases[] = {
        {"direct archiving", unusualPreset()},
        {"copy cleaner", cleaner},
    };
    const QStringList include{QStringLiteral("/home/jörg/Документы"), QStringLiteral("/srv/日本")};
    const QStringList exclude{QStringLiteral("*.tmp"), QStringLiteral("/home/jörg/Ä")};
    const QStringList notes{QStringLiteral("Grüße"), QString(), QStringLiteral("καλημέρα")};
    const QStringList comment{QStringLiteral("Kommentar ß")};
    for (const auto& [what, preset] : cases) {
        ASSERT_TRUE(
            store.SavePreset(QStringLiteral("Docs"), preset, include, exclude, notes, comment));
        QList<QByteArray> before;
        for (const char* extension : {".pst", ".inc", ".exc", ".not", ".cmt"})
            before << fileBytes(presetFile(QStringLiteral("Docs"), extension));
        prompts.textAnswers = {preset.pwd};
        PresetEditor& editor = open(QStringLiteral("Docs"));
        const tarcopt shown = editor.shownPreset();
        for (const backup::PresetField& field : backup::presetFields())
            EXPECT_EQ(backup::presetValueText(shown, field), backup::presetValueText(preset, field))
                << what << " " << field.key;
        ASSERT_TRUE(editor.confirm()) << what << prompts.errors.join(' ').toStdString();
        int i = 0;
        for (const char* extension : {".pst", ".inc", ".exc", ".not", ".cmt"})
            EXPECT_EQ(fileBytes(presetFile(QStringLiteral("Docs"), extension)), before[i++])
                << what << extension;
    }
    EXPECT_TRUE(prompts.errors.isEmpty());
}

TEST_F(PresetEditorTest, FailedChecksShowTheirMessageAndKeepTheEntries) {
    struct Case {
        const char* what;
        std::function<void(PresetEditorTest&)> enter;
        const char* key;
    };
    const Case cases[] = {
        {"no name", [](PresetEditorTest&) {}, "specpreset"},
        {"cleaner in direct archiving, before the name",
         [](PresetEditorTest& t) {
             t.control<QCheckBox>("ccopycleaner").setChecked(true);
             t.control<QCheckBox>("cdirectraring").setChecked(true);
         },
         "noclnrwithdirectraring"},
        {"FTP without server",
         [](PresetEditorTest& t) {
             t.control<QLineEdit>("epresetname").setText(QStringLiteral("Docs"));
             t.control<QCheckBox>("cftptask").setChecked(true);
         },
         "specftp"},
        {"no include lines",
         [](PresetEditorTest& t) {
             t.control<QLineEdit>("epresetname").setText(QStringLiteral("Docs"));
             t.control<QLineEdit>("earchivename").setText(QStringLiteral("docs"));
         },
         "addatleastsomething"},
    };
    for (const Case& c : cases) {
        prompts.errors.clear();
        PresetEditor& editor = openNew();
        c.enter(*this);
        EXPECT_FALSE(editor.confirm()) << c.what;
        EXPECT_EQ(prompts.errors, QStringList{"\n" + messages.text(QString::fromLatin1(c.key))})
            << c.what;
        EXPECT_TRUE(editor.isVisible()) << c.what;
        EXPECT_FALSE(QFile::exists(presetFile(QStringLiteral("Docs"), ".pst"))) << c.what;
    }
}

TEST_F(PresetEditorTest, NewPresetIsSavedOnlyUnderAFreshSafeName) {
    presetNames = {QStringLiteral("Docs")};
    const std::pair<const char*, const char*> refused[] = {
        {"docs", "presetnameexists"},
        {"../outside", "presetnameinvalid"},
        {".hidden", "presetnameinvalid"},
    };
    for (const auto& [name, key] : refused) {
        prompts.errors.clear();
        PresetEditor& editor = openNew();
        control<QLineEdit>("epresetname").setText(QString::fromLatin1(name));
        control<QLineEdit>("earchivename").setText(QStringLiteral("docs"));
        editor.setIncludeLines({QStringLiteral("/home")});
        EXPECT_FALSE(editor.confirm()) << name;
        EXPECT_EQ(prompts.errors, QStringList{"\n" + messages.text(QString::fromLatin1(key))})
            << name;
    }
    EXPECT_EQ(QDir(folders.presets).entryList(QDir::Files | QDir::Hidden), QStringList());
    EXPECT_EQ(QDir(folders.data).entryList(QDir::Files | QDir::Hidden), QStringList());

    PresetEditor& editor = openNew();
    control<QLineEdit>("epresetname").setText(QStringLiteral("Mail"));
    control<QLineEdit>("earchivename").setText(QStringLiteral("mail"));
    editor.setIncludeLines({QStringLiteral("/home")});
    EXPECT_TRUE(editor.confirm());
    EXPECT_EQ(prompts.messages.last(), "\n" + messages.text(u"presetwasadded"));
    EXPECT_EQ(listRebuilt, 1);
    tarcopt saved;
    ASSERT_TRUE(store.LoadPreset(QStringLiteral("Mail"), saved));
    EXPECT_EQ(saved.nam, QStringLiteral("mail"));
}

TEST_F(PresetEditorTest, FailedSaveKeepsTheWindowAndTheEdits) {
    tarcopt preset = defaults();
    preset.nam = QStringLiteral("docs");
    ASSERT_TRUE(
        store.SavePreset(QStringLiteral("Docs"), preset, {QStringLiteral("/home")}, {}, {}, {}));
    PresetEditor& editor = open(QStringLiteral("Docs"));
    control<QLineEdit>("earchivename").setText(QStringLiteral("changed"));
    // The presets folder is gone and a file stands in its place: nothing can be written.
    ASSERT_TRUE(QDir(folders.presets).removeRecursively());
    core::writeTextLinesAtomically(folders.presets, {});
    EXPECT_FALSE(editor.confirm());
    EXPECT_EQ(prompts.errors, QStringList{QStringLiteral("\nSave preset error!")});
    EXPECT_TRUE(editor.isVisible());
    EXPECT_EQ(editor.result(), QDialog::Rejected);
    EXPECT_EQ(control<QLineEdit>("earchivename").text(), QStringLiteral("changed"));
}

TEST_F(PresetEditorTest, FieldDependenciesFollowTheControls) {
    openNew();
    auto& format = control<QComboBox>("eformat");
    auto& rar5 = control<QCheckBox>("crar5");
    auto& recovery = control<QCheckBox>("crecovery");
    auto& dictionary = control<QComboBox>("edictionary");
    rar5.setChecked(true);
    EXPECT_EQ(dictionary.count(), 15);
    dictionary.setCurrentIndex(5);
    recovery.setChecked(true);
    format.setCurrentIndex(kZipFormat);
    EXPECT_FALSE(rar5.isChecked() || rar5.isEnabled());
    EXPECT_FALSE(recovery.isChecked() || recovery.isEnabled());
    EXPECT_EQ(dictionary.currentIndex(), 0);
    EXPECT_EQ(dictionary.count(), 8);
    format.setCurrentIndex(0);
    EXPECT_TRUE(rar5.isEnabled() && recovery.isEnabled());
    EXPECT_FALSE(rar5.isChecked() || recovery.isChecked());

    // Direct archiving clears the deliveries on both tabs and fixes the mask.
    control<QCheckBox>("cftptask").setChecked(true);
    EXPECT_TRUE(control<QCheckBox>("cftptask2").isChecked());
    control<QCheckBox>("cdirectraring").setChecked(true);
    EXPECT_FALSE(control<QCheckBox>("cftptask").isChecked() ||
                 control<QCheckBox>("cftptask2").isEnabled());
    EXPECT_EQ(control<QLineEdit>("emask").text(), QStringLiteral("*.*"));
    EXPECT_EQ(control<QCheckBox>("cemptyfolder").text(), messages.text(u"cemptyerasedisk"));
    EXPECT_TRUE(control<QComboBox>("edirectraringmode").isEnabled());
    control<QComboBox>("edirectraringmode").setCurrentIndex(3);
    control<QCheckBox>("cdirectraring").setChecked(false);
    EXPECT_EQ(control<QComboBox>("edirectraringmode").currentIndex(), 0);
    EXPECT_FALSE(control<QComboBox>("edirectraringmode").isEnabled());

    // Priority: cleared resets the slider, ticked again shows "Default".
    control<QCheckBox>("cpriority").setChecked(true);
    control<QSlider>("epriority").setValue(12);
    EXPECT_EQ(control<QLabel>("lpriority").text(), messages.text(u"priorhigh"));
    control<QCheckBox>("cpriority").setChecked(false);
    control<QCheckBox>("cpriority").setChecked(true);
    EXPECT_EQ(control<QSlider>("epriority").value(), 0);
    EXPECT_EQ(control<QLabel>("lpriority").text(), messages.text(u"priordef"));

    // Leaving the archive name fills an empty mask.
    control<QLineEdit>("emask").clear();
    control<QLineEdit>("earchivename").setText(QStringLiteral("data"));
    emit control<QLineEdit>("earchivename").editingFinished();
    EXPECT_EQ(control<QLineEdit>("emask").text(), QStringLiteral("*data*.*"));
}

TEST_F(PresetEditorTest, DangerousBoxesAskFirst) {
    openNew();
    auto& deleteBox = control<QCheckBox>("cdelete");
    prompts.yesNoAnswers = {false};
    deleteBox.click();
    EXPECT_FALSE(deleteBox.isChecked());
    prompts.yesNoAnswers = {true};
    deleteBox.click();
    EXPECT_TRUE(deleteBox.isChecked());
    auto& ignoreBox = control<QCheckBox>("cignoreconfig");
    prompts.yesNoAnswers = {false};
    ignoreBox.click();
    EXPECT_TRUE(ignoreBox.isChecked());
    EXPECT_EQ(prompts.questions.last(), "\n" + messages.text(u"reallyallowdefaults"));

    // Encryption without a password asks for one; cancelled, the box stays clear.
    auto& encrypt = control<QCheckBox>("cencrypt");
    encrypt.click();
    EXPECT_FALSE(encrypt.isChecked());
    prompts.textAnswers = {QStringLiteral("pw")};
    encrypt.click();
    EXPECT_TRUE(encrypt.isChecked());
    EXPECT_EQ(control<QLineEdit>("epassword").text(), QStringLiteral("pw"));

    // A click on the password field asks for a new one; an empty one clears encryption.
    prompts.textAnswers = {QString()};
    QTest::mouseClick(&control<QLineEdit>("epassword"), Qt::LeftButton);
    EXPECT_EQ(prompts.questions.last(), messages.text(u"enternewpass"));
    EXPECT_FALSE(encrypt.isChecked());
    EXPECT_EQ(control<QLineEdit>("epassword").text(), QString());
}

TEST_F(PresetEditorTest, DefaultsAreSavedAndLoadedKeepingTheName) {
    tarcopt preset = defaults();
    preset.nam = QStringLiteral("docs");
    ASSERT_TRUE(
        store.SavePreset(QStringLiteral("Docs"), preset, {QStringLiteral("/home")}, {}, {}, {}));
    PresetEditor& editor = open(QStringLiteral("Docs"));
    control<QLineEdit>("earchivename").setText(QStringLiteral("edited"));
    editor.loadDefaults();
    EXPECT_EQ(prompts.messages, QStringList{"\n" + messages.text(u"firstsavethenrestore")});
    EXPECT_EQ(control<QLineEdit>("earchivename").text(), QStringLiteral("edited"));

    control<QLineEdit>("edatetime").setText(QStringLiteral("-YYMMDD"));
    prompts.yesNoAnswers = {true};
    editor.saveAsDefault();
    control<QLineEdit>("edatetime").setText(QStringLiteral("-HHMM"));
    prompts.yesNoAnswers = {true};
    editor.loadDefaults();
    EXPECT_EQ(control<QLineEdit>("edatetime").text(), QStringLiteral("-YYMMDD"));
    EXPECT_EQ(editor.presetName(), QStringLiteral("Docs"));

    // A new preset starts from the saved defaults.
    openNew();
    EXPECT_EQ(control<QLineEdit>("edatetime").text(), QStringLiteral("-YYMMDD"));
    EXPECT_EQ(control<QLineEdit>("epresetname").text(), QString());
}

TEST_F(PresetEditorTest, OpeningRefusesTheRunningPresetAndAWrongPassword) {
    tarcopt preset = defaults();
    preset.pwd = QStringLiteral("secret");
    ASSERT_TRUE(
        store.SavePreset(QStringLiteral("Docs"), preset, {QStringLiteral("/home")}, {}, {}, {}));
    PresetEditor running(PresetEditorServices{folders,
                                              messages,
                                              flags,
                                              prompts,
                                              launcher,
                                              store,
                                              {},
                                              {},
                                              {},
                                              {},
                                              folders.program,
                                              language},
                         QStringLiteral("Docs"));
    EXPECT_FALSE(running.load(true));
    EXPECT_EQ(prompts.messages, QStringList{"\n" + messages.text(u"presetisrunningnow")});
    EXPECT_TRUE(prompts.questions.isEmpty());

    prompts.textAnswers = {QStringLiteral("guess")};
    open(QStringLiteral("Docs"), false);
    EXPECT_EQ(prompts.questions, QStringList{messages.text(u"enterpasswordfor") + "Docs"});
    EXPECT_EQ(prompts.errors, QStringList{"\n" + messages.text(u"incorrectpassword")});
    open(QStringLiteral("Docs"), false); // cancelled
    EXPECT_EQ(prompts.errors.size(), 1);
}

TEST_F(PresetEditorTest, WithoutDiscRecordingTheDiscTaskIsExplainedAndCleared) {
    discAvailable = false;
    tarcopt preset = defaults();
    preset.nam = QStringLiteral("docs");
    preset.cdw = true;
    ASSERT_TRUE(
        store.SavePreset(QStringLiteral("Docs"), preset, {QStringLiteral("/home")}, {}, {}, {}));
    PresetEditor& editor = open(QStringLiteral("Docs"));
    EXPECT_EQ(prompts.messages, QStringList{"\n" + messages.text(u"discwillbecleared")});
    auto& disc = control<QCheckBox>("cdisctask");
    EXPECT_FALSE(disc.isEnabled());
    EXPECT_EQ(disc.toolTip(), messages.text(u"discnotavailable"));
    EXPECT_TRUE(editor.confirm());
    tarcopt saved;
    ASSERT_TRUE(store.LoadPreset(QStringLiteral("Docs"), saved));
    EXPECT_FALSE(saved.cdw);
}

TEST_F(PresetEditorTest, RecorderFieldOffersTheWritersAndKeepsTheStoredAddress) {
    recorders = {QStringLiteral("/dev/sr0"), QStringLiteral("/dev/sr1")};
    tarcopt preset = defaults();
    preset.cdr = QStringLiteral("stdio:/srv/discs/weekly.iso");
    ASSERT_TRUE(
        store.SavePreset(QStringLiteral("Docs"), preset, {QStringLiteral("/a")}, {}, {}, {}));
    PresetEditor& editor = open(QStringLiteral("Docs"));
    auto& recorder = control<QComboBox>("erecorder");
    EXPECT_EQ(recorder.count(), 2);
    EXPECT_EQ(recorder.currentText(), QStringLiteral("stdio:/srv/discs/weekly.iso"));
    recorder.setCurrentIndex(1);
    EXPECT_EQ(editor.shownPreset().cdr, QStringLiteral("/dev/sr1"));
}

TEST_F(PresetEditorTest, ListsTakeDropsAndComeBackFromTheTextEditor) {
    tarcopt preset = defaults();
    preset.nam = QStringLiteral("docs");
    ASSERT_TRUE(
        store.SavePreset(QStringLiteral("Docs"), preset, {QStringLiteral("/a")}, {}, {}, {}));
    PresetEditor& editor = open(QStringLiteral("Docs"));
    auto* page = editor.findChild<FileListsPage*>();
    ASSERT_TRUE(page);
    const QString folder = root.path() + QStringLiteral("/Fotos ü");
    QDir().mkpath(folder);
    control<QCheckBox>("conlyfiles").setChecked(true);
    editor.showTab(EditorTab::FileLists);
    // A drop from the file manager onto the include list; one onto the exclude list.
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(folder), QUrl::fromLocalFile(folder)});
    QWidget* target = control<QPlainTextEdit>("eincludelist").viewport();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    EXPECT_TRUE(drop.isAccepted());
    page->dropPaths(control<QPlainTextEdit>("eexcludelist"), {folder, folder});
    EXPECT_EQ(editor.includeLines(), (QStringList{QStringLiteral("/a"), folder + "/*.*"}));
    EXPECT_EQ(editor.excludeLines(), QStringList{folder});

    qputenv("VISUAL", "fakeedit --wait");
    prompts.yesNoAnswers = {true};
    const QString listFile = presetFile(QStringLiteral("Docs"), ".inc");
    QTimer::singleShot(50, [&] {
        // The editor is waiting: it refuses to close, and the file holds the list.
        editor.reject();
        EXPECT_TRUE(editor.isVisible());
        EXPECT_TRUE(editor.waitingForTextEditor());
        EXPECT_EQ(core::readTextLines(listFile).value_or(QStringList()).size(), 2);
        core::writeTextLinesAtomically(listFile, {QStringLiteral("/b/ß")});
        ASSERT_FALSE(launcher.processes.isEmpty());
        launcher.processes.last()->end();
    });
    editor.editListInTextEditor(control<QPlainTextEdit>("eincludelist"), QStringLiteral(".inc"));
    qunsetenv("VISUAL");
    EXPECT_EQ(launcher.started, QStringList{"fakeedit|--wait \"" + listFile + "\""});
    EXPECT_FALSE(editor.waitingForTextEditor());
    EXPECT_EQ(editor.includeLines(), QStringList{QStringLiteral("/b/ß")});
    EXPECT_EQ(prompts.messages, QStringList{"\n" + messages.text(u"editorstillopen")});
}

TEST_F(PresetEditorTest, NewPresetListsGoToTheTextEditorOnlyUnderAnAcceptedName) {
    PresetEditor& editor = openNew();
    auto& name = control<QLineEdit>("epresetname");
    auto& include = control<QPlainTextEdit>("eincludelist");
    editor.editListInTextEditor(include, QStringLiteral(".inc"));
    EXPECT_EQ(prompts.messages, QStringList{"\n" + messages.text(u"firstenterpresetname")});

    presetNames = {QStringLiteral("Docs")};
    name.setText(QStringLiteral("DOCS"));
    editor.editListInTextEditor(include, QStringLiteral(".inc"));
    EXPECT_EQ(prompts.errors, QStringList{"\n" + messages.text(u"presetnameexists")});

    name.setText(QStringLiteral("Mail"));
    prompts.yesNoAnswers = {false};
    editor.editListInTextEditor(include, QStringLiteral(".inc"));
    EXPECT_EQ(prompts.questions.last(),
              "\n" + core::formatMessage(messages.text(u"reqtosavefornewpreset"), {"Mail"}));
    EXPECT_FALSE(name.isReadOnly());

    // Accepted: the name is fixed, since the list files now carry it; an editor that
    // cannot be started leaves the list as it was.
    launcher.unstartable = {QStringLiteral("missing-editor")};
    qputenv("VISUAL", "missing-editor");
    editor.setIncludeLines({QStringLiteral("/home")});
    prompts.yesNoAnswers = {true, true};
    editor.editListInTextEditor(include, QStringLiteral(".inc"));
    qunsetenv("VISUAL");
    EXPECT_TRUE(name.isReadOnly());
    EXPECT_EQ(core::readTextLines(presetFile(QStringLiteral("Mail"), ".inc")),
              QStringList{QStringLiteral("/home")});
    EXPECT_TRUE(prompts.errors.last().startsWith("\n" + messages.text(u"errorcannotedit")));
    EXPECT_EQ(editor.includeLines(), QStringList{QStringLiteral("/home")});
    EXPECT_FALSE(editor.waitingForTextEditor());
}

TEST_F(PresetEditorTest, FilterDialogWritesMasksAndAttributes) {
    const QString filterFile = presetFile(QStringLiteral("Docs"), ".flt");
    QStringList exclude{QStringLiteral("*.BAK")};
    FilterDialog filter(FilterDialogServices{messages, prompts, folders.program, language},
                        filterFile, QStringLiteral("-eAH"), exclude);
    EXPECT_EQ(filter.attributeSwitch(), QStringLiteral("-eAH"));
    filter.addMasks({QStringLiteral("*.bak"), QStringLiteral("*.old")});
    EXPECT_EQ(exclude, (QStringList{QStringLiteral("*.BAK"), QStringLiteral("*.old")}));
    EXPECT_EQ(prompts.messages, (QStringList{"\n*.bak" + messages.text(u"isalreadyinexc"),
                                             "\n*.old" + messages.text(u"wasaddedtoexc")}));
    filter.findChild<QPlainTextEdit*>(QStringLiteral("efiltermasks"))
        ->setPlainText(QStringLiteral("*.doc\n\n*.odt"));
    filter.findChild<QCheckBox*>(QStringLiteral("carchive"))->setChecked(false);
    filter.findChild<QCheckBox*>(QStringLiteral("csystem"))->setChecked(true);
    filter.accept();
    EXPECT_EQ(filter.attributeSwitch(), QStringLiteral("-eHS"));
    EXPECT_EQ(core::readTextLines(filterFile),
              (QStringList{QStringLiteral("*.doc"), QStringLiteral("*.odt")}));

    FilterDialog emptied(FilterDialogServices{messages, prompts, folders.program, language},
                         filterFile, QString(), exclude);
    emptied.findChild<QPlainTextEdit*>(QStringLiteral("efiltermasks"))->clear();
    emptied.accept();
    EXPECT_FALSE(QFile::exists(filterFile));
}

TEST_F(PresetEditorTest, PickerCollectsEachPathOnce) {
    const QString base = root.path() + QStringLiteral("/pick");
    QDir().mkpath(base + QStringLiteral("/Musik"));
    core::writeTextLinesAtomically(base + QStringLiteral("/notiz.txt"), {});
    AddFoldersForm picker(AddFoldersServices{messages, prompts, folders.program, language, {}},
                          true);
    ASSERT_TRUE(picker.openFolder(base));
    EXPECT_EQ(picker.currentFolder(), base);
    picker.selectPath(base + QStringLiteral("/Musik"));
    picker.selectPath(base + QStringLiteral("/notiz.txt"));
    picker.addSelected(true);
    picker.addSelected(true);
    picker.addSelected(false);
    EXPECT_EQ(picker.includeAdditions(),
              (QStringList{base + "/Musik/*.*", base + QStringLiteral("/notiz.txt")}));
    EXPECT_EQ(picker.excludeAdditions(),
              (QStringList{base + "/Musik", base + QStringLiteral("/notiz.txt")}));
    picker.openParent();
    EXPECT_EQ(picker.currentFolder(), root.path());
    for (int i = 0; i < 20; ++i)
        picker.changeListFont(1);
    EXPECT_EQ(picker.findChild<QWidget*>(QStringLiteral("includes"))->font().pointSize(),
              AddFoldersForm::kLargestFont);
}

TEST_F(PresetEditorTest, PickerAdditionsJoinTheEditorListsWithoutRepeatedNeighbours) {
    const QString base = root.path() + QStringLiteral("/pick");
    QDir().mkpath(base + QStringLiteral("/Musik"));
    PresetEditor& editor = openNew();
    editor.setIncludeLines({base + QStringLiteral("/Musik")});
    bool editorHidden = false;
    QTimer::singleShot(0, [&] {
        editorHidden = !editor.isVisible();
        auto* picker = editor.findChild<AddFoldersForm*>();
        ASSERT_TRUE(picker);
        picker->openFolder(base);
        picker->selectPath(base + QStringLiteral("/Musik"));
        picker->addSelected(true);
        picker->addSelected(false);
        picker->accept();
    });
    editor.openPicker();
    EXPECT_TRUE(editorHidden);
    EXPECT_TRUE(editor.isVisible());
    EXPECT_EQ(editor.includeLines(), QStringList{base + QStringLiteral("/Musik")});
    EXPECT_EQ(editor.excludeLines(), QStringList{base + QStringLiteral("/Musik")});

    // Cancel drops what was collected.
    QTimer::singleShot(0, [&] {
        auto* picker = editor.findChild<AddFoldersForm*>();
        ASSERT_TRUE(picker);
        picker->openFolder(base);
        picker->selectPath(base + QStringLiteral("/Musik"));
        picker->addSelected(false);
        picker->reject();
    });
    editor.openPicker();
    EXPECT_EQ(editor.excludeLines(), QStringList{base + QStringLiteral("/Musik")});
}

TEST_F(PresetEditorTest, GermanCaptionsAndWideEnoughCheckBoxes) {
    core::writeTextLinesAtomically(
        folders.program + QStringLiteral("/Deutsch.lng"),
        {QStringLiteral("[FORMS]"), QStringLiteral("Form3=Voreinstellung"),
         QStringLiteral("Form3tabgeneral=Allgemein"), QStringLiteral("Form3tabnotes=Notizen"),
         QStringLiteral("Form3csolid=Solides Archiv mit einer recht langen Beschriftung"),
         QStringLiteral("Form3ecompression1=Speichern"),
         QStringLiteral("Form3copyclnrmode2=Tage")});
    language = QStringLiteral("Deutsch.lng");
    PresetEditor& editor = openNew();
    auto& tabs = control<QTabWidget>("pages");
    EXPECT_EQ(editor.windowTitle(), QStringLiteral("Voreinstellung"));
    EXPECT_EQ(tabs.tabText(0), QStringLiteral("Allgemein"));
    EXPECT_EQ(tabs.tabText(3), QStringLiteral("Notizen"));
    auto& solid = control<QCheckBox>("csolid");
    EXPECT_EQ(solid.text(), QStringLiteral("Solides Archiv mit einer recht langen Beschriftung"));
    EXPECT_GT(solid.minimumWidth(), solid.fontMetrics().horizontalAdvance(solid.text()));
    EXPECT_GE(solid.width(), solid.minimumWidth());
    EXPECT_EQ(control<QComboBox>("ecompression").itemText(0), QStringLiteral("Speichern"));
    EXPECT_EQ(control<QRadioButton>("copyclnrmodedays").text(), QStringLiteral("Tage"));
}

TEST_F(PresetEditorTest, HelpFollowsTheVisibleTab) {
    PresetEditor& editor = openNew();
    for (EditorTab tab :
         {EditorTab::General, EditorTab::Actions, EditorTab::FileLists, EditorTab::Notes}) {
        editor.showTab(tab);
        editor.showHelp();
    }
    EXPECT_EQ(
        helpTopics,
        (QStringList{helpTopicForTab(EditorTab::General), helpTopicForTab(EditorTab::Actions),
                     helpTopicForTab(EditorTab::FileLists), helpTopicForTab(EditorTab::Notes)}));
    // Images belong to saved presets only.
    editor.selectImage();
    EXPECT_EQ(prompts.messages, QStringList{"\n" + messages.text(u"createpresfirst")});
}

TEST_F(PresetEditorTest, ImageIsAttachedAndRemoved) {
    tarcopt preset = defaults();
    ASSERT_TRUE(
        store.SavePreset(QStringLiteral("Docs"), preset, {QStringLiteral("/a")}, {}, {}, {}));
    const QString picture = root.path() + QStringLiteral("/bild.bmp");
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(picture));
    PresetEditor& editor = open(QStringLiteral("Docs"));
    prompts.fileAnswers = {root.path() + QStringLiteral("/missing.png")};
    editor.selectImage();
    EXPECT_EQ(prompts.errors, QStringList{"\n" + messages.text(u"errorattachimage")});
    EXPECT_FALSE(QFile::exists(presetFile(QStringLiteral("Docs"), ".bmp")));
    prompts.fileAnswers = {picture};
    editor.selectImage();
    EXPECT_EQ(fileBytes(presetFile(QStringLiteral("Docs"), ".bmp")), fileBytes(picture));
    EXPECT_FALSE(control<QLabel>("limage").pixmap().isNull());
    prompts.yesNoAnswers = {true};
    editor.removeImage();
    EXPECT_FALSE(QFile::exists(presetFile(QStringLiteral("Docs"), ".bmp")));
    editor.removeImage();
    EXPECT_EQ(prompts.messages.last(), "\n" + messages.text(u"nouniqueimage"));
    EXPECT_EQ(listRebuilt, 2);
}

} // namespace
} // namespace stowline::ui
