#include "ui/settings/SecurityPage.h"

#include "ui/settings/SettingsDialog.h"
#include "ui/settings/SettingsPageSupport.h"

#include "ui_SecurityPage.h"

namespace stowline::ui {

using namespace settings_pages;

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

} // namespace stowline::ui
