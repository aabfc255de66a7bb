#pragma once

#include "core/OptionFields.h"
#include "core/Options.h"

#include <QString>

#include <functional>
#include <optional>

namespace stowline::core {

class MessageTable;

// Receives one event-log line (EventLog::WriteLog in the program).
using LogWriter = std::function<void(const QString& message)>;

// The current widths of the preset list's three columns, which SaveOptions stores in
// place of the record's c1w, c2w and c3w.
struct PresetColumnWidths {
    int c1w = 0;
    int c2w = 0;
    int c3w = 0;
};

// data folder + "/swl.opt".
QString optionsFilePath(const QString& dataFolder);

// Sets every option to its default, then takes the value of each key found in
// context.dataFolder + "/swl.opt". A missing or unreadable file logs
// "pleasecheckthesettings" and leaves the defaults. Damaged lines, unknown keys and
// integers that do not convert are ignored; of two lines with one key the later wins.
void LoadOptions(topt& options, const OptionDefaultsContext& context, const MessageTable& messages,
                 const LogWriter& writeLog);

// Replaces dataFolder + "/swl.opt" with `options`, every line scrambled. The new file is
// written beside the old one and renamed over it, so a crash or a full disk never
// leaves a half-written options file. A failure keeps the old file, is reported on
// standard error and returns false.
bool SaveOptions(const topt& options, const QString& dataFolder,
                 const std::optional<PresetColumnWidths>& columnWidths = {});

} // namespace stowline::core
