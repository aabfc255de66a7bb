#include "ui/settings/SettingsDialog.h"

#include "core/EventLog.h"
#include "core/Language.h"
#include "core/MessageTable.h"
#include "core/StartupMode.h"
#include "core/skins/Skin.h"
#include "platform/Prompts.h"
#include "ui/FormCaptions.h"
#include "ui/settings/AppearancePage.h"
#include "ui/settings/BinPage.h"
#include "ui/settings/DialupPage.h"
#include "ui/settings/ErrorManagementPage.h"
#include "ui/settings/GeneralPage.h"
#include "ui/settings/InterfacePage.h"
#include "ui/settings/RemoteAccessPage.h"
#include "ui/settings/SecurityPage.h"
#include "ui/settings/SettingsBinding.h"
#include "ui/settings/SettingsRules.h"
#include "ui/skins/SkinApplier.h"

#include "ui_SettingsDialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

namespace stowline::ui {

namespace {
constexpr const char* kWindowName = "Form4";

// The help topic of each tab, in tab order.
constexpr const char* kHelpTopics[] = {
    "settings_-_general_tab.htm",          "settings_-_interface_tab.htm",
    "settings_-_remote_access_tab.htm",    "settings_-_dialup_tab.htm",
    "settings_-_error_management_tab.htm", "settings_-_security_tab.htm",
    "settings_-_appearance_tab.htm",       "settings_-_swl-bin_tab.htm"};
} // namespace

void fitCheckBoxesToCaptions(QWidget& window) {
    for (QCheckBox* box : window.findChildren<QCheckBox*>()) {
        QStyleOptionButton option;
        option.initFrom(box);
        const int mark = box->style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, box) +
                         box->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, box);
        box->setMinimumWidth(box->fontMetrics().horizontalAdvance(box->text()) + mark + 5);
    }
}

SettingsDialog::SettingsDialog(SettingsServices services, SettingsTab tab, QWidget* parent)
    : QDialog(parent),
      s_(std::move(services)), context_{s_, s_.options.lng,
                                        s_.options.sta ==
                                            static_cast<int>(core::StartupMode::Service),
                                        [this](bool busy) { setBusy(busy); }},
      ui_(std::make_unique<Ui::SettingsDialog>()) {
    ui_->setupUi(this);

    general_ = new GeneralPage(context_);
    interface_ = new InterfacePage();
    remote_ = new RemoteAccessPage(context_);
    dialup_ = new DialupPage(context_);
    errors_ = new ErrorManagementPage(context_);
    security_ = new SecurityPage(context_);
    appearance_ = new AppearancePage(context_);
    bin_ = new BinPage(context_);
    const std::pair<QWidget*, const char*> pages[] = {
        {general_, "General"},       {interface_, "Interface"}, {remote_, "Remote access"},
        {dialup_, "Dial-up"},        {errors_, "Errors"},       {security_, "Security"},
        {appearance_, "Appearance"}, {bin_, "SWL-BIN"}};
    for (const auto& [page, title] : pages)
        ui_->tabs->addTab(page, tr(title));

    changeLang();
    // The controls show the options as they are now, once: message boxes and other
    // windows shown while the dialog is open must not throw away the edits.
    general_->fillLanguages();
    dialup_->fillEntries();
    loadOptionControls(*this, s_.options);
    loadSkinControls(*this, s_.skins.skin());
    // Dressed by the skin while skins are on, also when Apply switches them on.
    s_.skins.attach(*this, SkinnedWindow::Dialog);

    ui_->tabs->setCurrentIndex(static_cast<int>(tab));
    connect(ui_->ok, &QAbstractButton::clicked, this, &SettingsDialog::accept);
    connect(ui_->cancel, &QAbstractButton::clicked, this, &SettingsDialog::reject);
    connect(ui_->help, &QAbstractButton::clicked, this, &SettingsDialog::showHelp);
}

SettingsDialog::~SettingsDialog() = default;

SettingsTab SettingsDialog::currentTab() const {
    return static_cast<SettingsTab>(ui_->tabs->currentIndex());
}

