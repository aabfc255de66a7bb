#pragma once

#include "backup/Preset.h"

#include <QString>

namespace stowline::core {
struct Folders;
}

namespace stowline::backup {

// The switch part of the archiver command line for `preset`, every switch preceded by
// one blank, in the fixed order the archiver and the debug display expect. The side
// files .cmt and .flt of the preset and debug.flg in the data folder are looked up
// while the text is built. Switches that carry a path or the password are quoted so
// that they reach the archiver as one argument each; the user's extra switches, the
// attribute switch, the date mask and the volume size are inserted as typed.
QString BuildWinRarSwitches(const tarcopt& preset, const QString& presetName,
                            const core::Folders& folders);

// The whole parameter string: " a ", the switches, the exclude list, the archive path
// (target folder + "/" + archive name, joined without looking at a trailing separator)
// and the include list.
QString BuildWinRarParameters(const QString& switches, const QString& presetName,
                              const QString& targetFolder, const QString& archiveName,
                              const core::Folders& folders);

// True when an (expanded) archive name names a file right in the target folder: not
// empty, no "/", and no leading "." (which also rules out "." and ".."). Any other name
// would put the archive where the run does not look for it, or outside its folder.
bool isPlainArchiveName(const QString& name);

} // namespace stowline::backup
