#pragma once

#include "backup/RunProgress.h"
#include "platform/ProcessLauncher.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class QSocketNotifier;

namespace stowline::backup {

// Follows the archiver of a run for the run's progress. The bundled archiver writes
// "done total" lines to a pipe passed to it (its write end named in
// STOWLINE_PROGRESS_FD); another archiver never does, so until a line comes the size of
// everything in the run folder is polled instead, counted without a percentage.
class ArchiverProgress final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ArchiverProgress)
public:
    static constexpr std::chrono::milliseconds kPollInterval{500};

    ArchiverProgress(RunProgress& progress, QString runFolder, QObject* parent = nullptr);
    ~ArchiverProgress() override;

    // The write end for the archiver; fd -1 when no pipe could be made.
    platform::PassedDescriptor descriptorForArchiver() const;
    // The archiver runs: this program's copy of the write end is closed (so the pipe
    // ends with the archiver) and polling begins.
    void archiverStarted();
    // The archiver ended: what is left in the pipe is read and polling stops.
    void archiverFinished();

private:
    void readPipe();
    void takeLines();
    void pollRunFolder();
    void closeReadEnd();

    RunProgress& progress_;
    QString runFolder_;
    int readEnd_ = -1;
    int writeEnd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    QByteArray pending_; // the start of a line not complete yet
    bool heardFromArchiver_ = false;
    QTimer poll_;
};

} // namespace stowline::backup
