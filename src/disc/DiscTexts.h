#pragma once

#include "disc/DiscEngine.h"

#include <QString>

#include <optional>

namespace stowline::disc {

// "703.1M": blocks as megabytes with one decimal and the locale's separators.
QString megabytesText(qint64 blocks);

bool isCdMedium(int type);
bool isDvdMedium(int type);

// "16x." for CD and DVD media (in their speed units), "4000Kb/s." for others.
QString burningSpeedText(int type, int speedKilobytes);

// "mtCDR" and the like; codes outside the named range give "mtUNKNOWN".
QString mediumTypeName(int type);

// 0..100 for `done` of `total`; 0 while the total is not known.
int progressPercent(qint64 done, qint64 total);

// The recorder whose name holds `drive` right after its first comma; none when no
// recorder matches.
std::optional<Recorder> recorderForDrive(const QList<Recorder>& recorders, const QString& drive);

// The drive information report of the current recorder; none while the engine is busy.
std::optional<QString> driveInfoReport(DiscEngine& engine);

} // namespace stowline::disc
