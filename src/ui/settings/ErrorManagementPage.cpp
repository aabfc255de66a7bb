#include "ui/settings/ErrorManagementPage.h"

#include "platform/SoundPlayer.h"
#include "ui/settings/SettingsDialog.h"
#include "ui/settings/SettingsPageSupport.h"

#include "ui_ErrorManagementPage.h"

namespace stowline::ui {

using namespace settings_pages;

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

} // namespace stowline::ui
