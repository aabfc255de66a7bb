#include "core/OptionsFile.h"

#include "core/MessageTable.h"
#include "core/StoredText.h"
#include "core/TextFiles.h"

#include <cstdio>

namespace stowline::core {

namespace {
// swl.opt lists the keys in this order, which differs from the record's declared order.
constexpr const char* kFileKeys[] = {
    "son", "des", "dha", "dac", "dus", "dpa", "dnr", "dwc", "rpa", "rlo", "rae", "rap", "pwi",
    "pte", "lsz", "lfs", "pfs", "sta", "fre", "fin", "fti", "twr", "tft", "tsm", "shp", "lat",
    "dec", "dtb", "dit", "acw", "ser", "cie", "c1w", "c2w", "c3w", "sps", "sph", "spa", "spe",
    "spm", "cms", "sgp", "lad", "ssr", "sss", "sur", "spd", "sfm", "sto", "lvc", "lt1", "lt2",
    "lt3", "smz", "hic", "ske", "soe", "swf", "lng", "plh", "px1", "px2", "py1", "py2", "obn",
    "obc", "obv", "obt", "obx", "oby", "obi", "obf", "obp", "okp", "obr", "obk",
};

const QString kVersionLine = QStringLiteral("ver 0");
constexpr qsizetype kKeyLength = 3;
// The value starts after the key and one separating blank.
constexpr qsizetype kValueStart = kKeyLength + 1;
} // namespace

QString optionsFilePath(const QString& dataFolder) {
    return dataFolder + QStringLiteral("/swl.opt");
}

void LoadOptions(topt& options, const OptionDefaultsContext& context, const MessageTable& messages,
                 const LogWriter& writeLog) {
    std::optional<QStringList> lines = readTextLines(optionsFilePath(context.dataFolder));
    if (!lines) {
        writeLog(messages.text(u"pleasecheckthesettings"));
        lines.emplace();
    }
    // Defaults come after the read and before any line is looked at, so every key the
    // file lacks keeps its default.
    SetOptionDefaults(options, context);
    for (const QString& stored : *lines) {
        const QString line = DecodeStoredText(stored);
        if (line.size() < kKeyLength)
            continue;
        // A line that does not start with a known key ("ver 0", damaged or empty
        // lines) is skipped.
        if (const OptionField* field = findOptionField(QStringView(line).left(kKeyLength)))
            assignOptionValue(options, *field, line.mid(kValueStart));
    }
}

namespace {
// The decoded lines: "ver 0", then one "key value" line per key in file order.
QStringList optionFileLines(const topt& options,
                            const std::optional<PresetColumnWidths>& columnWidths) {
    topt saved = options;
    if (columnWidths) {
        saved.c1w = columnWidths->c1w;
        saved.c2w = columnWidths->c2w;
        saved.c3w = columnWidths->c3w;
    }
    QStringList lines{kVersionLine};
    for (const char* key : kFileKeys) {
        const OptionField* field = findOptionField(QString::fromLatin1(key));
        Q_ASSERT(field);
        lines << QLatin1String(key) + QLatin1Char(' ') + optionValueText(saved, *field);
    }
    return lines;
}
} // namespace

bool SaveOptions(const topt& options, const QString& dataFolder,
                 const std::optional<PresetColumnWidths>& columnWidths) {
    QStringList lines = optionFileLines(options, columnWidths);
    for (QString& line : lines)
        line = EncodeStoredText(line);
    const QString path = optionsFilePath(dataFolder);
    QString error;
    if (writeTextLinesAtomically(path, lines, &error))
        return true;
    std::fprintf(stderr, "Cannot write the options file %s: %s\n", qPrintable(path),
                 qPrintable(error));
    return false;
}

} // namespace stowline::core
