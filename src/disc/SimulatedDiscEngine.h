#pragma once

#include "disc/DiscEngine.h"

#include <QSet>
#include <QStringList>
#include <QTimer>

#include <chrono>

namespace stowline::disc {

// A disc engine without hardware, for the states no test machine has: no disc, a
// unit that never gets ready, media that cannot be erased, medium types and speeds,
// and an engine that fails at any stage. Operations end on this thread after
// `operationTime`; every call that moves or changes the medium is recorded in calls().
class SimulatedDiscEngine final : public DiscEngine {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SimulatedDiscEngine)
public:
    // Where the engine fails when asked to.
    enum class Failure {
        None,
        Select,
        Import,
        Prepare,
        StartErase,
        Erase,
        StartWrite,
        Write,
        StartVerify,
        NeverEnds
    };

    explicit SimulatedDiscEngine(QObject* parent = nullptr);

    // The recorders the machine has and the medium in the current one.
    QList<Recorder> recorderList;
    MediumInfo medium;
    // The unit becomes ready only after this many checks (isUnitReady calls).
    int checksUntilReady = 0;
    // Read and write capabilities the recorder has.
    QSet<int> capabilities;
    std::chrono::milliseconds operationTime{50};
    Failure failure = Failure::None;
    // Files (by local path) whose copy on the disc differs from the source.
    QSet<QString> damagedOnDisc;

    QStringList calls() const { return calls_; }
    // The files of the last session written, in order.
    QStringList writtenFiles() const { return written_; }

    QList<Recorder> recorders() override;
    bool selectRecorder(const QString& address) override;
    void setCacheSize(int megabytes) override;
    void releaseRecorder() override { calls_ << QStringLiteral("release"); }
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
    bool busy() const override { return operation_ != Operation::None; }
    qint64 writtenBlocks() const override { return writtenBlocks_; }
    qint64 verifiedAmount() const override { return verifiedAmount_; }
    qint64 verifyTotal() const override { return verifyTotal_; }
    QString verifiedFileName(int index) const override;
    QString lastError() const override { return lastError_; }

private:
    enum class Operation { None, Erase, Write, Verify };

    bool start(Operation operation, Failure refusal);
    void finish();
    bool fail(const QString& error);

    QStringList calls_;
    QStringList files_;
    QStringList written_;
    QString selected_;
    qint64 imageBlocks_ = 0;
    qint64 writtenBlocks_ = 0;
    qint64 verifiedAmount_ = 0;
    qint64 verifyTotal_ = 0;
    int checks_ = 0;
    bool aborted_ = false;
    Operation operation_ = Operation::None;
    QString lastError_;
    QTimer done_;
};

} // namespace stowline::disc
