#pragma once

#include "backup/DeliveryHistory.h"
#include "backup/Preset.h"
#include "protocols/FtpClient.h"
#include "ui/restore/RestoreServices.h"

#include <QDialog>

#include <memory>

namespace Ui {
class FtpDownloadWindow;
}

namespace stowline::ui {

// Fetches one uploaded archive back into a local folder and opens it. The fields start
// from the preset and the history line and can be changed first.
//
// The archive arrives under a temporary name beside the target and takes the target's
// name only when it is complete and of the size the server reported, so a failed or
// cancelled download leaves no partial file and an existing file is replaced only after
// the person at the desk agreed.
class FtpDownloadWindow final : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kFormName = "ftpdownloadform";

    FtpDownloadWindow(const RestoreServices& services, const backup::tarcopt& preset,
                      const backup::FtpLocation& location, QWidget* parent = nullptr);
    ~FtpDownloadWindow() override;
    Q_DISABLE_COPY_MOVE(FtpDownloadWindow)

    void start();
    // Closes the window when nothing runs, else ends the download.
    void cancel();
    bool isRunning() const;
    // The path the archive is saved to: local folder + "/" + file.
    QString localFile() const;

signals:
    // The archive arrived complete at `path`.
    void downloaded(const QString& path);

protected:
    void reject() override;

private:
    void requestDone(protocols::FtpRequest request, int errorCode);
    void getDone();
    void quitDone();
    void progress(qint64 bytes);
    void updateLocalFile();
    void browse();
    void say(const QString& line);
    QString text(QStringView key) const;
    void finishAttempt();

    RestoreServices s_;
    int tlsMode_;
    std::unique_ptr<Ui::FtpDownloadWindow> ui_;
    protocols::FtpClient client_;
    QString target_;
    QString partial_;
    qint64 expectedSize_ = 0;
    bool succeeded_ = false;
    bool cancelled_ = false;
    bool lastTransferOk_ = false;
    QString lastError_;
};

} // namespace stowline::ui