void SettingsDialog::changeLang() {
    const auto list = [](const char* prefix, QWidget* target) {
        return ListCaptionKeys{QString::fromLatin1(prefix), target};
    };
    NamedCaptionKeys named;
    const auto hint = [&](const char* key, QList<QWidget*> targets) {
        named.hints << HintCaptionKey{QString::fromLatin1(key), std::move(targets)};
    };
    const auto one = [this](const char* name) {
        return QList<QWidget*>{findChild<QWidget*>(QString::fromLatin1(name))};
    };
    hint("Form4findwinrarexe", one("findwinrarexe"));
    hint("Form4selecttempfolder", one("selecttempfolder"));
    hint("Form4selectwavfile", one("selectwavfile"));
    hint("Form4playwavfile", one("playwavfile"));
    hint("Form4languageinfo", one("languageinfo"));
    hint("Form4newhint", one("newentry"));
    hint("Form4edithint", one("editentry"));
    hint("Form4deletehint", one("deleteentry"));
    hint("Form4loadaskin", one("loadaskin"));
    hint("Form4savecurrentskin", one("savecurrentskin"));
    hint("Form4publishskin", one("publishskin"));
    hint("Form4applychanges", one("applychanges"));
    hint("Form4selectbmpimage", appearance_->pictureButtons());
    hint("Form4getswlbinpath", one("getswlbinpath"));
    hint("Form4selectacolor", appearance_->colourButtons());
    named.lists << list("Form4swlbintask", bin_->windowList())
                << list("Form3ecompression", bin_->compressionList())
                << list("Form4startup", findChild<QWidget*>(QStringLiteral("sta")));
    for (int group = 0; group < 3; ++group)
        named.lists << list("Form4skinstyle", appearance_->styleList(group));
    ChangeLang(*this, QString::fromLatin1(kWindowName), s_.programFolder, s_.options.lng, named);
    fitCheckBoxesToCaptions(*this);
}

void SettingsDialog::showHelp() {
    if (s_.showHelp)
        s_.showHelp(QString::fromLatin1(kHelpTopics[ui_->tabs->currentIndex()]));
}

void SettingsDialog::setBusy(bool busy) {
    busy_ = busy;
    ui_->tabs->setEnabled(!busy);
    ui_->ok->setEnabled(!busy);
    ui_->cancel->setEnabled(!busy);
    ui_->help->setEnabled(!busy);
}

void SettingsDialog::accept() {
    if (busy_)
        return;
    core::topt edited = s_.options;
    saveOptionControls(*this, edited);
    if (const std::optional<QString> failure = settingsCheckFailure(edited)) {
        s_.prompts.showError(QLatin1Char('\n') + s_.messages.text(*failure));
        return;
    }
    if (needsRestartForLanguage(context_.openingLanguage, edited.lng))
        s_.prompts.showMessage(QLatin1Char('\n') + s_.messages.text(u"needtorestart"));
    edited.pte = storedTemporaryFolder(edited.pte);
    edited.plh = storedPresetListHeight(edited.plh);
    const bool startupModeChanged = edited.sta != s_.options.sta;
    s_.options = edited;
    if (startupModeChanged)
        core::ApplyStartupMode(s_.options.sta, s_.startup);

    const core::tskin skin = skinFromControls(*this, s_.skins.skin());
    s_.skins.setSkin(skin, s_.options.ske);
    QString error;
    if (!core::SaveSkin(skin, core::currentSkinPath(s_.dataFolder), QDateTime::currentDateTime(),
                        &error))
        s_.log.WriteError(error);
    if (s_.saveOptions)
        s_.saveOptions(s_.options);
    if (s_.optionsApplied)
        s_.optionsApplied();
    if (reloadsLanguage(context_.openingLanguage, s_.options.lng)) {
        core::LoadMessages(s_.messages, s_.programFolder, s_.options.lng);
        if (s_.changeWindowCaptions)
            s_.changeWindowCaptions(s_.options.lng);
    }
    QDialog::accept();
}

void SettingsDialog::reject() {
    if (!busy_)
        QDialog::reject();
}

void SettingsDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        showHelp();
        return;
    }
    QDialog::keyPressEvent(event);
}

void SettingsDialog::closeEvent(QCloseEvent* event) {
    if (busy_)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

} // namespace stowline::ui
