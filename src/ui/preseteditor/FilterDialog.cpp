#include "ui/preseteditor/FilterDialog.h"

#include "core/MessageTable.h"
#include "core/TextFiles.h"
#include "platform/Prompts.h"
#include "ui/FormCaptions.h"

#include "ui_FilterDialog.h"

#include <QFile>

namespace stowline::ui {

FilterDialog::FilterDialog(FilterDialogServices services, QString filterFile, const QString& efa,
                           QStringList& excludeLines, QWidget* parent)
    : QDialog(parent), s_(std::move(services)), ui_(new Ui::FilterDialog),
      filterFile_(std::move(filterFile)), excludeLines_(excludeLines) {
    ui_->setupUi(this);
    ChangeLang(*this, QString::fromLatin1(kFormName), s_.programFolder, s_.language);
    const AttributeBoxes boxes = attributeBoxes(efa);
    ui_->carchive->setChecked(boxes.archive);
    ui_->creadonly->setChecked(boxes.readOnly);
    ui_->chiddenattr->setChecked(boxes.hidden);
    ui_->csystem->setChecked(boxes.system);
    ui_->efiltermasks->setPlainText(
        core::readTextLines(filterFile_).value_or(QStringList()).join(QLatin1Char('\n')));
    connect(ui_->addbakold, &QPushButton::clicked, this, [this] {
        addMasks({QStringLiteral("*.bak"), QStringLiteral("*.old")});
    });
    connect(ui_->addtmp, &QPushButton::clicked, this, [this] {
        addMasks({QStringLiteral("*.tmp"), QStringLiteral("*.~*")});
    });
    connect(ui_->addmask, &QPushButton::clicked, this, &FilterDialog::addTypedMask);
    connect(ui_->bok, &QPushButton::clicked, this, &FilterDialog::accept);
    connect(ui_->bcancel, &QPushButton::clicked, this, &FilterDialog::reject);
}

FilterDialog::~FilterDialog() = default;

QString FilterDialog::attributeSwitch() const {
    return ui::attributeSwitch({ui_->carchive->isChecked(), ui_->creadonly->isChecked(),
                                ui_->chiddenattr->isChecked(), ui_->csystem->isChecked()});
}

void FilterDialog::addMasks(const QStringList& masks) {
    for (const QString& mask : masks) {
        const bool added = addUniqueLine(excludeLines_, mask);
        s_.prompts.showMessage(QLatin1Char('\n') + mask +
                               s_.messages.text(added ? u"wasaddedtoexc" : u"isalreadyinexc"));
    }
}

void FilterDialog::addTypedMask() {
    const QString mask = ui_->efiltermask->text().trimmed();
    ui_->efiltermask->clear();
    if (!mask.isEmpty())
        addMasks({mask});
}

void FilterDialog::accept() {
    QStringList masks = ui_->efiltermasks->toPlainText().split(QLatin1Char('\n'));
    masks.removeIf([](const QString& line) { return line.trimmed().isEmpty(); });
    const bool written = masks.isEmpty() ? !QFile::exists(filterFile_) || QFile::remove(filterFile_)
                                         : core::writeTextLinesAtomically(filterFile_, masks);
    if (!written) {
        s_.prompts.showError(QLatin1Char('\n') + s_.messages.text(u"errorcannotedit") +
                             filterFile_);
        return;
    }
    QDialog::accept();
}

} // namespace stowline::ui
