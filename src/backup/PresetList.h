#pragma once

#include "backup/PresetListModel.h"

#include <QObject>
#include <QString>

namespace stowline::core {
class EventLog;
class MessageTable;
struct Folders;
struct topt;
} // namespace stowline::core

namespace stowline::platform {
class Prompts;
}

namespace stowline::backup {

// The name handed to the preset editor for a preset that does not exist yet; it holds
// characters that no preset name may contain.
inline constexpr const char* kNewPresetMarker = "**new**?**new**";

// The set of presets is the set of complete presets in the presets folder: a .pst file
// with its .inc and .exc beside it. This class rebuilds the list model from the folder
// and carries out the list commands that act on whole presets with all their side
// files: new, duplicate, rename and delete.
class PresetList final : public QObject {
    Q_OBJECT
public:
    PresetList(const core::Folders& folders, const core::topt& options,
               const core::MessageTable& messages, core::EventLog& log, platform::Prompts& prompts,
               QObject* parent = nullptr);

    PresetListModel& model() { return model_; }
    const PresetListModel& model() const { return model_; }

    // Rebuilds the list from the folder and sorts it by the options lvc, lt1 to lt3.
    void ScanPresets();

    // The list commands. With the option spm set each asks for the admin password
    // first (delete: after its question); a cancelled or wrong password drops the
    // command. Duplicate, rename and delete act on the selected preset and do nothing
    // without one.
    //
    // New preset: true when the preset editor is to open for kNewPresetMarker.
    bool NewPreset();
    // Ask for the new name (the dialog stays while the name is empty), then
    // duplicatePresetAs or renamePresetAs.
    void DuplicatePreset();
    void RenamePreset();
    // Asks for confirmation, then deletes every side file of the preset.
    void DeletePreset();

    // The file work of duplicate and rename, without questions. A new name that is not
    // a valid preset name, or that another preset already uses, is refused with the
    // command's error line before anything changes. A failure leaves the files as they
    // were: a partial copy is removed, renamed files are moved back. The list is rebuilt
    // only on success.
    bool duplicatePresetAs(const QString& name, const QString& newName);
    bool renamePresetAs(const QString& name, const QString& newName);
    void deletePresetFiles(const QString& name);

    // A name that is a valid file name on every platform: not empty, not "." or "..",
    // and without control characters or any of \ / : * ? " < > |.
    static bool isValidPresetName(const QString& name);

signals:
    // Emitted by ScanPresets after the rows were rebuilt and before they are sorted.
    // Receivers connected directly rebuild their own preset choice and fill the run
    // texts, so that the sort sees them.
    void listRebuilt();
    // A preset was deleted; its schedule entries are to be removed.
    void presetDeleted(const QString& name);

private:
    bool confirmAdminPassword();
    bool askNewName(QStringView captionKey, const QString& name, QString& newName);
    QString sideFilePath(const QString& name, const QString& extension) const;
    bool anySideFileExists(const QString& name) const;
    void logError(QStringView messageKey);

    const core::Folders& folders_;
    const core::topt& options_;
    const core::MessageTable& messages_;
    core::EventLog& log_;
    platform::Prompts& prompts_;
    PresetListModel model_;
};

} // namespace stowline::backup
