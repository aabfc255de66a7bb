#pragma once

#include "LogMessages.h"
#include "core/Clock.h"
#include "core/EventLog.h"
#include "core/MessageTable.h"
#include "core/OptionFields.h"
#include "core/Options.h"
#include "core/ProgramState.h"
#include "platform/fakes/FakeNamedEvent.h"
#include "platform/fakes/RecordingPowerActions.h"
#include "platform/fakes/RecordingProcessLauncher.h"
#include "platform/fakes/RecordingSoundPlayer.h"
#include "scheduler/PresetCatalog.h"
#include "scheduler/Schedule.h"
#include "scheduler/SchedulerEngine.h"
#include "scheduler/SchedulerHost.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>

#include <functional>

namespace stowline::scheduler::testing {

// 18 March 2016 was a Friday.
inline QDateTime at(int day, int hour, int minute = 0, int second = 0) {
    return QDateTime(QDate(2016, 3, day), QTime(hour, minute, second));
}

// A preset list of names with their run texts.
class FakePresetCatalog final : public PresetCatalog {
public:
    explicit FakePresetCatalog(QStringList names = {})
        : names(std::move(names)), nextRuns(this->names.size()), lastRuns(this->names.size()) {}

    QStringList presetNames() const override { return names; }
    void setNextRunText(int row, const QString& text) override { nextRuns[row] = text; }
    QString lastRunText(int row) const override { return lastRuns.at(row); }
    void setLastRunText(int row, const QString& text) override { lastRuns[row] = text; }

    QStringList names;
    QStringList nextRuns;
    QStringList lastRuns;
};

// Records what the scheduler asks of the program: "select:Docs", "run:Docs", "show",
// "hide", "tray", "close", "sendlog:48", "language:Deutsch.lng".
class RecordingHost final : public SchedulerHost {
public:
    explicit RecordingHost(const QStringList& presets) : presets_(presets) {}

    bool selectPreset(const QString& name) override {
        calls << QStringLiteral("select:") + name;
        for (const QString& preset : presets_) {
            if (preset.compare(name, Qt::CaseInsensitive) == 0) {
                selected_ = preset;
                return true;
            }
        }
        return false;
    }
    void RunPreset() override {
        calls << QStringLiteral("run:") + selected_;
        if (duringRun)
            duringRun(selected_);
    }
    bool SendLogByEmail(int hours) override {
        calls << QStringLiteral("sendlog:%1").arg(hours);
        if (duringSend)
            duringSend();
        return logSent;
    }
    void showMainWindow() override { calls << QStringLiteral("show"); }
    void hideMainWindow() override { calls << QStringLiteral("hide"); }
    void refreshTrayIcon() override { calls << QStringLiteral("tray"); }
    void closeProgram() override { calls << QStringLiteral("close"); }
    void chooseLanguage(const QString& name) override {
        calls << QStringLiteral("language:") + name;
    }

    QStringList runs() const { return calls.filter(QStringLiteral("run:")); }

    QStringList calls;
    std::function<void(const QString& preset)> duringRun;
    std::function<void()> duringSend;
    bool logSent = true;

private:
    QStringList presets_;
    QString selected_;
};

// The state one instance of the program holds, on a temporary data folder.
struct InstanceState {
    explicit InstanceState(const QString& dataFolder, QStringList presets, QDateTime now)
        : clock(std::move(now)), catalog(presets), host(presets) {
        folders.program = dataFolder;
        folders.data = dataFolder;
        folders.presets = dataFolder + QStringLiteral("/presets");
        core::SetOptionDefaults(options, {folders.program, folders.data, QSize()});
    }

    // The messages of the on-screen log, without their time stamps.
    QStringList logMessages() { return stowline::testing::withoutTimeStamps(log.model().lines()); }

    // The preset names of the schedule's entries, in order.
    QStringList presnames() const {
        QStringList names;
        for (const tschdata& stored : schedule.entries())
            names << stored.presname;
        return names;
    }

    core::Folders folders;
    core::ProgramFlags flags;
    core::topt options;
    core::MessageTable messages;
    core::ManualClock clock;
    platform::RecordingSoundPlayer sound;
    core::EventLog log{folders, flags, options, messages, clock, sound};
    FakePresetCatalog catalog;
    RecordingHost host;
    Schedule schedule{folders, log, messages, catalog};
};

// Processes events until `done` holds or `milliseconds` have passed; true when it holds.
inline bool processEventsUntil(const std::function<bool()>& done, int milliseconds = 5000) {
    QDeadlineTimer deadline(milliseconds);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

} // namespace stowline::scheduler::testing
