#include "disc/SimulatedDiscEngine.h"

#include <QFileInfo>

namespace stowline::disc {

namespace {
// Directory records and volume descriptors of a small session.
constexpr qint64 kSessionOverheadBlocks = 20;
} // namespace

SimulatedDiscEngine::SimulatedDiscEngine(QObject* parent) : DiscEngine(parent) {
    done_.setSingleShot(true);
    connect(&done_, &QTimer::timeout, this, &SimulatedDiscEngine::finish);
}

bool SimulatedDiscEngine::fail(const QString& error) {
    lastError_ = error;
    return false;
}

QList<Recorder> SimulatedDiscEngine::recorders() {
    return busy() ? QList<Recorder>() : recorderList;
}

bool SimulatedDiscEngine::selectRecorder(const QString& address) {
    if (busy())
        return fail(QStringLiteral("the engine is busy"));
    if (failure == Failure::Select)
        return fail(QStringLiteral("cannot open ") + address);
    for (const Recorder& recorder : recorderList) {
        if (recorder.address == address) {
            selected_ = address;
            calls_ << QStringLiteral("select ") + address;
            return true;
        }
    }
    return fail(QStringLiteral("no recorder at ") + address);
}

void SimulatedDiscEngine::setCacheSize(int megabytes) {
    calls_ << QStringLiteral("cache %1").arg(megabytes);
}

void SimulatedDiscEngine::ejectMedium() {
    calls_ << QStringLiteral("eject");
}

void SimulatedDiscEngine::loadMedium() {
    calls_ << QStringLiteral("load");
}

void SimulatedDiscEngine::lockTray() {
    calls_ << QStringLiteral("lock");
}

void SimulatedDiscEngine::unlockTray() {
    calls_ << QStringLiteral("unlock");
}

bool SimulatedDiscEngine::isUnitReady() {
    if (busy())
        return false;
    ++checks_;
    return medium.ready && checks_ > checksUntilReady;
}

MediumInfo SimulatedDiscEngine::mediumInfo() {
    return busy() ? MediumInfo() : medium;
}

bool SimulatedDiscEngine::capability(int number) {
    return capabilities.contains(number);
}

void SimulatedDiscEngine::clearFiles() {
    files_.clear();
    imageBlocks_ = 0;
}

void SimulatedDiscEngine::addFile(const QString&, const QString& localPath) {
    files_ << localPath;
}

bool SimulatedDiscEngine::importLastSession() {
    if (failure == Failure::Import)
        return fail(QStringLiteral("the last session cannot be read"));
    calls_ << QStringLiteral("import");
    return true;
}

bool SimulatedDiscEngine::prepareImage() {
    if (failure == Failure::Prepare)
        return fail(QStringLiteral("the image cannot be laid out"));
    imageBlocks_ = kSessionOverheadBlocks;
    for (const QString& file : files_)
        imageBlocks_ += (QFileInfo(file).size() + kBlockBytes - 1) / kBlockBytes;
    return true;
}

bool SimulatedDiscEngine::start(Operation operation, Failure refusal) {
    if (busy())
        return fail(QStringLiteral("the engine is busy"));
    if (failure == refusal)
        return fail(QStringLiteral("the drive refused the command"));
    operation_ = operation;
    aborted_ = false;
    if (failure != Failure::NeverEnds)
        done_.start(operationTime);
    return true;
}

bool SimulatedDiscEngine::startErase() {
    calls_ << QStringLiteral("erase");
    return start(Operation::Erase, Failure::StartErase);
}

bool SimulatedDiscEngine::startWrite() {
    calls_ << QStringLiteral("write");
    writtenBlocks_ = 0;
    return start(Operation::Write, Failure::StartWrite);
}

bool SimulatedDiscEngine::startVerify() {
    calls_ << QStringLiteral("verify");
    verifiedAmount_ = 0;
    verifyTotal_ = 0;
    for (const QString& file : written_)
        verifyTotal_ += QFileInfo(file).size();
    return start(Operation::Verify, Failure::StartVerify);
}

void SimulatedDiscEngine::abortOperation() {
    calls_ << QStringLiteral("abort");
    if (!busy())
        return;
    aborted_ = true;
    done_.start(0);
}

QString SimulatedDiscEngine::verifiedFileName(int index) const {
    return written_.value(index);
}

void SimulatedDiscEngine::finish() {
    const Operation operation = operation_;
    operation_ = Operation::None;
    switch (operation) {
    case Operation::None:
        return;
    case Operation::Erase: {
        const bool failed = aborted_ || failure == Failure::Erase;
        if (!failed) {
            medium.sessions = 0;
            medium.freeBlocks = medium.totalBlocks;
            medium.writable = true;
        }
        emit eraseDone(failed);
        return;
    }
    case Operation::Write: {
        const bool failed = aborted_ || failure == Failure::Write;
        if (!failed) {
            writtenBlocks_ = imageBlocks_;
            medium.sessions += 1;
            medium.freeBlocks = std::max<qint64>(0, medium.freeBlocks - imageBlocks_);
            written_ = files_;
        }
        emit writeDone(failed);
        return;
    }
    case Operation::Verify: {
        bool anyFailed = aborted_;
        for (int i = 0; i < written_.size() && !aborted_; ++i) {
            verifiedAmount_ += QFileInfo(written_[i]).size();
            if (damagedOnDisc.contains(written_[i])) {
                anyFailed = true;
                emit verifyDone(true, i);
            }
        }
        emit verifyDone(anyFailed, -1);
        return;
    }
    }
}

} // namespace stowline::disc
