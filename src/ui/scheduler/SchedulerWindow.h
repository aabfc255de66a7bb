#pragma once

#include "scheduler/ScheduleEntry.h"
#include "scheduler/ScheduleForm.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QModelIndex;

namespace stowline::core {
class Clock;
class EventLog;
class MessageTable;
struct topt;
} // namespace stowline::core

namespace stowline::platform {
class Prompts;
}

namespace stowline::scheduler {
class PresetCatalog;
class Schedule;
class ScheduleListModel;
} // namespace stowline::scheduler

namespace Ui {
class SchedulerWindow;
}

namespace stowline::ui {

class HelpTopics;

// What the scheduler window works with; the application owns all of it.
struct SchedulerWindowServices {
    scheduler::Schedule& schedule;
    scheduler::PresetCatalog& presets;
    // son (switched here) and smz (how minimizing behaves).
    core::topt& options;
    core::EventLog& log;
    const core::MessageTable& messages;
    const core::Clock& clock;
    platform::Prompts& prompts;
    HelpTopics& help;
    // The main window's show/hide command for a visible main window: hides it to the tray.
    std::function<void()> hideMainWindowToTray;
};

// Where the person at the desk sees and edits the schedule and switches the scheduler
// on and off. Lives for the whole run; closing hides it.
class SchedulerWindow final : public QWidget {
    Q_OBJECT
public:
    // The window's name in the language files' FORMS section.
    static constexpr const char* kFormName = "Form5";

    explicit SchedulerWindow(SchedulerWindowServices services, QWidget* parent = nullptr);
    ~SchedulerWindow() override;
    Q_DISABLE_COPY_MOVE(SchedulerWindow)

    // Shows the window with `presetOrEmpty` in the preset field. The caller has checked
    // the admin password (sph).
    void open(const QString& presetOrEmpty);
    // Fills the preset field's list again from the preset list, keeping the typed text.
    void refreshPresetNames();
    // The window's ChangeLang: captions from language `languageName` of the program folder.
    void changeLang(const QString& programFolder, const QString& languageName);

    scheduler::ScheduleFormFields fields() const;
    void setFields(const scheduler::ScheduleFormFields& fields);

    // The commands of the window's buttons.
    void addEntry();
    void updateEntry();
    void deleteEntry();
    void setToNow();
    void switchScheduler();

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::optional<scheduler::tschopt> entryFromFields();
    std::optional<scheduler::tschdata> selectedEntry() const;
    void selectEntry(const scheduler::tschdata& stored);
    void showRow(const QModelIndex& index);
    void dayBoxClicked(QCheckBox* box);
    void modeChanged();
    void updateWeekdayLabel(bool activated);
    void updateIndicator();
    void minimized();
    QList<QCheckBox*> weekdayBoxes() const;

    SchedulerWindowServices s_;
    std::unique_ptr<Ui::SchedulerWindow> ui_;
    scheduler::ScheduleListModel* model_;
    // The entry selected when the list was last reset, to select it again.
    std::optional<scheduler::tschdata> selectedBeforeReset_;
};

} // namespace stowline::ui
