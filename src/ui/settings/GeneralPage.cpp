#include "ui/settings/GeneralPage.h"

#include "core/EventLog.h"
#include "core/Language.h"
#include "core/StartupMode.h"
#include "platform/StartupRegistration.h"
#include "ui/settings/SettingsDialog.h"
#include "ui/settings/SettingsPageSupport.h"

#include "ui_GeneralPage.h"

#include <QComboBox>

namespace stowline::ui {

using namespace settings_pages;

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

} // namespace stowline::ui
