#include "ui/settings/AppearancePage.h"

#include "core/skins/Skin.h"
#include "ui/help/HelpTopics.h"
#include "ui/settings/SettingsBinding.h"
#include "ui/settings/SettingsDialog.h"
#include "ui/settings/SettingsPageSupport.h"
#include "ui/skins/SkinApplier.h"

#include "ui_AppearancePage.h"

#include <QColorDialog>
#include <QToolButton>

namespace stowline::ui {

using namespace settings_pages;

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

} // namespace stowline::ui
