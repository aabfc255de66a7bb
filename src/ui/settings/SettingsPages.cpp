#include "ui/settings/SettingsPages.h"

#include "core/EventLog.h"
#include "core/Language.h"
#include "core/MessageTable.h"
#include "core/StartupMode.h"
#include "core/skins/Skin.h"
#include "platform/Prompts.h"
#include "platform/SoundPlayer.h"
#include "platform/StartupRegistration.h"
#include "ui/help/HelpTopics.h"
#include "ui/settings/SettingsBinding.h"
#include "ui/settings/SettingsCommands.h"
#include "ui/settings/SettingsDialog.h"
#include "ui/settings/SettingsRules.h"
#include "ui/skins/SkinApplier.h"

#include "ui_AppearancePage.h"
#include "ui_BinPage.h"
#include "ui_DialupPage.h"
#include "ui_ErrorManagementPage.h"
#include "ui_GeneralPage.h"
#include "ui_InterfacePage.h"
#include "ui_RemoteAccessPage.h"
#include "ui_SecurityPage.h"

#include <QColorDialog>
#include <QFileDialog>

namespace stowline::ui {

namespace {
// Message boxes put a line break in front of their text.
QString boxText(const QString& text) {
    return QLatin1Char('\n') + text;
}

void sayNotAvailable(SettingsContext& c) {
    c.s.prompts.showMessage(boxText(c.s.messages.text(u"notavailableyet")));
}

void browseFolder(QWidget* parent, QLineEdit* field) {
    const QString folder = QFileDialog::getExistingDirectory(parent, QString(), field->text());
    if (!folder.isEmpty())
        field->setText(folder);
}
} // namespace

// --- general ---------------------------------------------------------------------------

GeneralPage::GeneralPage(SettingsContext& context, QWidget* parent)
    : QWidget(parent), c_(context), ui_(std::make_unique<Ui::GeneralPage>()) {
    ui_->setupUi(this);
    connect(ui_->findwinrarexe, &QAbstractButton::clicked, this, [this] {
        const QString file = QFileDialog::getOpenFileName(this, QString(), ui_->pwi->text());
        if (!file.isEmpty())
            ui_->pwi->setText(file);
    });
    connect(ui_->locatearchiver, &QAbstractButton::clicked, this, [this] {
        if (!c_.s.locateArchiver)
            return sayNotAvailable(c_);
        const QString found = c_.s.locateArchiver(this);
        if (!found.isEmpty())
            ui_->pwi->setText(found);
    });
    connect(ui_->selecttempfolder, &QAbstractButton::clicked, this,
            [this] { browseFolder(this, ui_->pte); });
    connect(ui_->languageinfo, &QAbstractButton::clicked, this, [this] {
        c_.s.prompts.showMessage(
            core::LanguageInformation(c_.s.messages, c_.s.programFolder, ui_->lng->currentText()));
    });
    connect(ui_->sta, &QComboBox::activated, this, &GeneralPage::startupModeChosen);
}

GeneralPage::~GeneralPage() = default;

void GeneralPage::fillLanguages() {
    ui_->lng->clear();
    ui_->lng->addItems(core::availableLanguages(c_.s.programFolder));
}

// The service is registered or removed at once, so that the choice always shows what the
// system really does; a failure says so and puts the choice back.
void GeneralPage::startupModeChosen(int mode) {
    const bool wantsService = mode == static_cast<int>(core::StartupMode::Service);
    if (wantsService && !c_.serviceInstalled) {
        if (c_.s.startup.enableService()) {
            c_.serviceInstalled = true;
        } else {
            c_.s.log.WriteError(c_.s.messages.text(u"serviceregisterfailed"));
            c_.s.prompts.showError(boxText(c_.s.messages.text(u"serviceregisterfailed")));
            ui_->sta->setCurrentIndex(static_cast<int>(core::StartupMode::NotStarted));
        }
    } else if (!wantsService && c_.serviceInstalled) {
        if (c_.s.startup.disableService()) {
            c_.serviceInstalled = false;
        } else {
            c_.s.log.WriteError(c_.s.messages.text(u"serviceremovefailed"));
            c_.s.prompts.showError(boxText(c_.s.messages.text(u"serviceremovefailed")));
            ui_->sta->setCurrentIndex(static_cast<int>(core::StartupMode::Service));
        }
    }
}

// --- interface -------------------------------------------------------------------------

InterfacePage::InterfacePage(QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::InterfacePage>()) {
    ui_->setupUi(this);
}

InterfacePage::~InterfacePage() = default;

// --- remote access ---------------------------------------------------------------------

RemoteAccessPage::RemoteAccessPage(SettingsContext& context, QWidget* parent)
    : QWidget(parent), c_(context), ui_(std::make_unique<Ui::RemoteAccessPage>()) {
    ui_->setupUi(this);
    connect(ui_->startserver, &QAbstractButton::clicked, this,
            [this] { c_.s.remote ? c_.s.remote->start() : sayNotAvailable(c_); });
    connect(ui_->stopserver, &QAbstractButton::clicked, this,
            [this] { c_.s.remote ? c_.s.remote->stop() : sayNotAvailable(c_); });
}

RemoteAccessPage::~RemoteAccessPage() = default;

// --- dial-up ---------------------------------------------------------------------------

DialupPage::DialupPage(SettingsContext& context, QWidget* parent)
    : QWidget(parent), c_(context), ui_(std::make_unique<Ui::DialupPage>()) {
    ui_->setupUi(this);
    const auto withDialup = [this](auto action) {
        return [this, action] { c_.s.dialup ? action(*c_.s.dialup) : sayNotAvailable(c_); };
    };
    connect(ui_->dial, &QAbstractButton::clicked, this,
            withDialup([](DialupControl& dialup) { dialup.dial(); }));
    connect(ui_->hangup, &QAbstractButton::clicked, this,
            withDialup([](DialupControl& dialup) { dialup.hangUp(); }));
    connect(ui_->newentry, &QAbstractButton::clicked, this,
            withDialup([this](DialupControl& dialup) {
                if (dialup.newEntry())
                    fillEntries();
            }));
    connect(ui_->editentry, &QAbstractButton::clicked, this,
            withDialup([this](DialupControl& dialup) {
                if (!ui_->dac->currentText().isEmpty() && dialup.editEntry(ui_->dac->currentText()))
                    fillEntries();
            }));
    connect(ui_->deleteentry, &QAbstractButton::clicked, this, &DialupPage::deleteEntry);
}

DialupPage::~DialupPage() = default;

void DialupPage::fillEntries() {
    const QString chosen = ui_->dac->currentText();
    ui_->dac->clear();
    if (c_.s.dialup)
        ui_->dac->addItems(c_.s.dialup->entries());
    ui_->dac->setCurrentIndex(ui_->dac->findText(chosen));
}

void DialupPage::deleteEntry() {
    if (!c_.s.dialup)
        return sayNotAvailable(c_);
    const QString name = ui_->dac->currentText();
    if (name.isEmpty())
        return;
    if (c_.s.dialup->deleteEntry(name)) {
        fillEntries();
        ui_->dac->setCurrentIndex(-1);
    }
}

// --- error management ------------------------------------------------------------------

ErrorManagementPage::ErrorManagementPage(SettingsContext& context, QWidget* parent)
    : QWidget(parent), c_(context), ui_(std::make_unique<Ui::ErrorManagementPage>()) {
    ui_->setupUi(this);
    connect(ui_->selectwavfile, &QAbstractButton::clicked, this, [this] {
        const QString file = QFileDialog::getOpenFileName(this, QString(), ui_->swf->text(),
                                                          QStringLiteral("*.wav"));
        if (!file.isEmpty())
            ui_->swf->setText(file);
    });
    connect(ui_->playwavfile, &QAbstractButton::clicked, this,
            [this] { c_.s.sound.playAsync(ui_->swf->text()); });
}

ErrorManagementPage::~ErrorManagementPage() = default;

// --- security --------------------------------------------------------------------------

SecurityPage::SecurityPage(SettingsContext& context, QWidget* parent)
    : QWidget(parent), c_(context), ui_(std::make_unique<Ui::SecurityPage>()) {
    ui_->setupUi(this);
    connect(ui_->setpassword, &QAbstractButton::clicked, this, &SecurityPage::setPassword);
}

SecurityPage::~SecurityPage() = default;

// The new password is typed twice, so that a typing error cannot lock the user out.
void SecurityPage::setPassword() {
    const QString caption = c_.s.messages.text(u"enternewpass");
    QString typed = ui_->sgp->text();
    if (!c_.s.prompts.askText(caption, caption, typed, true))
        return;
    QString again;
    const QString confirm = c_.s.messages.text(u"confirmnewpass");
    if (!c_.s.prompts.askText(confirm, confirm, again, true))
        return;
    if (typed != again) {
        c_.s.prompts.showError(boxText(c_.s.messages.text(u"passesdontmatch")));
        return;
    }
    ui_->sgp->setText(typed);
}

// --- appearance ------------------------------------------------------------------------

AppearancePage::AppearancePage(SettingsContext& context, QWidget* parent)
    : QWidget(parent), c_(context), ui_(std::make_unique<Ui::AppearancePage>()) {
    ui_->setupUi(this);
    const std::pair<QAbstractButton*, QLineEdit*> pictures[] = {
        {ui_->MW_ImageButton, ui_->MW_Image},
        {ui_->SW_ImageButton, ui_->SW_Image},
        {ui_->PW_ImageButton, ui_->PW_Image}};
    for (const auto& [button, field] : pictures) {
        connect(button, &QAbstractButton::clicked, this, [this, field = field] {
            const QString file = QFileDialog::getOpenFileName(
                this, QString(), skinsFolder(),
                QStringLiteral("*.png *.jpg *.jpeg *.bmp *.gif *.xpm"));
            if (!file.isEmpty())
                field->setText(file);
        });
    }
    for (QWidget* widget : colourButtons()) {
        auto* button = static_cast<QAbstractButton*>(widget);
        QString name = button->objectName();
        name.chop(int(qstrlen("Button")));
        auto* field = findChild<QLineEdit*>(name);
        connect(button, &QAbstractButton::clicked, this, [this, field] {
            const QColor initial = skinQColor(field->text()).value_or(Qt::white);
            const QColor chosen = QColorDialog::getColor(initial, this);
            if (chosen.isValid())
                field->setText(core::skinColourText({chosen.red(), chosen.green(), chosen.blue()}));
        });
    }
    connect(ui_->loadaskin, &QAbstractButton::clicked, this, &AppearancePage::loadSkin);
    connect(ui_->savecurrentskin, &QAbstractButton::clicked, this, &AppearancePage::saveSkin);
    connect(ui_->publishskin, &QAbstractButton::clicked, this, [this] {
        c_.s.prompts.showMessage(boxText(c_.s.messages.text(u"publishskin") +
                                         QString::fromLatin1(kProjectPageAddress) +
                                         QLatin1Char('.')));
    });
    connect(ui_->applychanges, &QAbstractButton::clicked, this, &AppearancePage::applySkin);
}

AppearancePage::~AppearancePage() = default;

QList<QWidget*> AppearancePage::colourButtons() const {
    QList<QWidget*> buttons;
    for (auto* button : findChildren<QToolButton*>())
        if (button->objectName().endsWith(QLatin1String("Button")) &&
            !button->objectName().endsWith(QLatin1String("_ImageButton")))
            buttons << button;
    return buttons;
}

QList<QWidget*> AppearancePage::pictureButtons() const {
    return {ui_->MW_ImageButton, ui_->SW_ImageButton, ui_->PW_ImageButton};
}

QWidget* AppearancePage::styleList(int group) const {
    const QList<QWidget*> lists{ui_->MW_Type, ui_->SW_Type, ui_->PW_Type};
    return lists.value(group);
}

QString AppearancePage::skinsFolder() const {
    return c_.s.programFolder + QStringLiteral("/skins");
}

void AppearancePage::loadSkin() {
    const QString file =
        QFileDialog::getOpenFileName(this, QString(), skinsFolder(), QStringLiteral("*.ocs"));
    if (!file.isEmpty())
        loadSkinControls(*this, core::LoadSkin(file));
}

void AppearancePage::saveSkin() {
    const QString file =
        QFileDialog::getSaveFileName(this, QString(), skinsFolder(), QStringLiteral("*.ocs"));
    if (file.isEmpty())
        return;
    QString error;
    if (!core::SaveSkin(skinFromControls(*this, core::tskin()), file, QDateTime::currentDateTime(),
                        &error))
        c_.s.prompts.showError(boxText(error));
}

// Takes effect at once, before OK: ske follows the box, the skin follows the controls.
void AppearancePage::applySkin() {
    c_.s.options.ske = ui_->ske->isChecked();
    c_.s.skins.setSkin(skinFromControls(*this, c_.s.skins.skin()), c_.s.options.ske);
    if (c_.s.optionsApplied)
        c_.s.optionsApplied();
}

// --- SWL-BIN ---------------------------------------------------------------------------

BinPage::BinPage(SettingsContext& context, QWidget* parent)
    : QWidget(parent), c_(context), ui_(std::make_unique<Ui::BinPage>()) {
    ui_->setupUi(this);
    connect(ui_->getswlbinpath, &QAbstractButton::clicked, this,
            [this] { browseFolder(this, ui_->obf); });
    connect(ui_->cleankeeper, &QAbstractButton::clicked, this, [this] { clean(false); });
    connect(ui_->cleanrecycle, &QAbstractButton::clicked, this, [this] { clean(true); });
}

BinPage::~BinPage() = default;

QWidget* BinPage::compressionList() const {
    return ui_->obc;
}

QWidget* BinPage::windowList() const {
    return ui_->obt;
}

// The archiver works on the stored archive folder; the dialog stays locked meanwhile, so
// that neither a second command nor closing the dialog can cut into the wait.
void BinPage::clean(bool recycle) {
    if (!c_.s.binCleaning)
        return sayNotAvailable(c_);
    const int days = ui_->obi->value();
    if (!isCleanAge(days)) {
        c_.s.prompts.showError(boxText(c_.s.messages.text(u"cleandaysinvalid")));
        return;
    }
    c_.setBusy(true);
    const QString failure = c_.s.binCleaning->cleanOlderThan(recycle, days);
    c_.setBusy(false);
    if (failure.isEmpty())
        c_.s.prompts.showMessage(boxText(c_.s.messages.text(u"doneword")));
    else
        c_.s.prompts.showError(boxText(failure));
}

} // namespace stowline::ui
