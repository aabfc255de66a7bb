#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <string_view>

namespace stowline::archiver {

// Adds ".zip" when the last part of the path has no extension of its own; a name given
// with an extension (keeper.rar) is used as given.
std::string withDefaultExtension(const std::string& path);

// The text an -ag mask stands for at `time`. Letters (case does not matter): Y year,
// M month (minutes once H has appeared), MMM month name, W ISO week, A weekday (Monday 1),
// D day, E day of the year, H hour, I minutes, S seconds, N the archive `number`. A run of
// n equal letters gives n digits (the last n of the value, zero-padded). Text in braces
// is copied without the braces; every other character is copied as it is.
std::string formatDateMask(std::string_view mask, const std::tm& time, unsigned number);

// The archive name with the date text of `mask` inserted before the extension (or, when
// the mask begins with '+', before the name). With N in the mask the number counts up
// from 1 until `taken` says the name is free.
std::string applyDateMask(const std::string& path, std::string_view mask, const std::tm& time,
                          const std::function<bool(const std::string&)>& taken);

// The name of volume `index` (from 1) of an archive: archive.zip.001, ..., .999, .1000.
std::string volumeName(const std::string& archivePath, unsigned index);

} // namespace stowline::archiver
