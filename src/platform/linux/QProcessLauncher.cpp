#include "platform/linux/QProcessLauncher.h"

#include "platform/CommandLineSplit.h"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include <csignal>

#include <fcntl.h>

#include <sys/prctl.h>
#include <unistd.h>

namespace stowline::platform {

namespace {

class ChildProcess final : public RunningProcess {
public:
    explicit ChildProcess(const PassedDescriptor& passed = {}) {
        connect(&process_, &QProcess::finished, this, [this] {
            finished_ = true;
            emit finished();
        });
        if (passed.fd >= 0) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(passed.variable, QString::number(passed.fd));
            process_.setProcessEnvironment(environment);
        }
        // A program in its own process group can be ended together with its children.
        // A program we wait for also ends when the program dies without ending it (a
        // crash, SIGKILL), rather than running on as an orphan nobody reports.
        // The passed descriptor is opened close-on-exec; only this child keeps it.
        process_.setChildProcessModifier([parent = ::getpid(), fd = passed.fd] {
            ::setpgid(0, 0);
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (::getppid() != parent)
                ::raise(SIGTERM);
            if (fd >= 0)
                ::fcntl(fd, F_SETFD, 0);
        });
    }
    ~ChildProcess() override {
        if (process_.state() != QProcess::NotRunning) {
            process_.disconnect(this);
            terminate();
        }
    }

    bool start(const QString& program, const QStringList& arguments, bool hidden, QString* error) {
        process_.setProcessChannelMode(hidden ? QProcess::SeparateChannels
                                              : QProcess::ForwardedChannels);
        if (hidden) {
            process_.setStandardOutputFile(QProcess::nullDevice());
            process_.setStandardErrorFile(QProcess::nullDevice());
        }
        process_.setStandardInputFile(QProcess::nullDevice());
        process_.start(program, arguments);
        if (process_.waitForStarted())
            return true;
        if (error)
            *error = process_.errorString();
        return false;
    }

    bool hasFinished() const override { return finished_; }

    int exitCode() const override {
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }

    void terminate() override {
        if (process_.state() == QProcess::NotRunning)
            return;
        const qint64 id = process_.processId();
        if (id > 0)
            ::kill(-static_cast<pid_t>(id), SIGTERM);
        if (!process_.waitForFinished(3000)) {
            if (id > 0)
                ::kill(-static_cast<pid_t>(id), SIGKILL);
            process_.waitForFinished(3000);
        }
    }

private:
    QProcess process_;
    bool finished_ = false;
};

QString programPath(const QString& file) {
    if (file.contains(QLatin1Char('/')))
        return file;
    const QString found = QStandardPaths::findExecutable(file);
    return found.isEmpty() ? file : found;
}

// The program and arguments to start for a file and its parameter string. A file that
// is not an executable program is a document, opened with the application the desktop
// associates with it.
std::pair<QString, QStringList> commandFor(const QString& file, const QString& parameters) {
    const QString program = programPath(file);
    const QFileInfo info(program);
    if (info.isFile() && !info.isExecutable())
        return {QStringLiteral("xdg-open"), {program}};
    return {program, SplitCommandLine(parameters)};
}

} // namespace

std::unique_ptr<RunningProcess> QProcessLauncher::start(const QString& file,
                                                        const QString& parameters, bool hidden,
                                                        QString* error) {
    const auto [program, arguments] = commandFor(file, parameters);
    auto child = std::make_unique<ChildProcess>();
    if (!child->start(program, arguments, hidden, error))
        return nullptr;
    return child;
}

std::unique_ptr<RunningProcess>
QProcessLauncher::startPassing(const QString& file, const QString& parameters, bool hidden,
                               const PassedDescriptor& passed, QString* error) {
    const auto [program, arguments] = commandFor(file, parameters);
    auto child = std::make_unique<ChildProcess>(passed);
    if (!child->start(program, arguments, hidden, error))
        return nullptr;
    return child;
}

bool QProcessLauncher::startDetached(const QString& file, const QString& parameters, bool hidden,
                                     QString* error) {
    const auto [program, arguments] = commandFor(file, parameters);
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    if (hidden) {
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
    }
    if (process.startDetached())
        return true;
    if (error)
        *error = process.errorString();
    return false;
}

} // namespace stowline::platform
