#include "core/skins/Skin.h"

#include "core/TextFiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "QtPrinters.h"

namespace stowline::core {
namespace {

// Every field with a value of its own, so a field read into the wrong member shows.
tskin distinctSkin() {
    tskin skin;
    int style = 0;
    int text = 0;
    for (const SkinField& field : skinFields()) {
        if (field.text)
            skin.*field.text = QStringLiteral("v%1=x\\Skins\\Pic.png").arg(++text);
        else
            skin.*field.style = ++style;
    }
    return skin;
}

TEST(SkinFile, SavedSkinReadsBackWithEveryField) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.ocs"));
    const tskin skin = distinctSkin();
    ASSERT_TRUE(SaveSkin(skin, path, QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9))));
    EXPECT_EQ(LoadSkin(path), skin);

    const QStringList lines = readTextLines(path).value();
    ASSERT_EQ(lines.size(), 20);
    EXPECT_EQ(lines[0], QStringLiteral("; Stowline 3.01 skin"));
    EXPECT_EQ(lines[1], QStringLiteral("; Saved 2024.05.06 07:08:09"));
    EXPECT_EQ(lines[2], QStringLiteral("MW_Image=v1=x\\Skins\\Pic.png"));
    EXPECT_EQ(lines[3], QStringLiteral("MW_Type=1"));
    EXPECT_EQ(lines[19], QStringLiteral("LW_FileListColor=v14=x\\Skins\\Pic.png"));
}

TEST(SkinFile, ReadingRules) {
    const tskin skin = parseSkin({
        QStringLiteral("; MW_Image=comment.png"),
        QStringLiteral("mw_image=\\skins\\First.png"),
        QStringLiteral("mw_type=1"),
        QStringLiteral("MW_TYPE=2"),
        QStringLiteral("sw_image=/Pictures/Mixed=Case.PNG"),
        QStringLiteral("SW_Type=two"),
        QStringLiteral("Unknown=ff0000"),
        QStringLiteral("MW_TableColor"),
        QStringLiteral("lw_filelistcolor=#00FF00"),
    });
    // Keys in any case, value as written after the first "=", later line wins.
    EXPECT_EQ(skin.MW_Image, QStringLiteral("\\skins\\First.png"));
    EXPECT_EQ(skin.MW_Type, 2);
    EXPECT_EQ(skin.SW_Image, QStringLiteral("/Pictures/Mixed=Case.PNG"));
    EXPECT_EQ(skin.SW_Type, 0);
    EXPECT_EQ(skin.MW_TableColor, QString());
    EXPECT_EQ(skin.LW_FileListColor, QStringLiteral("#00FF00"));
}

TEST(SkinFile, MissingFileIsAnEmptySkin) {
    QTemporaryDir dir;
    EXPECT_EQ(LoadSkin(dir.filePath(QStringLiteral("none.ocs"))), tskin());
}

TEST(SkinColour, Notation) {
    const struct {
        const char* text;
        std::optional<SkinRgb> colour;
    } cases[] = {
        {"#FF0000", SkinRgb{255, 0, 0}},
        {"ff0000", SkinRgb{255, 0, 0}},
        {"#0a#0B0c", SkinRgb{10, 11, 12}},
        {"123456789", SkinRgb{0x12, 0x34, 0x56}},
        {"f00", SkinRgb{}},
        {"", SkinRgb{}},
        {"##", SkinRgb{}},
        {"red!!!", std::nullopt},
        {"12345g", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(skinColour(QString::fromLatin1(c.text)), c.colour) << c.text;
    EXPECT_EQ(skinColourText({255, 10, 0}), QStringLiteral("ff0a00"));
}

TEST(SkinImagePath, AbsoluteOrBelowProgramFolder) {
    const struct {
        const char* value;
        const char* path;
    } cases[] = {
        {"", ""},
        {"\\skins\\Sea.png", "/opt/swl/skins/Sea.png"},
        {"skins/Sea.png", "/opt/swl/skins/Sea.png"},
        {"/home/ann/Sea.PNG", "/home/ann/Sea.PNG"},
        {"C:x.png", "/opt/swl/C:x.png"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(resolveSkinImagePath(QString::fromLatin1(c.value), QStringLiteral("/opt/swl")),
                  QString::fromLatin1(c.path))
            << c.value;
}

} // namespace
} // namespace stowline::core
