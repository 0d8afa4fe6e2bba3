#include "toolkit/CommandLineArgs.h"

#include <gtest/gtest.h>

using Args = std::vector<std::string>;

TEST(SplitCommandLine, SeparatesAtBlanksAndTabsOutsideQuotes)
{
    EXPECT_EQ(SplitCommandLine("prog a  b\tc "), (Args{"prog", "a", "b", "c"}));
    EXPECT_EQ(SplitCommandLine("prog \"a b\"c d\"e\tf\""), (Args{"prog", "a bc", "de\tf"}));
    EXPECT_EQ(SplitCommandLine(""), Args{});
}

TEST(SplitCommandLine, ProgramNameTakesNoEscapes)
{
    EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\x.exe\" a"), (Args{"C:\\Program Files\\x.exe", "a"}));
    EXPECT_EQ(SplitCommandLine("C:\\dir\\\"x y\" z"), (Args{"C:\\dir\\x y", "z"}));
    EXPECT_EQ(SplitCommandLine(" a"), (Args{"", "a"}));
}

TEST(SplitCommandLine, BackslashesCountOnlyBeforeADoubleQuote)
{
    EXPECT_EQ(SplitCommandLine(R"(p a\\b \\\\server\share)"), (Args{"p", R"(a\\b)", R"(\\\\server\share)"}));
    EXPECT_EQ(SplitCommandLine(R"(p a\"b)"), (Args{"p", "a\"b"}));
    EXPECT_EQ(SplitCommandLine(R"(p a\\"b c")"), (Args{"p", R"(a\b c)"}));
    EXPECT_EQ(SplitCommandLine(R"(p a\\\"b c)"), (Args{"p", R"(a\"b)", "c"}));
    EXPECT_EQ(SplitCommandLine(R"(p "a\\" b)"), (Args{"p", R"(a\)", "b"}));
}

TEST(SplitCommandLine, EmptyQuotesAndDoubledQuotes)
{
    EXPECT_EQ(SplitCommandLine(R"(p "" x)"), (Args{"p", "", "x"}));
    EXPECT_EQ(SplitCommandLine(R"(p "a""b" c)"), (Args{"p", "a\"b", "c"}));
    EXPECT_EQ(SplitCommandLine(R"(p "unterminated arg)"), (Args{"p", "unterminated arg"}));
}

TEST(QuoteArgument, QuotesOnlyWhenNeeded)
{
    EXPECT_EQ(QuoteArgument("CORP\\deploy"), "CORP\\deploy");
    EXPECT_EQ(QuoteArgument("p@ss\\"), "p@ss\\");
    EXPECT_EQ(QuoteArgument(""), "\"\"");
    EXPECT_EQ(QuoteArgument("a b"), "\"a b\"");
    EXPECT_EQ(QuoteArgument("a\\\"b"), R"("a\\\"b")");
    EXPECT_EQ(QuoteArgument("dir\\ x\\"), R"("dir\ x\\")");
}

TEST(QuoteArgument, RoundTripsThroughTheSplitter)
{
    const Args values = {"", " ", "\t", "\"", "\\", "a b", "tab\there", "say \"hi\"", "\\\"", "x\\\\\"y",
        "ends with \\", "ends with \\\\", "C:\\dir name\\", "-p", "\"\"", " lead", "trail ", "a\\b c",
        "\xe9\xff 8-bit"};
    for (const auto& value : values) {
        const auto args = SplitCommandLine("prog " + QuoteArgument(value) + " next");
        ASSERT_EQ(args.size(), 3u) << "[" << value << "]";
        EXPECT_EQ(args[1], value);
        EXPECT_EQ(args[2], "next");
    }
}
