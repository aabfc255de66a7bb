#pragma once

#include <QString>

namespace stowline::scheduler {

// What the scheduler tick and the command line need from the rest of the program.
class SchedulerHost {
public:
    virtual ~SchedulerHost() = default;

    // Selects the preset whose whole name matches `name`, letter case ignored, in the
    // preset list; false (nothing selected) when there is none.
    virtual bool selectPreset(const QString& name) = 0;
    // The backup run of the selected preset. Returns when the run has ended; it keeps
    // OperationInProgress set and processes events while it waits.
    virtual void RunPreset() = 0;
    // Sends the event log of the last `hours` hours by e-mail; true when it was sent.
    virtual bool SendLogByEmail(int hours) = 0;

    // Shows the main window, also when the program was started hidden.
    virtual void showMainWindow() = 0;
    // Hides the main window; the tray icon stays.
    virtual void hideMainWindow() = 0;
    // Removes the tray icon and adds it again.
    virtual void refreshTrayIcon() = 0;
    // Closes the main window, which runs the end sequence. Whoever wants no exit
    // confirmation sets CloseWithoutAsking first.
    virtual void closeProgram() = 0;

    // The language file `name` of the program folder becomes the program's language
    // (or "English (default).lng" the built-in one); the choice is saved and logged.
    virtual void chooseLanguage(const QString& name) = 0;
};

} // namespace stowline::scheduler
