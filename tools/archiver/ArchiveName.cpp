#include "archiver/ArchiveName.h"

#include <array>
#include <cctype>

namespace stowline::archiver {

namespace {

struct NameParts {
    std::string folder; // with its trailing '/', or empty
    std::string stem;
    std::string extension; // with its dot, or empty
};

NameParts splitName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    NameParts parts;
    parts.folder = path.substr(0, start);
    const std::string last = path.substr(start);
    const std::size_t dot = last.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        parts.stem = last;
    } else {
        parts.stem = last.substr(0, dot);
        parts.extension = last.substr(dot);
    }
    return parts;
}

std::string lastDigits(long value, std::size_t count) {
    std::string digits = std::to_string(value);
    if (digits.size() < count)
        digits.insert(0, count - digits.size(), '0');
    return digits.substr(digits.size() - count);
}

bool usesNumber(std::string_view mask) {
    bool inBraces = false;
    for (char c : mask) {
        if (c == '{')
            inBraces = true;
        else if (c == '}')
            inBraces = false;
        else if (!inBraces && (c == 'N' || c == 'n'))
            return true;
    }
    return false;
}

} // namespace

std::string withDefaultExtension(const std::string& path) {
    return splitName(path).extension.empty() ? path + ".zip" : path;
}

namespace {
// The text of one run of a date letter: `run` letters long, of the letter upper-cased.
// "M" after an hour field stands for minutes.
std::string dateField(char letter, std::size_t run, const std::tm& time, unsigned number,
                      bool afterHours) {
    static constexpr std::array<const char*, 12> months{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    switch (letter) {
    case 'Y':
        return lastDigits(time.tm_year + 1900L, run);
    case 'M':
        if (afterHours)
            return lastDigits(time.tm_min, run);
        if (run == 3)
            return months[static_cast<std::size_t>(time.tm_mon) % 12];
        return lastDigits(time.tm_mon + 1L, run);
    case 'W': {
        char week[4];
        std::strftime(week, sizeof week, "%V", &time);
        return lastDigits(std::stol(week), run);
    }
    case 'A':
        return lastDigits(time.tm_wday == 0 ? 7 : time.tm_wday, run);
    case 'D':
        return lastDigits(time.tm_mday, run);
    case 'E':
        return lastDigits(time.tm_yday + 1L, run);
    case 'H':
        return lastDigits(time.tm_hour, run);
    case 'I':
        return lastDigits(time.tm_min, run);
    case 'S':
        return lastDigits(time.tm_sec, run);
    case 'N': {
        // Never cut: the number is there to make the name unique.
        std::string digits = std::to_string(number);
        if (digits.size() < run)
            digits.insert(0, run - digits.size(), '0');
        return digits;
    }
    }
    return {};
}
} // namespace

std::string formatDateMask(std::string_view mask, const std::tm& time, unsigned number) {
    std::string text;
    bool hoursSeen = false;
    std::size_t position = 0;
    while (position < mask.size()) {
        const char c = mask[position];
        if (c == '{') {
            const std::size_t close = mask.find('}', position + 1);
            const std::size_t end = close == std::string_view::npos ? mask.size() : close;
            text += mask.substr(position + 1, end - position - 1);
            position = end == mask.size() ? end : end + 1;
            continue;
        }
        const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (std::string_view("YMWADEHISN").find(letter) == std::string_view::npos) {
            text += c;
            ++position;
            continue;
        }
        std::size_t run = 1;
        while (position + run < mask.size() &&
               std::toupper(static_cast<unsigned char>(mask[position + run])) == letter)
            ++run;
        position += run;
        text += dateField(letter, run, time, number, hoursSeen);
        hoursSeen = hoursSeen || letter == 'H';
    }
    return text;
}

std::string applyDateMask(const std::string& path, std::string_view mask, const std::tm& time,
                          const std::function<bool(const std::string&)>& taken) {
    const bool datePrecedesName = !mask.empty() && mask.front() == '+';
    if (datePrecedesName)
        mask.remove_prefix(1);
    const NameParts parts = splitName(path);
    const bool numbered = usesNumber(mask);
    for (unsigned number = 1;; ++number) {
        const std::string date = formatDateMask(mask, time, number);
        std::string name = parts.folder;
        name += datePrecedesName ? date + parts.stem : parts.stem + date;
        name += parts.extension;
        if (!numbered || !taken(name))
            return name;
    }
}

std::string volumeName(const std::string& archivePath, unsigned index) {
    return archivePath + "." + lastDigits(index, index < 1000 ? 3 : std::to_string(index).size());
}

} // namespace stowline::archiver
