#include "core/skins/Skin.h"

#include "core/TextFiles.h"

#include <QDir>

namespace stowline::core {

namespace {
const SkinField kSkinFields[] = {
    {"MW_Image", &tskin::MW_Image},
    {"MW_Type", nullptr, &tskin::MW_Type},
    {"MW_TableBackground", &tskin::MW_TableBackground},
    {"MW_TableColor", &tskin::MW_TableColor},
    {"MW_LogNormalBackground", &tskin::MW_LogNormalBackground},
    {"MW_LogNormalColor", &tskin::MW_LogNormalColor},
    {"MW_LogErrorBackground", &tskin::MW_LogErrorBackground},
    {"MW_LogErrorColor", &tskin::MW_LogErrorColor},
    {"SW_Image", &tskin::SW_Image},
    {"SW_Type", nullptr, &tskin::SW_Type},
    {"SW_TableBackground", &tskin::SW_TableBackground},
    {"SW_TableColor", &tskin::SW_TableColor},
    {"PW_Image", &tskin::PW_Image},
    {"PW_Type", nullptr, &tskin::PW_Type},
    {"LW_Image", &tskin::LW_Image},
    {"LW_Type", nullptr, &tskin::LW_Type},
    {"LW_FileListBackground", &tskin::LW_FileListBackground},
    {"LW_FileListColor", &tskin::LW_FileListColor},
};

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}
} // namespace

std::span<const SkinField> skinFields() {
    return kSkinFields;
}

QString currentSkinPath(const QString& dataFolder) {
    return dataFolder + QStringLiteral("/swl.ocs");
}

tskin parseSkin(const QStringList& lines) {
    tskin skin;
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1Char(';')))
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        const QString value = line.mid(equals + 1);
        for (const SkinField& field : kSkinFields) {
            if (!line.startsWith(QLatin1String(field.key), Qt::CaseInsensitive))
                continue;
            if (field.text) {
                skin.*field.text = value;
            } else {
                bool converted = false;
                const int style = value.toInt(&converted);
                skin.*field.style = converted ? style : 0;
            }
        }
    }
    return skin;
}

tskin LoadSkin(const QString& path) {
    return parseSkin(readTextLines(path).value_or(QStringList()));
}

QStringList skinLines(const tskin& skin, const QDateTime& savedAt) {
    QStringList lines{QStringLiteral("; Stowline 3.01 skin"),
                      QStringLiteral("; Saved ") +
                          savedAt.toString(QStringLiteral("yyyy.MM.dd hh:mm:ss"))};
    for (const SkinField& field : kSkinFields)
        lines << QLatin1String(field.key) + QLatin1Char('=') +
                     (field.text ? skin.*field.text : QString::number(skin.*field.style));
    return lines;
}

bool SaveSkin(const tskin& skin, const QString& path, const QDateTime& savedAt, QString* error) {
    return writeTextLinesAtomically(path, skinLines(skin, savedAt), error);
}

std::optional<SkinRgb> skinColour(const QString& text) {
    QString digits = text;
    digits.remove(QLatin1Char('#'));
    if (digits.size() < 6)
        return SkinRgb{};
    int channels[3] = {};
    for (int index = 0; index < 3; ++index) {
        const int high = hexDigit(digits.at(2 * index));
        const int low = hexDigit(digits.at(2 * index + 1));
        if (high < 0 || low < 0)
            return std::nullopt;
        channels[index] = high * 16 + low;
    }
    return SkinRgb{channels[0], channels[1], channels[2]};
}

QString skinColourText(const SkinRgb& colour) {
    return QStringLiteral("%1%2%3")
        .arg(colour.red, 2, 16, QLatin1Char('0'))
        .arg(colour.green, 2, 16, QLatin1Char('0'))
        .arg(colour.blue, 2, 16, QLatin1Char('0'));
}

QString resolveSkinImagePath(const QString& value, const QString& programFolder) {
    if (value.isEmpty())
        return {};
    const bool belowProgramFolder = value.startsWith(QLatin1Char('\\'));
    QString path = value;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!belowProgramFolder && QDir::isAbsolutePath(path))
        return path;
    while (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    return programFolder + QLatin1Char('/') + path;
}

} // namespace stowline::core
