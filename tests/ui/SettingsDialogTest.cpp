#include "ui/settings/SettingsDialog.h"

#include "core/Clock.h"
#include "core/EventLog.h"
#include "core/Language.h"
#include "core/OptionFields.h"
#include "core/OptionsFile.h"
#include "core/ProgramState.h"
#include "core/TextFiles.h"
#include "core/skins/Skin.h"
#include "platform/fakes/RecordingPrompts.h"
#include "platform/fakes/RecordingSoundPlayer.h"
#include "platform/fakes/RecordingStartupRegistration.h"
#include "ui/FormCaptions.h"
#include "ui/settings/SettingsBinding.h"
#include "ui/settings/SettingsCommands.h"
#include "ui/settings/SettingsRules.h"
#include "ui/skins/SkinApplier.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <functional>
#include <variant>

namespace stowline::ui {
namespace {

// Fails every service registration, as on a machine without a user service manager.
class NoServiceManager final : public platform::StartupRegistration {
public:
    bool enableLoginStart(const QStringList&) override { return true; }
    bool disableLoginStart() override { return true; }
    bool enableService() override { return false; }
    bool disableService() override { return false; }
};

class FakeDialup final : public DialupControl {
public:
    QStringList entries() override { return {QStringLiteral("Home"), QStringLiteral("Office")}; }
    void dial() override {}
    void hangUp() override {}
    bool newEntry() override { return false; }
    bool editEntry(const QString&) override { return false; }
    bool deleteEntry(const QString&) override { return false; }
};

// Notes the dialog's state while the archiver runs.
class RecordingCleaning final : public BinArchiveCleaning {
public:
    QString cleanOlderThan(bool recycle, int days) override {
        calls << QStringLiteral("%1 %2").arg(recycle ? "recycle" : "keeper").arg(days);
        if (whileRunning)
            whileRunning();
        return failure;
    }
    QStringList calls;
    QString failure;
    std::function<void()> whileRunning;
};

class SettingsDialogTest : public ::testing::Test {
protected:
    SettingsDialogTest()
        : log(folders, flags, options, messages, clock, sound), skins(programDir.path()) {
        folders.program = programDir.path();
        folders.data = dataDir.path();
        core::SetOptionDefaults(options, {folders.program, folders.data, QSize(1024, 768)});
        writeFile(folders.inProgram(QStringLiteral("Deutsch.lng")),
                  "[STRINGS]\r\ndoneword=Fertig.\r\n[FORMS]\r\nForm1status=Bereit\r\n"
                  "Form4ok=Jawohl\r\n"
                  "Form4dit=Die Werkzeugleiste des Hauptfensters ausblenden\r\n");
    }

