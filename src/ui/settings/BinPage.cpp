#include "ui/settings/BinPage.h"

#include "ui/settings/SettingsCommands.h"
#include "ui/settings/SettingsDialog.h"
#include "ui/settings/SettingsPageSupport.h"
#include "ui/settings/SettingsRules.h"

#include "ui_BinPage.h"

#include <QSpinBox>

namespace stowline::ui {

using namespace settings_pages;

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
