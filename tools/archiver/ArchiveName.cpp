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

std::string formatDateMask(std::string_view mask, const std::tm& time, unsigned number) {
    static constexpr std::array<const char*, 12> months{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
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
        switch (letter) {
        case 'Y':
            text += lastDigits(time.tm_year + 1900L, run);
            break;
        case 'M':
            if (hoursSeen)
                text += lastDigits(time.tm_min, run);
            else if (run == 3)
                text += months[static_cast<std::size_t>(time.tm_mon) % 12];
            else
                text += lastDigits(time.tm_mon + 1L, run);
            break;
        case 'W': {
            char week[4];
            std::strftime(week, sizeof week, "%V", &time);
            text += lastDigits(std::stol(week), run);
            break;
        }
        case 'A':
            text += lastDigits(time.tm_wday == 0 ? 7 : time.tm_wday, run);
            break;
        case 'D':
            text += lastDigits(time.tm_mday, run);
            break;
        case 'E':
            text += lastDigits(time.tm_yday + 1L, run);
            break;
        case 'H':
            text += lastDigits(time.tm_hour, run);
            hoursSeen = true;
            break;
        case 'I':
            text += lastDigits(time.tm_min, run);
            break;
        case 'S':
            text += lastDigits(time.tm_sec, run);
            break;
        case 'N': {
            // Never cut: the number is there to make the name unique.
            std::string digits = std::to_string(number);
            if (digits.size() < run)
                digits.insert(0, run - digits.size(), '0');
            text += digits;
            break;
        }
        }
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
