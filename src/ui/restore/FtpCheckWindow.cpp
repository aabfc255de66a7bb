#include "ui/restore/FtpCheckWindow.h"

#include "ui_FtpCheckWindow.h"

#include "core/MessageTable.h"
#include "core/TextFiles.h"
#include "protocols/FtpClient.h"
#include "ui/FormCaptions.h"
#include "ui/restore/FtpSetup.h"

#include <QFile>

namespace stowline::ui {

FtpCheckWindow::FtpCheckWindow(const RestoreServices& services, const backup::tarcopt& preset,
                               QWidget* parent)
    : QDialog(parent), s_(services), tlsMode_(preset.fss),
      ui_(std::make_unique<Ui::FtpCheckWindow>()) {
    ui_->setupUi(this);
    ui_->server->setText(preset.fse);
    ui_->folder->setText(preset.ffo);
    ui_->user->setText(preset.fus);
    ui_->password->setText(preset.fpa);
    ui_->activemode->setChecked(preset.fac);
    connect(ui_->startbutton, &QPushButton::clicked, this, &FtpCheckWindow::start);
    ChangeLang(*this, QString::fromLatin1(kFormName), s_.programFolder, s_.languageName);
}

FtpCheckWindow::~FtpCheckWindow() = default;

QString FtpCheckWindow::listingPath() const {
    return s_.dataFolder + QStringLiteral("/ftpdir.txt");
}

void FtpCheckWindow::say(const QString& line) {
    ui_->log->appendPlainText(line);
}

void FtpCheckWindow::start() {
    const FtpFields fields{ui_->server->text(),   ui_->folder->text(),          ui_->user->text(),
                           ui_->password->text(), ui_->activemode->isChecked(), tlsMode_};
    protocols::FtpClient client(s_.driver);
    setUpFtpClient(client, fields, s_.ftp);
    client.setLocalFileName(listingPath());
    say(s_.messages.text(u"ftpconnectingto") + fields.server + QLatin1Char('.'));
    ui_->startbutton->setEnabled(false);
    const bool listedOk = client.listNames();
    ui_->startbutton->setEnabled(true);
    const std::optional<QStringList> listing =
        listedOk ? core::readTextLines(listingPath()) : std::nullopt;
    QFile::remove(listingPath());
    if (!listing) {
        if (!client.errorMessage().isEmpty())
            say(s_.messages.text(u"ftperror") + client.errorMessage());
        say(s_.messages.text(u"ftpcantdownload"));
        return;
    }
    QStringList names;
    for (const QString& name : *listing)
        if (!name.isEmpty())
            names << name;
    ui_->log->setPlainText(names.join(QLatin1Char('\n')));
    emit listed(names);
    accept();
}

} // namespace stowline::ui
