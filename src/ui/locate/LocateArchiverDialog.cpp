#include "ui/locate/LocateArchiverDialog.h"

#include "core/MessageTable.h"
#include "platform/Prompts.h"
#include "ui/FormCaptions.h"
#include "ui/locate/ArchiverSearch.h"

#include "ui_LocateArchiverDialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>

namespace stowline::ui {

LocateArchiverDialog::LocateArchiverDialog(const core::MessageTable& messages,
                                           platform::Prompts& prompts, QString searchRoot,
                                           QStringList programNames, QWidget* parent)
    : QDialog(parent), messages_(messages), prompts_(prompts), searchRoot_(std::move(searchRoot)),
      programNames_(std::move(programNames)), ui_(std::make_unique<Ui::LocateArchiverDialog>()) {
    ui_->setupUi(this);
    connect(ui_->browse, &QAbstractButton::clicked, this, [this] {
        const QString file =
            QFileDialog::getOpenFileName(this, QString(), ui_->archiverpath->text());
        if (!file.isEmpty())
            ui_->archiverpath->setText(file);
    });
    connect(ui_->search, &QAbstractButton::clicked, this, &LocateArchiverDialog::searchOrCancel);
    connect(ui_->ok, &QAbstractButton::clicked, this, &LocateArchiverDialog::accept);
    connect(ui_->skip, &QLabel::linkActivated, this, &LocateArchiverDialog::reject);
}

LocateArchiverDialog::~LocateArchiverDialog() = default;

void LocateArchiverDialog::changeLang(const QString& programFolder, const QString& language) {
    ChangeLang(*this, QStringLiteral("Form12"), programFolder, language);
}

void LocateArchiverDialog::searchOrCancel() {
    if (searching_) {
        cancelled_ = true;
        return;
    }
    searching_ = true;
    cancelled_ = false;
    ui_->status->setText(messages_.text(u"searchpleasewait"));
    ui_->search->setText(messages_.text(u"searchcancel"));
    ui_->ok->setEnabled(false);
    ui_->archiverpath->setEnabled(false);
    ui_->browse->setEnabled(false);
    const std::optional<QString> found = ArchiverSearch(searchRoot_, programNames_).run([this] {
        QCoreApplication::processEvents();
        return !cancelled_;
    });
    searching_ = false;
    ui_->ok->setEnabled(true);
    ui_->archiverpath->setEnabled(true);
    ui_->browse->setEnabled(true);
    ui_->search->setText(messages_.text(u"searchdone"));
    ui_->search->setEnabled(false);
    if (found) {
        ui_->archiverpath->setText(*found);
        ui_->status->setText(*found);
    } else {
        ui_->status->setText(messages_.text(u"archivernotfoundbysearch"));
    }
    if (closeAfterSearch_)
        QDialog::reject();
}

void LocateArchiverDialog::accept() {
    if (searching_)
        return;
    const QString path = ui_->archiverpath->text();
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        prompts_.showError(QLatin1Char('\n') + messages_.text(u"wrongarchiverselection"));
        return;
    }
    result_ = path;
    QDialog::accept();
}

// A close in the middle of the search ends the search first; the window closes when the
// search has unwound.
void LocateArchiverDialog::reject() {
    if (searching_) {
        cancelled_ = true;
        closeAfterSearch_ = true;
        return;
    }
    result_.clear();
    QDialog::reject();
}

void LocateArchiverDialog::closeEvent(QCloseEvent* event) {
    if (searching_) {
        event->ignore();
        reject();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace stowline::ui
