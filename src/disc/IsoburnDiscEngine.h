#pragma once

#include "disc/DiscEngine.h"

#include <QList>
#include <QPair>

#include <atomic>
#include <memory>
#include <thread>

namespace stowline::disc {

struct IsoburnDrive;

// The disc engine on libisoburn, libburn and libisofs: real recorders ("/dev/sr0")
// and image files standing in for a disc ("stdio:/path/file", appendable and
// erasable). Sessions are ISO 9660 with Rock Ridge and Joliet, written on top of the
// last session with its tree imported, so earlier files stay readable.
class IsoburnDiscEngine final : public DiscEngine {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(IsoburnDiscEngine)
public:
    explicit IsoburnDiscEngine(QObject* parent = nullptr);
    ~IsoburnDiscEngine() override;

    QList<Recorder> recorders() override;
    bool selectRecorder(const QString& address) override;
    void setCacheSize(int megabytes) override;
    void releaseRecorder() override;
    void ejectMedium() override;
    void loadMedium() override;
    void lockTray() override;
    void unlockTray() override;
    bool isUnitReady() override;
    MediumInfo mediumInfo() override;
    bool capability(int number) override;
    void clearFiles() override;
    void addFile(const QString& discFolder, const QString& localPath) override;
    bool importLastSession() override;
    bool prepareImage() override;
    qint64 imageBlocks() const override { return imageBlocks_; }
    bool startErase() override;
    bool startWrite() override;
    bool startVerify() override;
    void abortOperation() override;
    bool busy() const override { return busy_; }
    qint64 writtenBlocks() const override { return writtenBlocks_; }
    qint64 verifiedAmount() const override { return verifiedAmount_; }
    qint64 verifyTotal() const override { return verifyTotal_; }
    QString verifiedFileName(int index) const override;
    QString lastError() const override { return lastError_; }

private:
    struct SessionFile {
        QString discPath; // "/name"
        QString localPath;
    };

    bool acquire();
    void release(bool eject);
    void cancelPrepared();
    bool refuseWhenBusy();
    bool fail(const QString& error);
    QString libraryError(const QString& fallback) const;
    // Runs `work` on the engine's thread; `done` is called on this object's thread.
    void runInBackground(std::function<void()> work);
    void eraseWork();
    void writeWork();
    void verifyWork();

    bool initialized_ = false;
    QString address_;
    std::unique_ptr<IsoburnDrive> drive_;
    QList<SessionFile> files_;
    QList<SessionFile> written_;
    bool importSession_ = false;
    qint64 imageBlocks_ = 0;
    int cacheMegabytes_ = 0;
    std::atomic<bool> busy_{false};
    std::atomic<bool> cancel_{false};
    std::atomic<qint64> writtenBlocks_{0};
    std::atomic<qint64> verifiedAmount_{0};
    std::atomic<qint64> verifyTotal_{0};
    QString lastError_;
    std::thread worker_;
};

} // namespace stowline::disc
