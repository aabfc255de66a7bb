#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

namespace stowline::core {
struct topt;
}
namespace stowline::backup {
struct tarcopt;
}

namespace stowline::e2e {

// A sandbox for the real program: its own HOME, runtime folder, program folder (with
// swlinfo.dat naming a data folder that does not exist yet) and data folder.
class ProgramSandbox {
public:
    ProgramSandbox();

    QString programFolder() const { return root_.filePath(QStringLiteral("program")); }
    QString dataFolder() const { return root_.filePath(QStringLiteral("data")); }
    QString path(const QString& relative) const { return root_.filePath(relative); }
    QProcessEnvironment environment() const;
    // The bus the program takes for the system bus; by default one that does not exist,
    // so that no test reaches the machine's own.
    void useSystemBus(const QString& address) { systemBus_ = address; }

    // Starts the program with `arguments`; the caller owns the process.
    void start(QProcess& process, const QStringList& arguments = {}) const;
    // Waits until swl.log holds a line ending in `message`.
    bool waitForLogLine(const QString& message, int timeoutMs = 15000) const;
    QStringList logLines() const;
    // Lines of swl.log without their time stamps.
    QStringList logMessages() const;
    // A preset with the folder task: `source` archived into destination().
    void addPreset(const QString& name, const QString& source,
                   const QStringList& fields = {}) const;
    // Reads the preset file of `name` as the program does; false when it cannot be read.
    bool loadPreset(const QString& name, backup::tarcopt& preset) const;
    QString destination() const { return root_.filePath(QStringLiteral("dest")); }
    // Runs the program to its end; false when it did not end within `timeoutMs`.
    bool runToEnd(QProcess& process, const QStringList& arguments, int timeoutMs = 30000) const;

private:
    QTemporaryDir root_;
    QString systemBus_;
};

// A sandbox whose data folder exists, with one file to back up under source().
class BackupSandbox : public ProgramSandbox {
public:
    explicit BackupSandbox(const QString& file = QStringLiteral("sub/notes.txt"),
                           const QByteArray& content = "keep me\n");
    QString source() const { return path(QStringLiteral("source")); }
    // One start and end, so that the settings (such as the temporary folder) are
    // stored and later starts log no first-start errors. False when it did not end.
    bool settle() const;
    // Loads swl.opt, lets `change` edit it and stores it again.
    void changeOptions(const std::function<void(core::topt&)>& change) const;
};

// `environment` with the sanitizer build's leak check at exit turned off: for programs run
// under ptrace, where LeakSanitizer cannot work, and where a library is known to keep
// memory of ours past exit now and then.
QProcessEnvironment withoutLeakCheck(QProcessEnvironment environment);

} // namespace stowline::e2e
