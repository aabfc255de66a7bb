#include "ui/restore/FtpDownloadWindow.h"

#include "ui_FtpDownloadWindow.h"

#include "core/MessageTable.h"
#include "core/Options.h"
#include "platform/Prompts.h"
#include "protocols/ProtocolErrors.h"
#include "ui/FormCaptions.h"
#include "ui/help/HelpTopics.h"
#include "ui/restore/DesktopOpener.h"
#include "ui/restore/FtpSetup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QShortcut>
#include <QUuid>

namespace stowline::ui {

using protocols::FtpRequest;

namespace {
constexpr int kReplyFileUnavailable = 550;
constexpr int kReplyTransferComplete = 226;
constexpr int kReplyFileActionDone = 250;

QString quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}
} // namespace

FtpDownloadWindow::FtpDownloadWindow(const RestoreServices& services, const backup::tarcopt& preset,
                                     const backup::FtpLocation& location, QWidget* parent)
    : QDialog(parent), s_(services), tlsMode_(preset.fss),
      ui_(std::make_unique<Ui::FtpDownloadWindow>()), client_(services.driver) {
    ui_->setupUi(this);
    ui_->localfolder->setText(s_.options.pte);
    ui_->server->setText(location.server);
    ui_->folder->setText(location.folder);
    ui_->file->setText(location.file);
    ui_->user->setText(preset.fus);
    ui_->password->setText(preset.fpa);
    ui_->activemode->setChecked(preset.fac);
    updateLocalFile();
    ui_->progress->setValue(0);

    connect(ui_->localfolder, &QLineEdit::textChanged, this, &FtpDownloadWindow::updateLocalFile);
    connect(ui_->file, &QLineEdit::textChanged, this, &FtpDownloadWindow::updateLocalFile);
    connect(ui_->browsebutton, &QPushButton::clicked, this, &FtpDownloadWindow::browse);
    connect(ui_->startbutton, &QPushButton::clicked, this, &FtpDownloadWindow::start);
    connect(ui_->cancelbutton, &QPushButton::clicked, this, &FtpDownloadWindow::cancel);
    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this,
            [this] { s_.help.ShowHelpTopic(QString::fromLatin1(topics::kRestore)); });
    connect(&client_, &protocols::FtpClient::requestDone, this, &FtpDownloadWindow::requestDone);
    connect(&client_, &protocols::FtpClient::progress, this, &FtpDownloadWindow::progress);
    ChangeLang(*this, QString::fromLatin1(kFormName), s_.programFolder, s_.languageName);
}

FtpDownloadWindow::~FtpDownloadWindow() {
    if (isRunning())
        client_.abort();
    if (!partial_.isEmpty())
        QFile::remove(partial_);
}

QString FtpDownloadWindow::text(QStringView key) const {
    return s_.messages.text(key);
}

void FtpDownloadWindow::say(const QString& line) {
    ui_->log->appendPlainText(line);
}

bool FtpDownloadWindow::isRunning() const {
    return !ui_->startbutton->isEnabled();
}

QString FtpDownloadWindow::localFile() const {
    return ui_->localfile->text();
}

void FtpDownloadWindow::updateLocalFile() {
    QString folder = ui_->localfolder->text();
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    ui_->localfile->setText(folder + ui_->file->text());
}

void FtpDownloadWindow::browse() {
    if (!s_.chooseFolder)
        return;
    const QString folder = s_.chooseFolder(text(u"specifyfolder"), ui_->localfolder->text());
    if (!folder.isEmpty())
        ui_->localfolder->setText(folder);
}

void FtpDownloadWindow::start() {
    if (isRunning())
        return;
    target_ = localFile();
    const QFileInfo target(target_);
    if (ui_->file->text().isEmpty() || target.isDir())
        return;
    if (target.exists() &&
        !s_.prompts.askYesNo(QLatin1Char('\n') +
                             core::formatMessage(text(u"restorereplacefile"), {target_})))
        return;
    // Hidden, and unique so that two downloads of one name never share it.
    partial_ = target.absolutePath() + QStringLiteral("/.") + target.fileName() + QLatin1Char('.') +
               QUuid::createUuid().toString(QUuid::Id128).left(8) + QStringLiteral(".part");
    const FtpFields fields{ui_->server->text(),   ui_->folder->text(),          ui_->user->text(),
                           ui_->password->text(), ui_->activemode->isChecked(), tlsMode_};
    setUpFtpClient(client_, fields, s_.ftp);
    client_.setRemoteFileName(ui_->file->text());
    client_.setLocalFileName(partial_);
    say(text(u"ftpconnectingto") + fields.server + QLatin1Char('.'));
    succeeded_ = false;
    cancelled_ = false;
    lastTransferOk_ = false;
    lastError_.clear();
    expectedSize_ = 0;
    ui_->progress->setValue(0);
    ui_->startbutton->setEnabled(false);
    client_.openAsync();
}

