#include "core/ControlCharacters.h"

#include "ControlCharacterNames.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace stowline;

namespace {

TEST(ControlCharacters, RuleRefusesLineBreakersAndKeepsOtherText) {
    for (const QString& name : stowline::testing::namesWithControlCharacters())
        EXPECT_TRUE(core::holdsControlCharacter(name)) << name.toStdString();
    // Blanks, brackets, letters of other scripts and invisible format characters do not
    // break a line.
    for (const QString& name : {QStringLiteral("Weekly docs"), QStringLiteral("[REPEAT=1]Docs"),
                                QStringLiteral("Dokumente \u00e4\u00f6 \u65e5\u672c"),
                                QStringLiteral("zero\u200bwidth"), QString()})
        EXPECT_FALSE(core::holdsControlCharacter(name)) << name.toStdString();
}

TEST(ControlCharacters, VisibleFormStaysOnOneLine) {
    EXPECT_EQ(core::withVisibleControlCharacters(QStringLiteral("A\r\nB\t")),
              QStringLiteral("A<U+000D><U+000A>B<U+0009>"));
    EXPECT_EQ(core::withVisibleControlCharacters(QStringLiteral("A\u2028\u0085")),
              QStringLiteral("A<U+2028><U+0085>"));
    for (const QString& name : stowline::testing::namesWithControlCharacters())
        EXPECT_FALSE(core::holdsControlCharacter(core::withVisibleControlCharacters(name)));
}

} // namespace
