#include "platform/CommandLineSplit.h"

#include <gtest/gtest.h>

namespace stowline::platform {
namespace {

TEST(SplitCommandLine, GivesTheWindowsArguments) {
    const struct SplitCase {
        const char* parameters;
        QStringList arguments;
    } cases[] = {
        {"", {}},
        {"  \t ", {}},
        {" a  -m5\t-s ", {"a", "-m5", "-s"}},
        // Quotes group blanks and are dropped, also in the middle of an argument.
        {R"("abc" d e)", {"abc", "d", "e"}},
        {R"(d"e f"g h)", {"de fg", "h"}},
        {R"("C:\Program Files\x y\winrar.log" next)",
         {R"(C:\Program Files\x y\winrar.log)", "next"}},
        {R"("-ILOG/home/me/my data/winrar.log")", {"-ILOG/home/me/my data/winrar.log"}},
        // Backslashes are literal unless a double quote follows them.
        {R"(a\\b \\server\share\ x\)", {R"(a\\b)", R"(\\server\share\)", R"(x\)"}},
        {R"(a\\\"b c d)", {R"(a\"b)", "c", "d"}},
        {R"(a\\\\"b c" d e)", {R"(a\\b c)", "d", "e"}},
        {R"(a\"b)", {R"(a"b)"}},
        // Two quotes inside a quoted part give one literal quote.
        {R"(a"b"" c d)", {R"(ab" c d)"}},
        // A password with a double quote, quoted and escaped.
        {R"(-s "-hppa\"ss word" -r)", {"-s", R"(-hppa"ss word)", "-r"}},
        // Empty quoted parts are empty arguments; an unclosed quote runs to the end.
        {R"(a "" b "")", {"a", "", "b", ""}},
        {R"(a "b c)", {"a", "b c"}},
    };
    for (const SplitCase& c : cases)
        EXPECT_EQ(SplitCommandLine(QString::fromUtf8(c.parameters)), c.arguments) << c.parameters;
}

TEST(QuoteCommandLineArgument, OnlyEnclosesPlainText) {
    EXPECT_EQ(QuoteCommandLineArgument(u"-ILOG/data/my logs/winrar.log"),
              R"("-ILOG/data/my logs/winrar.log")");
    EXPECT_EQ(QuoteCommandLineArgument(uR"(D:\Backup\\docs)"), R"("D:\Backup\\docs")");
}

TEST(QuoteCommandLineArgument, RoundTripsThroughSplitting) {
    const QStringList texts = {"",
                               "plain",
                               "with blank\tand tab",
                               R"(-hppa"ss)",
                               R"(-hp"")",
                               R"(ends with backslash\)",
                               R"(ends with two\\)",
                               R"(\"quoted\")",
                               R"(a\\"b)",
                               R"(\\server\share\file name)"};
    for (const QString& text : texts) {
        const QString line =
            "a " + QuoteCommandLineArgument(text) + " " + QuoteCommandLineArgument(text) + " z";
        EXPECT_EQ(SplitCommandLine(line), QStringList({"a", text, text, "z"}))
            << line.toStdString();
    }
}

} // namespace
} // namespace stowline::platform
