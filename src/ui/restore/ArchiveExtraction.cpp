#include "ui/restore/ArchiveExtraction.h"

#include <QProcessEnvironment>
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

namespace stowline::ui {

ArchiveExtraction::ArchiveExtraction(QString archiver, QObject* parent)
    : QObject(parent), archiver_(std::move(archiver)) {
    connect(&process_, &QProcess::finished, this,
            [this](int exitCode, QProcess::ExitStatus status) {
                readProgress();
                closePipe();
                report_ = QString::fromUtf8(process_.readAllStandardOutput()).trimmed();
                errors_ = QString::fromUtf8(process_.readAllStandardError()).trimmed();
                emit finished(status == QProcess::NormalExit ? exitCode : -1);
            });
    connect(&process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        closePipe();
        errors_ = process_.errorString();
        emit finished(-1);
    });
}

ArchiveExtraction::~ArchiveExtraction() {
    if (isRunning()) {
        process_.terminate();
        process_.waitForFinished(5000);
    }
    closePipe();
}

void ArchiveExtraction::start(const QString& archive, const QString& folder,
                              const QString& password, bool replaceExisting) {
    report_.clear();
    errors_.clear();
    pending_.clear();
    closePipe();
    QStringList arguments{QStringLiteral("x"),
                          replaceExisting ? QStringLiteral("-o+") : QStringLiteral("-o-")};
    if (!password.isEmpty())
        arguments << QStringLiteral("-p") + password;
    QString target = folder;
    if (!target.endsWith(QLatin1Char('/')))
        target += QLatin1Char('/');
    arguments << QStringLiteral("--") << archive << target;

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) == 0) {
        readEnd_ = ends[0];
        writeEnd_ = ends[1];
        ::fcntl(readEnd_, F_SETFL, ::fcntl(readEnd_, F_GETFL) | O_NONBLOCK);
        environment.insert(QStringLiteral("STOWLINE_PROGRESS_FD"), QString::number(writeEnd_));
        notifier_ = std::make_unique<QSocketNotifier>(readEnd_, QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this,
                &ArchiveExtraction::readProgress);
        // Only the archiver gets the write end: it is close-on-exec everywhere else.
        const int passed = writeEnd_;
        process_.setChildProcessModifier([passed] { ::fcntl(passed, F_SETFD, 0); });
    }
    process_.setProcessEnvironment(environment);
    process_.start(archiver_, arguments);
    if (writeEnd_ >= 0) {
        // The pipe ends when the archiver does.
        ::close(writeEnd_);
        writeEnd_ = -1;
    }
}

void ArchiveExtraction::cancel() {
    if (isRunning())
        process_.terminate();
}

void ArchiveExtraction::readProgress() {
    if (readEnd_ < 0)
        return;
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(readEnd_, buffer, sizeof buffer);
        if (count <= 0)
            break;
        pending_.append(buffer, count);
    }
    qsizetype end = -1;
    qint64 done = -1;
    qint64 total = 0;
    while ((end = pending_.indexOf('\n')) >= 0) {
        const QList<QByteArray> numbers = pending_.left(end).split(' ');
        pending_.remove(0, end + 1);
        if (numbers.size() == 2) {
            done = numbers[0].toLongLong();
            total = numbers[1].toLongLong();
        }
    }
    if (done >= 0)
        emit progress(done, total);
}

void ArchiveExtraction::closePipe() {
    notifier_.reset();
    if (readEnd_ >= 0)
        ::close(readEnd_);
    if (writeEnd_ >= 0)
        ::close(writeEnd_);
    readEnd_ = writeEnd_ = -1;
}

} // namespace stowline::ui
