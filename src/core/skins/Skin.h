#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <span>

namespace stowline::core {

// How a skin's background picture is drawn. Any other stored value draws nothing.
enum class SkinImageStyle { None = 0, Centred = 1, Tiled = 2 };

// A skin: background pictures of the windows and colours of their lists and fields.
// Picture fields hold a path (see resolveSkinImagePath), colour fields a colour text
// (see skinColour), style fields a SkinImageStyle value.
struct tskin {
    QString MW_Image; // main window and SWL-BIN drop window
    int MW_Type = 0;
    QString MW_TableBackground; // preset list
    QString MW_TableColor;
    QString MW_LogNormalBackground; // event log list
    QString MW_LogNormalColor;
    QString MW_LogErrorBackground; // event log lines holding "[!]"
    QString MW_LogErrorColor;
    QString SW_Image; // scheduler and folder watcher windows
    int SW_Type = 0;
    QString SW_TableBackground; // schedule list
    QString SW_TableColor;
    QString PW_Image; // dialogs
    int PW_Type = 0;
    QString LW_Image; // loaded and kept, drawn nowhere
    int LW_Type = 0;
    QString LW_FileListBackground; // text fields, lists and number fields
    QString LW_FileListColor;

    bool operator==(const tskin&) const = default;
};

// One line of a skin file.
struct SkinField {
    const char* key;
    QString tskin::*text = nullptr; // picture path or colour
    int tskin::*style = nullptr;
};

// The 18 fields in the order the file lists them.
std::span<const SkinField> skinFields();

// data folder + "/swl.ocs": the skin in use.
QString currentSkinPath(const QString& dataFolder);

// Reads skin lines: lines starting with ";" are comments; a line whose beginning equals a
// key (in any letter case) sets that field to the text after its first "=", taken as
// written; a later line wins. A style that is no decimal number reads as 0.
tskin parseSkin(const QStringList& lines);
// The file at `path`; an empty skin when there is none.
tskin LoadSkin(const QString& path);

// The lines of a skin file: two comment lines, then every field as key=value.
QStringList skinLines(const tskin& skin, const QDateTime& savedAt);
bool SaveSkin(const tskin& skin, const QString& path, const QDateTime& savedAt,
              QString* error = nullptr);

struct SkinRgb {
    int red = 0;
    int green = 0;
    int blue = 0;
    bool operator==(const SkinRgb&) const = default;
};

// A colour text "RRGGBB", "#" characters ignored. Fewer than six digits read as black;
// six characters that are not all hexadecimal give no colour.
std::optional<SkinRgb> skinColour(const QString& text);
// The six lower-case hexadecimal digits the appearance tab writes.
QString skinColourText(const SkinRgb& colour);

// The file a picture value names: "\" reads as "/"; an absolute path is taken as it is,
// anything else (including the traditional form that starts with "\") lies below the
// program folder. Empty for an empty value.
QString resolveSkinImagePath(const QString& value, const QString& programFolder);

} // namespace stowline::core
