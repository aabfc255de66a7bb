#pragma once

#include "backup/Preset.h"
#include "ui/preseteditor/PresetEditorRules.h"

#include <QDialog>
#include <QStringList>

#include <functional>
#include <memory>

class QPlainTextEdit;

namespace stowline::backup {
class PresetStore;
}

namespace stowline::core {
class MessageTable;
struct Folders;
struct ProgramFlags;
} // namespace stowline::core

namespace stowline::platform {
class ProcessLauncher;
class Prompts;
} // namespace stowline::platform

namespace Ui {
class PresetEditor;
}

namespace stowline::ui {

class ActionsPage;
class FileListsPage;
class PresetGeneralPage;
class NotesPage;

struct DiscRecording {
    bool available = false;
    QStringList recorders; // addresses of the recorders that write
};

// What the preset editor works with; the application owns all of it.
struct PresetEditorServices {
    const core::Folders& folders;
    const core::MessageTable& messages;
    // The program-wide shutdown ends the wait for the text editor.
    const core::ProgramFlags& flags;
    platform::Prompts& prompts;
    platform::ProcessLauncher& launcher;
    const backup::PresetStore& store;
    // The names of the presets in the preset list.
    std::function<QStringList()> presetNames;
    // A preset was added or its image changed: the preset list is rebuilt.
    std::function<void()> presetListChanged;
    // Whether disc recording can be used on this machine, and the recorders offered for
    // the preset's recorder field.
    std::function<DiscRecording()> discRecording;
    std::function<void(const QString& topic)> showHelp;
    // For the captions: the program folder and the language file in use (lng).
    QString programFolder;
    QString language;
};

// The window in which one preset is created or changed: every field of the preset on
// four tabs, the include and exclude lists, notes, archive comment and image. Nothing
// is written before OK except by the commands that say so (text editor, image,
// defaults). Made for one opening.
class PresetEditor final : public QDialog {
    Q_OBJECT
public:
    // The window's name in the language files' FORMS section.
    static constexpr const char* kFormName = "Form3";

    // `presetName` is backup::kNewPresetMarker for a new preset. Call open() next.
    PresetEditor(PresetEditorServices services, const QString& presetName,
                 QWidget* parent = nullptr);
    ~PresetEditor() override;
    Q_DISABLE_COPY_MOVE(PresetEditor)

    // Loads the preset (a new one from the defaults file when there is one) and
    // applies the language. For an existing preset with a password the password is
    // asked first; false when it was not given, the preset cannot be read, or the
    // preset is the one running (`running`), with the reason shown.
    bool load(bool running = false);

    bool isNewPreset() const { return newPreset_; }
    QString presetName() const;
    // The values the window shows, as a preset record.
    backup::tarcopt shownPreset() const;
    // Shows every field of `preset` and applies the field dependencies' enabled states
    // (no value changes).
    void showPreset(const backup::tarcopt& preset);
    void showTab(EditorTab tab);
    EditorTab currentTab() const;

    // The commands of the window's buttons.
    // Checks, saves and closes; on a failed check or a failed save the window stays
    // with everything the user entered.
    bool confirm();
    void saveAsDefault();
    void loadDefaults();
    void showHelp();
    void changePassword();
    void editListInTextEditor(QPlainTextEdit& list, const QString& extension);
    void selectImage();
    void removeImage();
    void openFilter();
    void openPicker();

    QStringList includeLines() const;
    QStringList excludeLines() const;
    void setIncludeLines(const QStringList& lines);
    void setExcludeLines(const QStringList& lines);

    // True while a list file is open in the text editor; the window refuses to close.
    bool waitingForTextEditor() const { return waitingForTextEditor_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

public slots:
    void reject() override;

private:
    void connectDependencies();
    void applyRule(void (*rule)(backup::tarcopt&));
    void applyControlStates();
    void fillDictionaryChoices(bool rar5);
    void updatePriorityLabel();
    void archiveNameLeft();
    void encryptionBoxClicked(bool ticked);
    void deleteBoxClicked(bool ticked);
    void ignoreConfigBoxClicked(bool ticked);
    void mirrorTaskBoxes();
    void showPresetImage();
    void resizeCheckBoxes();
    void changeLang();
    QString text(QStringView key) const;
    QString imagePath() const;
    void loadSideFiles(const QString& name);
    bool confirmNameForNewPreset(QString& name);

    PresetEditorServices s_;
    std::unique_ptr<Ui::PresetEditor> ui_;
    PresetGeneralPage* general_;
    ActionsPage* actions_;
    FileListsPage* fileLists_;
    NotesPage* notes_;
    QString name_;
    bool newPreset_;
    // The preset as loaded: the fields without a control (efa, the keys older files
    // hold) are kept from it.
    backup::tarcopt loaded_;
    bool discAvailable_ = false;
    bool applyingRule_ = false;
    bool waitingForTextEditor_ = false;
};

} // namespace stowline::ui
