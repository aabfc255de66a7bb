#pragma once

#include <QObject>
#include <QString>

#include <memory>

namespace stowline::platform {

// A program started by the launcher. Emits finished() once, on the UI thread.
class RunningProcess : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~RunningProcess() override = default;

    virtual bool hasFinished() const = 0;
    // The exit code once finished; -1 when the program crashed or was ended.
    virtual int exitCode() const = 0;
    // Ends the program at once (and its children where the platform allows).
    virtual void terminate() = 0;

signals:
    void finished();
};

// A descriptor of this program that a started program inherits, and the environment
// variable that tells it the descriptor's number.
struct PassedDescriptor {
    int fd = -1;
    QString variable;
};

// Starts programs the way the program's shell execution does: a program file, one
// parameter string (split into arguments with the Windows command-line rules), and a
// show mode. Files that are not executable programs are opened with their application.
class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    // Nothing when the program could not be started; `error` then says why. The program
    // belongs to the returned handle: it ends when the handle is destroyed and when this
    // program dies.
    virtual std::unique_ptr<RunningProcess> start(const QString& file, const QString& parameters,
                                                  bool hidden, QString* error = nullptr) = 0;
    // As start(), and the program inherits `passed`, which no other program started from
    // here gets (it must be opened close-on-exec), with its number in `passed.variable`.
    virtual std::unique_ptr<RunningProcess> startPassing(const QString& file,
                                                         const QString& parameters, bool hidden,
                                                         const PassedDescriptor& passed,
                                                         QString* error = nullptr) = 0;
    // Starts a program that lives on by itself: nobody waits for it or ends it.
    virtual bool startDetached(const QString& file, const QString& parameters, bool hidden,
                               QString* error = nullptr) = 0;
};

} // namespace stowline::platform
