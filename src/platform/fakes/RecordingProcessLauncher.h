#pragma once

#include "platform/ProcessLauncher.h"

#include <QList>
#include <QPointer>
#include <QStringList>

namespace stowline::platform {

// A program that "runs" until the test ends it.
class FakeRunningProcess final : public RunningProcess {
public:
    bool hasFinished() const override { return finished_; }
    int exitCode() const override { return exitCode_; }
    void terminate() override {
        terminated = true;
        end(-1);
    }

    void end(int exitCode = 0) {
        if (finished_)
            return;
        finished_ = true;
        exitCode_ = exitCode;
        emit finished();
    }

    bool terminated = false;

private:
    bool finished_ = false;
    int exitCode_ = 0;
};

// Records the programs it is asked to start: "program|parameters", with " (detached)"
// for the ones nobody waits for.
class RecordingProcessLauncher final : public ProcessLauncher {
public:
    std::unique_ptr<RunningProcess> start(const QString& file, const QString& parameters, bool,
                                          QString* error = nullptr) override {
        started << file + QLatin1Char('|') + parameters;
        if (refuses(file, error))
            return nullptr;
        auto process = std::make_unique<FakeRunningProcess>();
        processes << process.get();
        return process;
    }
    // Recorded as start() records; the descriptor goes to `passed`.
    std::unique_ptr<RunningProcess> startPassing(const QString& file, const QString& parameters,
                                                 bool hidden, const PassedDescriptor& descriptor,
                                                 QString* error = nullptr) override {
        passed << descriptor.variable;
        return start(file, parameters, hidden, error);
    }
    bool startDetached(const QString& file, const QString& parameters, bool,
                       QString* error = nullptr) override {
        started << file + QLatin1Char('|') + parameters + QStringLiteral(" (detached)");
        return !refuses(file, error);
    }

    QStringList started;
    QStringList passed; // the variables of the descriptors passed
    QStringList unstartable;
    // The processes handed out by start(), as long as their owner keeps them.
    QList<QPointer<FakeRunningProcess>> processes;

private:
    bool refuses(const QString& file, QString* error) const {
        if (!unstartable.contains(file))
            return false;
        if (error)
            *error = QStringLiteral("No such file");
        return true;
    }
};

} // namespace stowline::platform
