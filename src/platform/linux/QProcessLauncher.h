#pragma once

#include "platform/ProcessLauncher.h"

namespace stowline::platform {

// Starts programs as child processes through QProcess. A hidden program's output is
// discarded; otherwise it goes to the program's own standard output and error.
class QProcessLauncher final : public ProcessLauncher {
public:
    std::unique_ptr<RunningProcess> start(const QString& file, const QString& parameters,
                                          bool hidden, QString* error = nullptr) override;
    std::unique_ptr<RunningProcess> startPassing(const QString& file, const QString& parameters,
                                                 bool hidden, const PassedDescriptor& passed,
                                                 QString* error = nullptr) override;
    bool startDetached(const QString& file, const QString& parameters, bool hidden,
                       QString* error = nullptr) override;
};

} // namespace stowline::platform
