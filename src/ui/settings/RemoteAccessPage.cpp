#include "ui/settings/RemoteAccessPage.h"

#include "ui/settings/SettingsCommands.h"
#include "ui/settings/SettingsDialog.h"
#include "ui/settings/SettingsPageSupport.h"

#include "ui_RemoteAccessPage.h"

namespace stowline::ui {

using namespace settings_pages;

RemoteAccessPage::RemoteAccessPage(SettingsContext& context, QWidget* parent)
    : QWidget(parent), c_(context), ui_(std::make_unique<Ui::RemoteAccessPage>()) {
    ui_->setupUi(this);
    connect(ui_->startserver, &QAbstractButton::clicked, this,
            [this] { c_.s.remote ? c_.s.remote->start() : sayNotAvailable(c_); });
    connect(ui_->stopserver, &QAbstractButton::clicked, this,
            [this] { c_.s.remote ? c_.s.remote->stop() : sayNotAvailable(c_); });
}

RemoteAccessPage::~RemoteAccessPage() = default;

} // namespace stowline::ui
