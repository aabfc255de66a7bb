#pragma once

#include <QString>

namespace stowline::core {

// Program-wide flags, read and written on the UI thread only.
struct ProgramFlags {
    bool SecondInstance = false;      // this process is not the first instance
    bool OperationInProgress = false; // a run, log maintenance or scheduled program is busy
    bool AbortRequested = false;      // the running backup is asked to stop
    bool ErrorLogged = false;         // an error line was logged since the start
    bool CloseWithoutAsking = false;  // the next close is not confirmed
};

// Sets OperationInProgress for its lifetime and puts the earlier value back on every
// way out, so an error can never leave the program unable to close, and an operation
// inside another (an error report during a run) does not end the outer one.
class OperationScope {
public:
    explicit OperationScope(ProgramFlags& flags)
        : flags_(flags), before_(flags.OperationInProgress) {
        flags_.OperationInProgress = true;
    }
    ~OperationScope() { flags_.OperationInProgress = before_; }
    OperationScope(const OperationScope&) = delete;
    OperationScope& operator=(const OperationScope&) = delete;

private:
    ProgramFlags& flags_;
    bool before_;
};

// The program's own folders, without trailing separators.
struct Folders {
    QString program;
    QString data;
    QString presets; // data folder + "/presets"

    QString inData(const QString& name) const { return data + QLatin1Char('/') + name; }
    QString inProgram(const QString& name) const { return program + QLatin1Char('/') + name; }
};

// Fixed texts of this build, shown in the start-up line.
inline constexpr const char* kVersionText = "3.01";
inline constexpr const char* kBuildDateText = "2016.03.15";

} // namespace stowline::core
