#include "backup/ArchiverProgress.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace stowline::backup {

namespace {
constexpr const char* kProgressVariable = "STOWLINE_PROGRESS_FD";
// A line is "done total": two numbers. Anything longer is no progress line.
constexpr qsizetype kLongestLine = 64;

// The write end must not land on a standard stream's number: the child's standard
// streams are set up on 0 to 2 before it runs.
int aboveStandardStreams(int fd) {
    if (fd > STDERR_FILENO)
        return fd;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    ::close(fd);
    return moved;
}
} // namespace

ArchiverProgress::ArchiverProgress(RunProgress& progress, QString runFolder, QObject* parent)
    : QObject(parent), progress_(progress), runFolder_(std::move(runFolder)) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        readEnd_ = ends[0];
        writeEnd_ = aboveStandardStreams(ends[1]);
        // The archiver's end blocks as a pipe normally does; it makes it non-blocking itself.
        if (writeEnd_ >= 0)
            ::fcntl(writeEnd_, F_SETFL, 0);
        notifier_ = std::make_unique<QSocketNotifier>(readEnd_, QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this, &ArchiverProgress::readPipe);
    }
    poll_.setInterval(kPollInterval);
    connect(&poll_, &QTimer::timeout, this, &ArchiverProgress::pollRunFolder);
}

ArchiverProgress::~ArchiverProgress() {
    closeReadEnd();
    if (writeEnd_ >= 0)
        ::close(writeEnd_);
}

platform::PassedDescriptor ArchiverProgress::descriptorForArchiver() const {
    return {readEnd_ >= 0 ? writeEnd_ : -1, QString::fromLatin1(kProgressVariable)};
}

void ArchiverProgress::archiverStarted() {
    if (writeEnd_ >= 0)
        ::close(writeEnd_);
    writeEnd_ = -1;
    poll_.start();
}

void ArchiverProgress::archiverFinished() {
    poll_.stop();
    readPipe();
    if (!heardFromArchiver_)
        pollRunFolder();
    closeReadEnd();
}

void ArchiverProgress::closeReadEnd() {
    notifier_.reset();
    if (readEnd_ >= 0)
        ::close(readEnd_);
    readEnd_ = -1;
}

void ArchiverProgress::readPipe() {
    if (readEnd_ < 0)
        return;
    char buffer[4096];
    while (true) {
        const ssize_t got = ::read(readEnd_, buffer, sizeof buffer);
        if (got > 0) {
            pending_.append(buffer, got);
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        // EAGAIN: all read for now. 0: the archiver closed its end.
        if (got == 0 && notifier_)
            notifier_->setEnabled(false);
        break;
    }
    takeLines();
}

// Only the last complete line counts: earlier ones are already out of date.
void ArchiverProgress::takeLines() {
    const qsizetype end = pending_.lastIndexOf('\n');
    if (end < 0) {
        if (pending_.size() > kLongestLine)
            pending_.clear();
        return;
    }
    const qsizetype start = pending_.lastIndexOf('\n', end - 1) + 1;
    const QList<QByteArray> numbers = pending_.mid(start, end - start).split(' ');
    pending_.remove(0, end + 1);
    if (numbers.size() != 2)
        return;
    bool doneOk = false;
    bool totalOk = false;
    const qint64 done = numbers[0].toLongLong(&doneOk);
    const qint64 total = numbers[1].toLongLong(&totalOk);
    if (!doneOk || !totalOk || done < 0 || total < 0 || done > total)
        return;
    heardFromArchiver_ = true;
    poll_.stop();
    progress_.update(RunProgress::Phase::Archiving, done, total);
}

void ArchiverProgress::pollRunFolder() {
    if (heardFromArchiver_ || runFolder_.isEmpty())
        return;
    qint64 written = 0;
    QDirIterator files(runFolder_, QDir::Files | QDir::Hidden | QDir::System,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        files.next();
        written += files.fileInfo().size();
    }
    progress_.update(RunProgress::Phase::Archiving, written, RunProgress::kUnknownTotal);
}

} // namespace stowline::backup
