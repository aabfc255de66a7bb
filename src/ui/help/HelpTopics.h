#pragma once

#include <QString>
#include <QStringList>

namespace stowline::core {
class MessageTable;
}

namespace stowline::platform {
class HelpViewer;
class Prompts;
} // namespace stowline::platform

namespace stowline::ui {

// The pages of the manual that the windows open, each a file of the folder "manual" in
// the program folder.
namespace topics {
inline constexpr const char* kIndex = "index.htm";
inline constexpr const char* kScheduler = "configuring_the_scheduler.htm";
inline constexpr const char* kSettingsGeneral = "settings_-_general_tab.htm";
inline constexpr const char* kSettingsInterface = "settings_-_interface_tab.htm";
inline constexpr const char* kSettingsRemoteAccess = "settings_-_remote_access_tab.htm";
inline constexpr const char* kSettingsDialup = "settings_-_dialup_tab.htm";
inline constexpr const char* kSettingsErrorManagement = "settings_-_error_management_tab.htm";
inline constexpr const char* kSettingsSecurity = "settings_-_security_tab.htm";
inline constexpr const char* kSettingsAppearance = "settings_-_appearance_tab.htm";
inline constexpr const char* kSettingsBin = "settings_-_swl-bin_tab.htm";
inline constexpr const char* kPresetGeneral = "preset_configuration_-_general_tab.htm";
inline constexpr const char* kPresetActions = "preset_configuration_-_actions_tab.htm";
inline constexpr const char* kPresetFileLists = "preset_configuration_-_file_lists_tab.htm";
inline constexpr const char* kPresetNotes = "preset_configuration_-_notes.htm";
inline constexpr const char* kRenamePreset = "renaming_a_preset.htm";
inline constexpr const char* kDuplicatePreset = "duplicating_a_preset.htm";
inline constexpr const char* kFolderWatchers = "using_shell_notifier.htm";
inline constexpr const char* kRestore = "restoring_backup_files.htm";
inline constexpr const char* kShortcut = "making_a_windows_shortcut_to_run_a_preset.htm";
} // namespace topics

// Every topic above.
const QStringList& allHelpTopics();

// The project's page, opened by the web-page command: a web address, or a file relative
// to the program folder.
inline constexpr const char* kProjectPageAddress = "manual/about.htm";

// Opens help topics and the project's page through the desktop's viewer, and tells the
// person at the desk when that fails.
class HelpTopics final {
public:
    HelpTopics(QString programFolder, platform::HelpViewer& viewer, platform::Prompts& prompts,
               const core::MessageTable& messages);

    // Opens manual/<topic> of the program folder. A missing page or a viewer that cannot
    // be started shows "Cannot execute command." with the reason. True when opened.
    bool ShowHelpTopic(const QString& topic);
    // The web-page command: kProjectPageAddress, the same way.
    bool showProjectPage();

    // program folder + "/manual/" + topic; empty when `topic` is not a plain file name.
    QString topicPath(const QString& topic) const;

private:
    bool openFile(const QString& path, const QString& shownName);
    void reportFailure(const QString& reason);

    QString programFolder_;
    platform::HelpViewer& viewer_;
    platform::Prompts& prompts_;
    const core::MessageTable& messages_;
};

} // namespace stowline::ui