    static void writeFile(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    SettingsServices services() {
        SettingsServices s{options,
                           messages,
                           log,
                           prompts,
                           sound,
                           *startup,
                           skins,
                           folders.program,
                           folders.data,
                           [this](const QString& topic) { helpTopics << topic; },
                           [this](const core::topt& saved) {
                               ++saves;
                               return core::SaveOptions(saved, folders.data);
                           },
                           [this](const QString& language) { captionLanguages << language; },
                           [this] { ++applied; },
                           nullptr,
                           &dialup,
                           cleaning,
                           {}};
        return s;
    }

    std::unique_ptr<SettingsDialog> open(SettingsTab tab = SettingsTab::General) {
        return std::make_unique<SettingsDialog>(services(), tab);
    }

    template <typename Widget> static Widget* child(QWidget& dialog, const char* name) {
        auto* widget = dialog.findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    QTemporaryDir programDir;
    QTemporaryDir dataDir;
    core::Folders folders;
    core::ProgramFlags flags;
    core::topt options;
    core::MessageTable messages;
    core::ManualClock clock{QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5))};
    platform::RecordingSoundPlayer sound;
    core::EventLog log;
    platform::RecordingPrompts prompts;
    platform::RecordingStartupRegistration recordingStartup;
    platform::StartupRegistration* startup = &recordingStartup;
    SkinApplier skins;
    FakeDialup dialup;
    BinArchiveCleaning* cleaning = nullptr;
    QStringList helpTopics;
    QStringList captionLanguages;
    int saves = 0;
    int applied = 0;
};

// A value unlike the default for every option the dialog edits.
void setNonDefaultValues(core::topt& options) {
    int number = 41;
    for (const char* key : settingsOptionKeys()) {
        const core::OptionField* field = core::findOptionField(QString::fromLatin1(key));
        std::visit(
            [&](auto member) {
                using Value = std::remove_cvref_t<decltype(options.*member)>;
                if constexpr (std::is_same_v<Value, bool>)
                    options.*member = !(options.*member);
                else if constexpr (std::is_same_v<Value, int>)
                    options.*member = ++number;
                else
                    options.*member = QStringLiteral("%1 value").arg(QLatin1String(key));
            },
            field->member);
    }
    // Lists of choices take their own ranges; the service mode has a test of its own.
    options.sta = 2;
    options.sss = 2;
    options.obc = 5;
    options.obt = 1;
    options.lng = QStringLiteral("Deutsch.lng");
    options.dac = QStringLiteral("Office");
    options.pte = QStringLiteral("/var/tmp/swl");
    options.lsz = -7; // a stored number out of the field's usual range comes back as well
}

TEST_F(SettingsDialogTest, EveryOptionAndSkinFieldComesBackUnchangedThroughOk) {
    setNonDefaultValues(options);
    ASSERT_TRUE(core::SaveOptions(options, folders.data));
    const QByteArray before = core::readTextLines(core::optionsFilePath(folders.data))
                                  .value()
                                  .join(QLatin1Char('\n'))
                                  .toUtf8();
    core::tskin skin;
    int number = 0;
    for (const core::SkinField& field : core::skinFields()) {
        if (field.text)
            skin.*field.text = QStringLiteral("%1 %2").arg(QLatin1String(field.key)).arg(++number);
        else
            skin.*field.style = ++number % 3;
    }
    skins.setSkin(skin, options.ske);

    auto dialog = open();
    dialog->accept();

    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(core::readTextLines(core::optionsFilePath(folders.data))
                  .value()
                  .join(QLatin1Char('\n'))
                  .toUtf8(),
              before);
    EXPECT_EQ(skins.skin(), skin);
    EXPECT_EQ(core::LoadSkin(core::currentSkinPath(folders.data)), skin);
    // The language did not change: nothing reloaded.
    EXPECT_TRUE(captionLanguages.isEmpty());
}

TEST_F(SettingsDialogTest, CancelDiscardsEveryEdit) {
    const core::topt atStart = options;
    auto dialog = open();
    child<QLineEdit>(*dialog, "pte")->setText(QStringLiteral("/elsewhere"));
    child<QCheckBox>(*dialog, "dit")->toggle();
    child<QLineEdit>(*dialog, "MW_TableColor")->setText(QStringLiteral("ff0000"));
    child<QPushButton>(*dialog, "cancel")->click();

    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(options.pte, atStart.pte);
    EXPECT_EQ(options.dit, atStart.dit);
    EXPECT_EQ(skins.skin(), core::tskin());
    EXPECT_EQ(saves, 0);
    EXPECT_FALSE(QFile::exists(core::currentSkinPath(folders.data)));
}

TEST_F(SettingsDialogTest, ChecksAndCorrectionsOnOk) {
    const struct {
        const char* name;
        std::function<void(QWidget&)> edit;
        bool accepted;
        std::function<bool(const core::topt&)> stored;
        const char* error;
    } cases[] = {
        {"reports without recipient",
         [](QWidget& d) {
             child<QCheckBox>(d, "ser")->setChecked(true);
             child<QLineEdit>(d, "ssr")->setText(QStringLiteral("mail:25"));
             child<QLineEdit>(d, "sfm")->setText(QStringLiteral("a@b"));
             child<QLineEdit>(d, "sto")->clear();
         },
         false, [](const core::topt& o) { return !o.ser; }, "specsmtpdata"},
        {"reports without server",
         [](QWidget& d) {
             child<QCheckBox>(d, "ser")->setChecked(true);
             child<QLineEdit>(d, "sfm")->setText(QStringLiteral("a@b"));
             child<QLineEdit>(d, "sto")->setText(QStringLiteral("c@d"));
         },
         false, [](const core::topt& o) { return !o.ser; }, "specsmtpdata"},
        {"complete reports",
         [](QWidget& d) {
             child<QCheckBox>(d, "ser")->setChecked(true);
             child<QLineEdit>(d, "ssr")->setText(QStringLiteral("mail:25"));
             child<QLineEdit>(d, "sfm")->setText(QStringLiteral("a@b"));
             child<QLineEdit>(d, "sto")->setText(QStringLiteral("c@d"));
         },
         true, [](const core::topt& o) { return o.ser && o.sto == QLatin1String("c@d"); }, ""},
        {"low list height", [](QWidget& d) { child<QSpinBox>(d, "plh")->setValue(20); }, true,
         [](const core::topt& o) { return o.plh == 40; }, ""},
        {"high list height", [](QWidget& d) { child<QSpinBox>(d, "plh")->setValue(5000); }, true,
         [](const core::topt& o) { return o.plh == 1200; }, ""},
        {"temporary folder with separator",
         [](QWidget& d) { child<QLineEdit>(d, "pte")->setText(QStringLiteral("/tmp/swl/")); }, true,
         [](const core::topt& o) { return o.pte == QLatin1String("/tmp/swl"); }, ""},
        {"root as temporary folder",
         [](QWidget& d) { child<QLineEdit>(d, "pte")->setText(QStringLiteral("/")); }, true,
         [](const core::topt& o) { return o.pte == QLatin1String("/"); }, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        core::SetOptionDefaults(options, {folders.program, folders.data, QSize(1024, 768)});
        prompts.errors.clear();
        saves = 0;
        auto dialog = open();
        dialog->show();
        c.edit(*dialog);
        dialog->accept();
        EXPECT_EQ(dialog->isVisible(), !c.accepted);
        EXPECT_EQ(saves, c.accepted ? 1 : 0);
        EXPECT_TRUE(c.stored(options));
        if (*c.error)
            EXPECT_EQ(prompts.errors,
                      QStringList{QLatin1Char('\n') + messages.text(QString::fromLatin1(c.error))});
        else
            EXPECT_TRUE(prompts.errors.isEmpty());
    }
}

TEST_F(SettingsDialogTest, EditsSurviveWhileTheDialogIsActivatedAgain) {
    auto dialog = open();
    dialog->show();
    child<QLineEdit>(*dialog, "rlo")->setText(QStringLiteral("typed"));
    // A message box of the dialog closes and the dialog is activated again.
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(dialog.get(), &activate);
    dialog->accept();
    EXPECT_EQ(options.rlo, QStringLiteral("typed"));
}

TEST_F(SettingsDialogTest, ChosenLanguageReloadsMessagesAndOpenWindowCaptions) {
    // An open window that follows the language, like the main window.
    QWidget mainWindow;
    auto* status = new QLabel(QStringLiteral("Ready"), &mainWindow);
    status->setObjectName(QStringLiteral("status"));
    auto dialog = std::make_unique<SettingsDialog>(
        [&] {
            SettingsServices s = services();
            s.changeWindowCaptions = [&](const QString& language) {
                ChangeLang(mainWindow, QStringLiteral("Form1"), folders.program, language);
            };
            return s;
        }(),
        SettingsTab::General);
    child<QComboBox>(*dialog, "lng")->setCurrentText(QStringLiteral("Deutsch.lng"));
    dialog->accept();

    EXPECT_EQ(options.lng, QStringLiteral("Deutsch.lng"));
    EXPECT_EQ(status->text(), QStringLiteral("Bereit"));
    EXPECT_EQ(messages.text(u"doneword"), QStringLiteral("Fertig."));
    EXPECT_TRUE(prompts.messages.isEmpty());

    // The dialog opens in the chosen language; going back to English asks for a restart
    // and reloads nothing.
    auto again = open();
    EXPECT_EQ(child<QPushButton>(*again, "ok")->text(), QStringLiteral("Jawohl"));
    // A translated check box caption longer than the English one is not cut.
    auto* longCaption = child<QCheckBox>(*again, "dit");
    EXPECT_EQ(longCaption->text(),
              QStringLiteral("Die Werkzeugleiste des Hauptfensters ausblenden"));
    EXPECT_GT(longCaption->minimumWidth(),
              longCaption->fontMetrics().horizontalAdvance(longCaption->text()));
    child<QComboBox>(*again, "lng")->setCurrentText(QString::fromLatin1(core::kBuiltInLanguage));
    again->accept();
    EXPECT_EQ(prompts.messages, QStringList{QLatin1Char('\n') + messages.text(u"needtorestart")});
    EXPECT_EQ(messages.text(u"doneword"), QStringLiteral("Fertig."));
}

TEST_F(SettingsDialogTest, ServiceModeFollowsTheRealRegistration) {
    auto dialog = open();
    auto* mode = child<QComboBox>(*dialog, "sta");
    mode->setCurrentIndex(3);
    emit mode->activated(3);
    EXPECT_EQ(recordingStartup.calls, QStringList{QStringLiteral("service")});
    mode->setCurrentIndex(1);
    emit mode->activated(1);
    EXPECT_EQ(recordingStartup.calls,
              (QStringList{QStringLiteral("service"), QStringLiteral("no-service")}));
    EXPECT_TRUE(prompts.errors.isEmpty());
    // The log-in entry of the new mode is written on OK, not only at the program's end.
    recordingStartup.calls.clear();
    dialog->accept();
    EXPECT_EQ(options.sta, 1);
    EXPECT_EQ(recordingStartup.calls,
              (QStringList{QStringLiteral("no-service"), QStringLiteral("login /hide /exit")}));

    NoServiceManager none;
    startup = &none;
    auto failing = open();
    auto* failingMode = child<QComboBox>(*failing, "sta");
    failingMode->setCurrentIndex(3);
    emit failingMode->activated(3);
    EXPECT_EQ(failingMode->currentIndex(), 0);
    EXPECT_EQ(prompts.errors,
              QStringList{QLatin1Char('\n') + messages.text(u"serviceregisterfailed")});
    failing->accept();
    EXPECT_EQ(options.sta, 0);
    EXPECT_TRUE(log.model().lines().last().endsWith(
        core::errorMessage(messages.text(u"serviceregisterfailed"))));
}

TEST_F(SettingsDialogTest, CleaningTheBinArchives) {
    auto unavailable = open(SettingsTab::SwlBin);
    child<QPushButton>(*unavailable, "cleankeeper")->click();
    EXPECT_EQ(prompts.messages, QStringList{QLatin1Char('\n') + messages.text(u"notavailableyet")});

    RecordingCleaning recording;
    cleaning = &recording;
    auto dialog = open(SettingsTab::SwlBin);
    dialog->show();
    auto* days = child<QSpinBox>(*dialog, "obi");
    days->setValue(0);
    child<QPushButton>(*dialog, "cleankeeper")->click();
    EXPECT_TRUE(recording.calls.isEmpty());
    EXPECT_EQ(prompts.errors.last(), QLatin1Char('\n') + messages.text(u"cleandaysinvalid"));

    // While the archiver runs the dialog is locked and cannot be closed.
    bool lockedWhileRunning = false;
    recording.whileRunning = [&] {
        lockedWhileRunning = !child<QTabWidget>(*dialog, "tabs")->isEnabled() &&
                             !child<QPushButton>(*dialog, "ok")->isEnabled();
        dialog->reject();
        dialog->close();
    };
    days->setValue(30);
    child<QPushButton>(*dialog, "cleanrecycle")->click();
    EXPECT_EQ(recording.calls, QStringList{QStringLiteral("recycle 30")});
    EXPECT_TRUE(lockedWhileRunning);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(child<QPushButton>(*dialog, "ok")->isEnabled());
    EXPECT_EQ(prompts.messages.last(), QLatin1Char('\n') + messages.text(u"doneword"));

    recording.failure = QStringLiteral("The archive is damaged.");
    child<QPushButton>(*dialog, "cleankeeper")->click();
    EXPECT_EQ(prompts.errors.last(), QStringLiteral("\nThe archive is damaged."));
}

// Apply acts at once, before OK: skins on, the skin from the controls, the dialog's own
// fields dressed by it. Cancel does not undo it.
TEST_F(SettingsDialogTest, ApplyDressesTheWindowsAtOnce) {
    options.ske = false;
    skins.setSkin({}, false);
    auto dialog = open(SettingsTab::Appearance);
    auto* field = child<QLineEdit>(*dialog, "rlo");
    const QColor normalBase = field->palette().color(QPalette::Base);
    child<QCheckBox>(*dialog, "ske")->setChecked(true);
    child<QLineEdit>(*dialog, "LW_FileListBackground")->setText(QStringLiteral("00ff00"));
    child<QPushButton>(*dialog, "applychanges")->click();
    EXPECT_TRUE(options.ske);
    EXPECT_TRUE(skins.enabled());
    EXPECT_EQ(skins.skin().LW_FileListBackground, QStringLiteral("00ff00"));
    EXPECT_EQ(field->palette().color(QPalette::Base), QColor(Qt::green));
    EXPECT_EQ(applied, 1);

    dialog->reject();
    EXPECT_TRUE(options.ske);
    EXPECT_FALSE(QFile::exists(core::currentSkinPath(folders.data)));
    EXPECT_NE(normalBase, QColor(Qt::green));
}

TEST_F(SettingsDialogTest, AdminPasswordIsTypedTwice) {
    auto dialog = open(SettingsTab::Security);
    auto* password = child<QLineEdit>(*dialog, "sgp");
    prompts.textAnswers = {QStringLiteral("secret"), QStringLiteral("secreT")};
    child<QPushButton>(*dialog, "setpassword")->click();
    EXPECT_EQ(password->text(), QString());
    EXPECT_EQ(prompts.errors, QStringList{QLatin1Char('\n') + messages.text(u"passesdontmatch")});

    prompts.textAnswers = {QStringLiteral("secret"), QStringLiteral("secret")};
    child<QPushButton>(*dialog, "setpassword")->click();
    dialog->accept();
    EXPECT_EQ(options.sgp, QStringLiteral("secret"));
}

TEST_F(SettingsDialogTest, HelpShowsTheTopicOfTheVisibleTab) {
    auto dialog = open(SettingsTab::Appearance);
    QTest::keyClick(dialog.get(), Qt::Key_F1);
    child<QTabWidget>(*dialog, "tabs")->setCurrentIndex(static_cast<int>(SettingsTab::Dialup));
    child<QPushButton>(*dialog, "help")->click();
    EXPECT_EQ(helpTopics, (QStringList{QStringLiteral("settings_-_appearance_tab.htm"),
                                       QStringLiteral("settings_-_dialup_tab.htm")}));
}

TEST(SettingsRules, StoredValues) {
    const struct {
        const char* typed;
        const char* stored;
    } folders[] = {
        {"/tmp/", "/tmp"}, {"/tmp//", "/tmp"}, {"/", "/"}, {"C:\\temp\\", "C:\\temp"}, {"", ""}};
    for (const auto& c : folders)
        EXPECT_EQ(storedTemporaryFolder(QString::fromLatin1(c.typed)),
                  QString::fromLatin1(c.stored))
            << c.typed;
    EXPECT_EQ(storedPresetListHeight(39), 40);
    EXPECT_EQ(storedPresetListHeight(40), 40);
    EXPECT_EQ(storedPresetListHeight(1201), 1200);
    EXPECT_EQ(storedPresetListHeight(300), 300);
}

TEST(SettingsRules, BinWindowNeedsItsVerb) {
    const struct {
        int obt;
        bool obk;
        bool obr;
        BinWindow window;
    } cases[] = {{0, true, true, BinWindow::Off},  {1, true, false, BinWindow::Keeper},
                 {1, false, true, BinWindow::Off}, {2, false, true, BinWindow::Recycle},
                 {2, true, false, BinWindow::Off}, {3, true, true, BinWindow::Off}};
    for (const auto& c : cases) {
        core::topt options;
        options.obt = c.obt;
        options.obk = c.obk;
        options.obr = c.obr;
        EXPECT_EQ(binWindowFor(options), c.window) << c.obt << c.obk << c.obr;
    }
}

} // namespace
} // namespace stowline::ui
