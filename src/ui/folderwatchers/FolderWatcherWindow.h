#pragma once

#include "shell/WatcherTasks.h"

#include <QDialog>

#include <memory>

namespace Ui {
class FolderWatcherWindow;
}

namespace stowline::core {
class Clock;
class MessageTable;
} // namespace stowline::core

namespace stowline::platform {
class Prompts;
}

namespace stowline::shell {
class FolderWatchers;
}

namespace stowline::ui {

struct FolderWatcherWindowServices {
    shell::FolderWatchers& watchers;
    const core::MessageTable& messages;
    const core::Clock& clock;
    platform::Prompts& prompts;
    // The preset names offered.
    std::function<QStringList()> presetNames;
    // Asks for a folder; empty when cancelled.
    std::function<QString(const QString& title, const QString& start)> chooseFolder;
};

// Edits the nine folder watcher tasks on a working copy; OK stores and applies them.
class FolderWatcherWindow final : public QDialog {
    Q_OBJECT
public:
    explicit FolderWatcherWindow(FolderWatcherWindowServices services, QWidget* parent = nullptr);
    ~FolderWatcherWindow() override;

    // Reads swl.snt again and shows slot 1.
    void openTasks();
    // Captions and hints from language `languageName` of the program folder (the window
    // is "shellnotifierform" in language files).
    void changeLang(const QString& programFolder, const QString& languageName);
    const shell::WatcherTaskArray& workingCopy() const { return working_; }
    int selectedSlot() const;

    void accept() override;
    void reject() override;

private:
    void showSlot(int slot);
    void storeShown();
    void refreshList();
    void reactivate();
    void firedWhileOpen(int slot, const QDateTime& till);

    FolderWatcherWindowServices services_;
    std::unique_ptr<Ui::FolderWatcherWindow> ui_;
    shell::WatcherTaskArray working_;
    int shown_ = 0;
    bool filling_ = false;
};

} // namespace stowline::ui
