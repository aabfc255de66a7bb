#pragma once

#include "core/LogListModel.h"
#include "core/MessageTable.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace stowline::platform {
class Prompts;
class SoundPlayer;
} // namespace stowline::platform

namespace stowline::core {

class Clock;
class MessageTable;
struct Folders;
struct ProgramFlags;
struct topt;

// The event log: the on-screen list and swl.log in the data folder, written line by line
// so that the log survives a crash. A line whose message holds "[!]" is an error line.
class EventLog final : public QObject {
    Q_OBJECT
public:
    // Sends one error line by e-mail at once; true when it was sent.
    using ErrorReportSender = std::function<bool(const QString& line)>;

    EventLog(const Folders& folders, ProgramFlags& flags, const topt& options,
             const MessageTable& messages, const Clock& clock, platform::SoundPlayer& sound,
             QObject* parent = nullptr);

    void WriteLog(const QString& message);
    // Puts the current preset's name and ": " before the message.
    void WritePresetLog(const QString& message);
    // The same, as error lines: the error mark is appended.
    void WriteError(const QString& message) { WriteLog(errorMessage(message)); }
    void WritePresetError(const QString& message) { WritePresetLog(errorMessage(message)); }
    // Shortens swl.log to the option lsz (0 = no limit) and reloads the list.
    void TruncateLog();
    // Asks, then deletes swl.log and empties the list. Nothing is logged.
    void DeleteAllRecords(platform::Prompts& prompts);
    // Writes the lines of the list to `path`, replacing it.
    bool ExportTo(const QString& path, QString* error = nullptr) const;
    // Fills the list from swl.log (start-up of the first instance).
    void LoadFromFile();

    void setCurrentPresetName(const QString& name) { currentPresetName_ = name; }
    const QString& currentPresetName() const { return currentPresetName_; }
    void setErrorReportSender(ErrorReportSender sender) { sendErrorReport_ = std::move(sender); }
    // While held (a report or another mail is being sent), error reports queue up; they
    // go out one after the other, in order, when the last hold is released. A report is
    // therefore never started from inside another.
    void holdErrorReports() { ++reportHolds_; }
    void releaseErrorReports();
    // A second instance appends to swl.log but never fills the on-screen list.
    void setShowsList(bool showsList) { showsList_ = showsList; }

    LogListModel& model() { return model_; }
    QString logFilePath() const;
    // "[yyyy.mm.dd hh:nn:ss] " + message, with the clock's current time.
    QString formatLine(const QString& message) const;
    static bool isErrorMessage(const QString& message);

private:
    void writeLine(const QString& message, const QString& shownMessage);
    std::optional<QStringList> readLogLines(int* cutLines = nullptr);
    void appendToFile(const QString& line);
    void reportFileFailure(const QString& what, const QString& reason);
    void sendPendingReports();

    const Folders& folders_;
    ProgramFlags& flags_;
    const topt& options_;
    const MessageTable& messages_;
    const Clock& clock_;
    platform::SoundPlayer& sound_;
    ErrorReportSender sendErrorReport_;
    QStringList pendingReports_;
    int reportHolds_ = 0;
    LogListModel model_;
    QString currentPresetName_;
    bool showsList_ = true;
    bool fileFailureReported_ = false;
};

} // namespace stowline::core
