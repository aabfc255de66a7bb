#include "ui/settings/DialupPage.h"

#include "ui/settings/SettingsCommands.h"
#include "ui/settings/SettingsDialog.h"
#include "ui/settings/SettingsPageSupport.h"

#include "ui_DialupPage.h"

#include <QComboBox>

namespace stowline::ui {

using namespace settings_pages;

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

} // namespace stowline::ui