void FtpDownloadWindow::cancel() {
    if (isRunning()) {
        cancelled_ = true;
        client_.abort();
    } else {
        QDialog::reject();
    }
}

void FtpDownloadWindow::reject() {
    cancel();
}

void FtpDownloadWindow::finishAttempt() {
    if (!partial_.isEmpty())
        QFile::remove(partial_);
    partial_.clear();
    ui_->startbutton->setEnabled(true);
}

void FtpDownloadWindow::requestDone(FtpRequest request, int errorCode) {
    if (errorCode != 0 && errorCode != kReplyFileUnavailable) {
        lastError_ = client_.errorMessage();
        say(text(u"ftperror") + lastError_);
        if (request != FtpRequest::Quit) {
            if (client_.isConnected()) {
                client_.quitAsync();
            } else {
                say(text(u"ftpdisconnectedwitherror") + lastError_ + QLatin1Char('.'));
                finishAttempt();
            }
            return;
        }
    }
    switch (request) {
    case FtpRequest::Open:
        client_.userAsync();
        break;
    case FtpRequest::User:
        client_.passAsync();
        break;
    case FtpRequest::Pass:
        if (!client_.remoteFolder().isEmpty()) {
            say(text(u"ftpchangingfolder") + QLatin1Char(' ') + quoted(client_.remoteFolder()) +
                QLatin1Char('.'));
            client_.cwdAsync();
        } else {
            client_.typeSetAsync();
        }
        break;
    case FtpRequest::Cwd:
        client_.typeSetAsync();
        break;
    case FtpRequest::TypeSet:
        say(text(u"ftpdownload") + QLatin1Char(' ') + quoted(client_.remoteFileName()) +
            QLatin1Char('.'));
        if (client_.querySize())
            expectedSize_ = client_.sizeResult();
        // Cancel while SIZE waited: the connection is gone and nothing more is pending.
        if (cancelled_) {
            say(text(u"ftpdisconnectedwitherror") + client_.errorMessage() + QLatin1Char('.'));
            finishAttempt();
            return;
        }
        client_.getAsync();
        break;
    case FtpRequest::Get:
        getDone();
        break;
    case FtpRequest::Quit:
        quitDone();
        break;
    case FtpRequest::Size:
        break;
    default:
        say(core::errorMessage(text(u"ftpunknownreq") +
                               QString::number(static_cast<int>(request))));
        break;
    }
}

void FtpDownloadWindow::getDone() {
    const int reply = client_.lastReplyCode();
    lastTransferOk_ = reply == kReplyTransferComplete || reply == kReplyFileActionDone;
    const QString name = quoted(client_.remoteFileName());
    const qint64 size = QFileInfo(partial_).size();
    const bool complete = lastTransferOk_ && QFileInfo(partial_).isFile() &&
                          (expectedSize_ <= 0 || size == expectedSize_);
    if (complete) {
        QFile::remove(target_);
        if (QFile::rename(partial_, target_)) {
            partial_.clear();
            succeeded_ = true;
        }
    }
    if (succeeded_) {
        say(text(u"ftpdownloaded") + QLatin1Char(' ') + name + QLatin1Char('.'));
    } else {
        if (lastTransferOk_ && expectedSize_ > 0 && size != expectedSize_) {
            lastTransferOk_ = false;
            lastError_ =
                core::formatMessage(text(u"restoresizemismatch"),
                                    {QString::number(size), QString::number(expectedSize_)});
        }
        say(text(u"ftpcantdownload") + QLatin1Char(' ') + name + QLatin1Char('.'));
    }
    client_.quitAsync();
}

void FtpDownloadWindow::quitDone() {
    if (lastTransferOk_)
        say(text(u"ftpdisconnected"));
    else
        say(text(u"ftpdisconnectedwitherror") + lastError_ + QLatin1Char('.'));
    finishAttempt();
    if (succeeded_ && QFileInfo(target_).isFile()) {
        emit downloaded(target_);
        s_.opener.openArchive(target_, s_.options.pwi);
        accept();
    }
}

void FtpDownloadWindow::progress(qint64 bytes) {
    if (expectedSize_ > 0)
        ui_->progress->setValue(static_cast<int>(qMin<qint64>(100, bytes * 100 / expectedSize_)));
}

} // namespace stowline::ui
