#pragma once

#include "backup/Preset.h"

#include <QString>
#include <QStringList>

namespace stowline::ui {

// The archive formats of the format list (fmt).
inline constexpr int kZipFormat = 1;

// The tabs of the preset editor, in the order of its pages.
enum class EditorTab { General, Actions, FileLists, Notes };

// The manual topic F1 opens for a tab.
QString helpTopicForTab(EditorTab tab);

// Which controls of the editor may be used for the values a preset holds. Applying
// these never changes a value, so a preset opens and saves unchanged.
struct EditorControlStates {
    bool rar5 = true;           // ra5
    bool recoveryRecord = true; // arr and rrp
    bool dictionary = true;     // dic
    bool directMode = false;    // drm
    bool deliveryTasks = true;  // the FTP, e-mail and disc task boxes
    bool overwrite = true;      // owe
    bool emptyMask = true;      // ems
    bool priority = false;      // wpp and wps
    // The caption key of the box that empties the destination (efl).
    QString emptyCaptionKey = QStringLiteral("cemptymask");
};
EditorControlStates controlStates(const backup::tarcopt& preset);

// The fields a change of one controlling field resets. Each changes `preset` as the
// editor does when the user changes that field, before controlStates is applied.
void formatChanged(backup::tarcopt& preset);          // fmt
void directArchivingChanged(backup::tarcopt& preset); // dra
void priorityBoxChanged(backup::tarcopt& preset);     // wpc
void rar5Changed(backup::tarcopt& preset);            // ra5: the dictionary list is new

// The dictionary list: the word for "Auto" followed by the sizes of the format.
QStringList dictionaryChoices(bool rar5, const QString& autoWord);

// The message key of the priority slider's label for `priority` (0 to 15).
QString priorityLabelKey(int priority);

// The mask the empty-folder field (ems) takes when it is empty and the archive name is
// left: "*" + name + "*.*".
QString maskForArchiveName(const QString& archiveName);

// What the editor checks on OK, in this order.
struct OkCheckInput {
    QString presetName;
    const backup::tarcopt& preset;
    const QStringList& includeLines;
    bool discAvailable = false;
};
struct OkCheckResult {
    // The disc task must be cleared (ticked, but disc recording is not available).
    bool clearDiscTask = false;
    // The message key of the first check that failed; empty when all passed.
    QString failedKey;
};
OkCheckResult checkBeforeSave(const OkCheckInput& input);

// Why a new preset cannot take `name`: empty when it can. A name that would leave the
// presets folder or hide the file ("/", "\", "..", control characters, a leading dot,
// and what no file name on any platform may hold) gives "presetnameinvalid"; a name
// another preset already has, compared without regard to case, "presetnameexists".
QString newPresetNameRefusal(const QString& name, const QStringList& existingNames);

// Include and exclude lists. Lines are compared without regard to case.
bool listHolds(const QStringList& lines, const QString& line);
// Adds `line` unless the list holds it already; true when it was added.
bool addUniqueLine(QStringList& lines, const QString& line);
// Reduces every run of equal neighbouring lines to its first line.
void collapseEqualNeighbours(QStringList& lines);
// The line a folder becomes in the include list: with the only-files box, the folder's
// files ("/*.*" appended unless it ends in "/").
QString includeLineForPath(const QString& path, bool isFolder, bool onlyFiles);
// A file or folder dropped on the include list: with the only-files box a folder is
// added as its files even when the list holds that line already (the neighbour
// reduction may remove it); otherwise the path is added once.
void dropOnIncludeList(QStringList& lines, const QString& path, bool isFolder, bool onlyFiles);

// The attribute exclusion switch (efa) of the filter settings and its four boxes, in
// the order archive, read-only, hidden, system.
struct AttributeBoxes {
    bool archive = false;
    bool readOnly = false;
    bool hidden = false;
    bool system = false;
    bool operator==(const AttributeBoxes&) const = default;
};
AttributeBoxes attributeBoxes(const QString& efa);
QString attributeSwitch(const AttributeBoxes& boxes);

} // namespace stowline::ui
