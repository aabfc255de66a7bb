#pragma once

#include "backup/Preset.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <span>

namespace stowline::core {
class Clock;
class MessageTable;
struct Folders;
} // namespace stowline::core

namespace stowline::platform {
class Prompts;
}

namespace stowline::backup {

// The name under which LoadPreset reads the defaults file swl.pst of the data folder.
inline constexpr const char* kDefaultsPresetName = "//defaults//";

// Time stamp of the history files: "yyyy.mm.dd hh:nn:ss" followed by one blank, except
// at exactly 00:00:00, where the blank is missing. The same text serves the last-run and
// next-run texts of the schedule.
QString formatHistoryStamp(const QDateTime& time);
// Reads a stamp written by formatHistoryStamp; surrounding blanks are ignored.
std::optional<QDateTime> parseHistoryStamp(const QString& text);

// Kinds of delivery recorded in a preset's delivery history (.hst).
enum class DeliveryKind { Disc, Mail, Ftp, Copy };
QString deliveryKindText(DeliveryKind kind); // "1-CD", "2-SMTP", "3-FTP", "4-COPY"

// The cleaner histories: name + ".lgc", ".lgf", ".lgs".
enum class CleanerHistory : char { Copy = 'c', Ftp = 'f', Mail = 's' };
QString cleanerHistoryExtension(CleanerHistory history); // ".lgc", ".lgf", ".lgs"

// Reads and writes the preset files, the defaults file and the side files. Files are
// read and written whole; nothing is cached between calls. Every file is replaced
// through a new file renamed over the old one, so a crash never leaves half a preset.
class PresetStore {
public:
    PresetStore(const core::Folders& folders, const core::MessageTable& messages,
                const core::Clock& clock, platform::Prompts& prompts);

    // presets folder + "/" + name + extension (extension with its dot, ".pst").
    QString presetFilePath(const QString& name, const QString& extension) const;
    QString defaultsFilePath() const;

    // Fills `preset` from the preset file of `name` (kDefaultsPresetName: swl.pst):
    // defaults first, then every line that decodes and names a key, the later of two
    // lines winning. A damaged line is ignored and its field keeps the default. False,
    // with `preset` untouched, when the file cannot be read.
    bool LoadPreset(const QString& name, tarcopt& preset) const;

    // Writes the preset file and the side files .inc, .exc and .not; .cmt when the
    // comment is not empty, else that file is removed. The volume words of the user
    // interface language are stored as "Auto" and "None", and pas as "0" without a
    // password. On a failure "Save preset error!" is shown and false returned; files
    // already written stay.
    bool SavePreset(const QString& name, const tarcopt& preset, const QStringList& includeLines,
                    const QStringList& excludeLines, const QStringList& notes,
                    const QStringList& comment) const;

    // Writes swl.pst in its own key order; no side files. Reports a failure like
    // SavePreset.
    bool SavePresetDefaults(const tarcopt& preset) const;

    // Inserts an entry (time stamp, one line per file name, an empty line) at the top of
    // the cleaner history of `name`. A missing history counts as empty; one that exists
    // but cannot be read is left alone and false returned, like a failed write.
    bool AppendHistoryEntry(const QString& name, const QStringList& fileLines,
                            CleanerHistory history) const;

    // Inserts "stamp TAB kind TAB location" at the top of the delivery history of `name`;
    // false when it cannot be read or written.
    bool AppendDeliveryHistory(const QString& name, DeliveryKind kind,
                               const QString& location) const;

private:
    QStringList presetFileLines(const tarcopt& preset, std::span<const char* const> keys) const;
    bool writeStoredLines(const QString& path, const QStringList& lines) const;
    bool insertAtTop(const QString& path, const QStringList& lines) const;
    void reportSaveFailure() const;

    const core::Folders& folders_;
    const core::MessageTable& messages_;
    const core::Clock& clock_;
    platform::Prompts& prompts_;
};

} // namespace stowline::backup
