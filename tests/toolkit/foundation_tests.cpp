#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "job/ReadyLine.h"
#include "toolkit/FileVersion.h"
#include "toolkit/Dialogs.h"
#include "toolkit/DpiScale.h"
#include "toolkit/FileReading.h"
#include "toolkit/LineStore.h"
#include "toolkit/Paths.h"
#include "toolkit/Strings.h"
#include "toolkit/TextFilter.h"

namespace {

using Lines = std::vector<std::string>;

TEST(StringList, SplitsAtEveryKindOfBreakWithoutATrailingEmptyLine)
{
    EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\r\n"), (Lines{"a"}));
    EXPECT_EQ(SplitLines("\r\n\r\n"), (Lines{"", ""}));
    EXPECT_EQ(SplitLines("x\r\r\n"), (Lines{"x", ""}));
    EXPECT_EQ(SplitLines("\n\r"), (Lines{"", ""}));
    EXPECT_TRUE(SplitLines("").empty());
}

TEST(StringList, TextEndsEveryLineWithCrLfAndRoundTrips)
{
    TStringList list;
    list.Add("one");
    list.Add("");
    list.Add("three");
    EXPECT_EQ(list.Text(), "one\r\n\r\nthree\r\n");
    TStringList copy;
    copy.SetText(list.Text());
    EXPECT_EQ(copy.Lines(), list.Lines());
}

TEST(StringList, KeepsBytesAsTheyAreAndRefusesBadIndexes)
{
    TStringList list;
    list.Add(std::string("\xE9t\xE9 \x01", 5));
    EXPECT_EQ(list.Get(0), std::string("\xE9t\xE9 \x01", 5));
    list.Put(0, "x");
    EXPECT_EQ(list.Get(0), "x");
    EXPECT_THROW(list.Get(1), std::out_of_range);
    EXPECT_THROW(list.Put(-1, "y"), std::out_of_range);
    EXPECT_THROW(list.Delete(1), std::out_of_range);
    list.Delete(0);
    EXPECT_EQ(list.Count(), 0);
}

// ---- display scale

TEST(DpiScale, At96DotsPerInchEveryValueStaysAsItIs)
{
    for (int value = -600; value <= 600; ++value)
        ASSERT_EQ(ScaleToDpi(value, 96), value);
    const TBounds rect{3, 127, 536, 176};
    const TBounds same = ScaleToDpi(rect, 96);
    EXPECT_EQ((std::vector<int>{same.Left, same.Top, same.Width, same.Height}), (std::vector<int>{3, 127, 536, 176}));
}

TEST(DpiScale, RoundsToTheNearestPixelWithHalvesAwayFromZero)
{
    // 125 percent: a quarter rounds down, a half up, three quarters up.
    EXPECT_EQ(ScaleToDpi(1, 120), 1);
    EXPECT_EQ(ScaleToDpi(2, 120), 3);
    EXPECT_EQ(ScaleToDpi(3, 120), 4);
    EXPECT_EQ(ScaleToDpi(542, 120), 678);
    EXPECT_EQ(ScaleToDpi(-2, 120), -3);
    // 150 percent: every odd value ends on a half.
    EXPECT_EQ(ScaleToDpi(1, 144), 2);
    EXPECT_EQ(ScaleToDpi(11, 144), 17);
    EXPECT_EQ(ScaleToDpi(97, 144), 146);
    EXPECT_EQ(ScaleToDpi(-3, 144), -5);
    // 175 percent.
    EXPECT_EQ(ScaleToDpi(2, 168), 4);
    EXPECT_EQ(ScaleToDpi(11, 168), 19);
    EXPECT_EQ(ScaleToDpi(9, 168), 16);
    EXPECT_EQ(ScaleToDpi(502, 168), 879);
    // 200 percent doubles exactly.
    EXPECT_EQ(ScaleToDpi(19, 192), 38);
    EXPECT_EQ(ScaleToDpi(-7, 192), -14);
    // Large values do not overflow on the way.
    EXPECT_EQ(ScaleToDpi(20'000'000, 192), 40'000'000);
}

TEST(DpiScale, RectanglesScaleTheirEdgesSoNeighboursStayApartByTheScaledMargin)
{
    // Two panels 3 pixels apart at 96 dots per inch: at 150 percent the first ends where it
    // should, and the gap is the scaled gap whatever the rounding of each size.
    const TBounds upper = ScaleToDpi(TBounds{3, 3, 536, 118}, 144);
    const TBounds lower = ScaleToDpi(TBounds{3, 124, 536, 1}, 144);
    EXPECT_EQ(upper.Left, 5);
    EXPECT_EQ(upper.Top, 5);
    EXPECT_EQ(upper.Width, 804);
    EXPECT_EQ(upper.Top + upper.Height, 182);
    EXPECT_EQ(lower.Top, 186);
    // The size alone would round differently: 97 pixels from 8 are 146 at 150 percent, yet the
    // edges 12 and 158 give 146; from 3, 97 pixels end at 150, which gives 145.
    EXPECT_EQ(ScaleToDpi(TBounds{8, 6, 97, 68}, 144).Width, 146);
    EXPECT_EQ(ScaleToDpi(TBounds{3, 6, 97, 68}, 144).Width, 145);
}

TEST(DpiScale, PicturesAreTheSmallestRenderingAtOrAboveTheScale)
{
    EXPECT_EQ(PictureScalePercent(96), 100);
    EXPECT_EQ(PictureScalePercent(72), 100);
    EXPECT_EQ(PictureScalePercent(97), 150);
    EXPECT_EQ(PictureScalePercent(120), 150);
    EXPECT_EQ(PictureScalePercent(144), 150);
    EXPECT_EQ(PictureScalePercent(168), 200);
    EXPECT_EQ(PictureScalePercent(192), 200);
    EXPECT_EQ(PictureScalePercent(288), 200);
}

TEST(ApplicationErrorText, AddsAFullStopOnlyAfterCharactersAboveIt)
{
    const std::pair<const char*, const char*> shown[] = {
        {"Psexec x doesn't exist.", "Psexec x doesn't exist."}, {"Stream write error", "Stream write error."},
        {"code 5", "code 5."}, {"Careful!", "Careful!"}, {"(see above)", "(see above)"}, {"path\\", "path\\."},
        {"ends in blank ", "ends in blank "}, {"", ""}, {"caf\xE9", "caf\xE9."}};
    for (const auto& [message, text] : shown)
        EXPECT_EQ(ApplicationErrorText(message), text);
}

TEST(Paths, NameAndFolderSplitAtTheLastBackslashOrDriveColon)
{
    for (const char* path : {"C:\\Lists\\targets.txt", "C:targets.txt", "targets.txt"})
        EXPECT_EQ(ExtractFileName(path), "targets.txt") << path;
    EXPECT_EQ(ExtractFileName("\\\\server\\share\\"), "");
    EXPECT_EQ(ExtractFileDir("C:\\Lists\\targets.txt"), "C:\\Lists");
    EXPECT_EQ(ExtractFileDir("C:\\targets.txt"), "C:\\");
    EXPECT_EQ(ExtractFileDir("targets.txt"), "");
}

TEST(Paths, ValidFileNamesHaveANameAndNoWildcardsOrSlashes)
{
    EXPECT_TRUE(IsValidFileName("C:\\Lists\\targets.txt"));
    EXPECT_TRUE(IsValidFileName("targets"));
    for (const char* bad : {"", "C:\\Lists\\", "a*b.txt", "a?.txt", "a/b.txt", "a|b", "<a>", "\"a\""})
        EXPECT_FALSE(IsValidFileName(bad)) << bad;
}

// A version block as the platform's query returns it: some bytes, then the fixed record.
struct VersionBlock {
    std::vector<unsigned char> bytes = std::vector<unsigned char>(200, 0xCC);
    std::size_t recordOffset = 40;

    void WriteRecord(std::uint32_t signature, std::uint32_t ms, std::uint32_t ls)
    {
        const std::uint32_t fields[4] = {signature, 0x00010000, ms, ls};
        std::memcpy(bytes.data() + recordOffset, fields, sizeof fields);
    }
    const void* Record() const { return bytes.data() + recordOffset; }
};

TEST(FileVersion, ReadsTheFileVersionFieldsAsPlainDecimals)
{
    VersionBlock block;
    block.WriteRecord(0xFEEF04BD, (2u << 16) | 43u, (0u << 16) | 65535u);
    EXPECT_EQ(FileVersionFromRecord(block.bytes.data(), block.bytes.size(), block.Record(), 52), "2.43.0.65535");
    EXPECT_EQ(FormatFileVersion(0, 0), "0.0.0.0");
    EXPECT_EQ(FormatFileVersion(0xFFFFFFFF, 0x00010002), "65535.65535.1.2");
}

TEST(FileVersion, NothingIsReadOutsideTheBlockOrFromAForeignRecord)
{
    VersionBlock block;
    block.WriteRecord(0xFEEF04BD, 0x00010002, 0x00030004);
    const auto* start = block.bytes.data();
    EXPECT_EQ(FileVersionFromRecord(start, block.bytes.size(), block.Record(), 51), "") << "record too short";
    EXPECT_EQ(FileVersionFromRecord(start, block.recordOffset + 51, block.Record(), 52), "") << "runs past the block";
    EXPECT_EQ(FileVersionFromRecord(start + 50, 100, block.Record(), 52), "") << "starts before the block";
    EXPECT_EQ(FileVersionFromRecord(start, block.bytes.size(), nullptr, 52), "");
    block.WriteRecord(0x12345678, 0x00010002, 0x00030004);
    EXPECT_EQ(FileVersionFromRecord(start, block.bytes.size(), block.Record(), 52), "") << "wrong signature";
}

TEST(FileVersion, ReadyLineEndsInTheVersionOrInTheBlankAfterVersion)
{
    EXPECT_EQ(ReadyLineFor("2.43.0.7"), "Vantrel ready, using Sysinternals PsExec version 2.43.0.7");
    EXPECT_EQ(ReadyLineFor(""), "Vantrel ready, using Sysinternals PsExec version ");
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

TEST(TextFilter, AnInsertionKeepsItsAcceptedCharactersThenTheLimitApplies)
{
    // Pasted into an empty field of two characters: digits first, then the limit.
    TFilteredText pasted = FilterInsertion("", "x1-2 3", IsDigit, 2);
    EXPECT_EQ(pasted.Text, "12");
    EXPECT_EQ(pasted.Caret, 2u);
    // Into the middle, with room for one more.
    pasted = FilterInsertion("7", "ab5c7", IsDigit, 2);
    EXPECT_EQ(pasted.Text, "57");
    EXPECT_EQ(pasted.Caret, 1u);
    // A full field takes nothing more, wherever the text lands.
    EXPECT_EQ(FilterInsertion("12", "1992", IsDigit, 2).Text, "12");
    // Without a limit everything accepted stays.
    EXPECT_EQ(FilterInsertion("", "a1b2c3d4", IsDigit, 0).Text, "1234");
}

TEST(TextFilter, WhatAChangeRemovedStaysRemovedAndRejectedTextIsDropped)
{
    // A selection "23" replaced by "x9": the replacement is filtered, the removal kept.
    TFilteredText replaced = FilterInsertion("1234", "1x94", IsDigit, 4);
    EXPECT_EQ(replaced.Text, "194");
    EXPECT_EQ(replaced.Caret, 2u);
    // Everything replaced by letters leaves the field empty.
    EXPECT_EQ(FilterInsertion("42", "abc", IsDigit, 2).Text, "");
    // Repeated characters at the seam: the change is read as the shortest insertion.
    EXPECT_EQ(FilterInsertion("11", "1a11", IsDigit, 3).Text, "111");
    EXPECT_EQ(KeepAccepted("a1\t2\r\n", IsDigit), "12");
}

TEST(FileReading, AFailedReadPartWayGivesNothingRatherThanTheFirstChunks)
{
    const std::string source(150000, 'x');
    auto reader = [&](int failAtCall) {
        int calls = 0;
        std::size_t offset = 0;
        return [=](char* buffer, std::size_t size, std::size_t& read) mutable {
            if (++calls == failAtCall)
                return false;
            read = std::min(size, source.size() - offset);
            std::copy_n(source.data() + offset, read, buffer);
            offset += read;
            return true;
        };
    };
    EXPECT_EQ(ReadAllChunks(reader(0)), source) << "every chunk, in order";
    EXPECT_EQ(ReadAllChunks(reader(2)), std::nullopt) << "the second chunk fails";
    EXPECT_EQ(ReadAllChunks(reader(4)), std::nullopt) << "the final, empty read fails";
}

// What the platform's edit control would answer for the same lines.
void ExpectEditPositions(const TLineStore& store, const std::vector<std::string>& lines)
{
    std::string joined;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            joined += "\r\n";
        ASSERT_EQ(store.LineIndex(static_cast<int>(i)), joined.size()) << "line " << i;
        joined += lines[i];
    }
    EXPECT_EQ(store.TextLength(), joined.size());
    EXPECT_EQ(store.JoinedText(joined.size() + 10), joined) << "no break after the last line";
    EXPECT_EQ(store.JoinedText(3), joined.substr(0, 3));
    for (std::size_t position = 0; position <= joined.size(); ++position) {
        const auto line = std::count(joined.begin(), joined.begin() + static_cast<std::ptrdiff_t>(position), '\n');
        ASSERT_EQ(store.LineFromChar(position), line) << "position " << position;
    }
}

TEST(LineStore, PositionsFollowEveryKindOfChangeAsTheEditControlCountsThem)
{
    TLineStore store;
    std::vector<std::string> lines;
    ExpectEditPositions(store, lines);
    for (const char* line : {"alpha", "", "gamma", "d"}) {
        store.Add(line);
        lines.push_back(line);
    }
    ExpectEditPositions(store, lines);
    // Changes before positions already counted must move the later ones.
    store.Put(1, "beta!");
    lines[1] = "beta!";
    ExpectEditPositions(store, lines);
    store.Insert(0, "zero");
    lines.insert(lines.begin(), "zero");
    ExpectEditPositions(store, lines);
    store.Delete(2);
    lines.erase(lines.begin() + 2);
    ExpectEditPositions(store, lines);
    store.Add("tail");
    lines.push_back("tail");
    ExpectEditPositions(store, lines);
    store.Assign({"x", "yy"});
    ExpectEditPositions(store, {"x", "yy"});
}

TEST(LineStore, TabsExpandToTheNextMultipleOfEight)
{
    EXPECT_EQ(ExpandTabs("\tx"), "        x");
    EXPECT_EQ(ExpandTabs("abc\tx"), "abc     x");
    EXPECT_EQ(ExpandTabs("12345678\tx"), "12345678        x") << "a tab at a stop goes to the next";
    EXPECT_EQ(ExpandTabs("a\t\tb"), std::string("a") + std::string(15, ' ') + "b");
    EXPECT_EQ(ExpandTabs("no tabs"), "no tabs");
}

// A width per character, so that each character's share of a sum can be told apart.
TEST(LineStore, AShownWidthIsTheSumOfTheExpandedCharactersWidths)
{
    TCharWidths widths{};
    for (std::size_t c = 0; c < widths.size(); ++c)
        widths[c] = static_cast<int>(c % 7) + 1;
    auto summed = [&](const std::string& shown) {
        int width = 0;
        for (unsigned char c : shown)
            width += widths[c];
        return width;
    };
    for (const std::string line : {"", "plain", "a\tb", "12345678\tx", "a\t\tb\t", "\xE9t\xE9 \xFF\x01"})
        EXPECT_EQ(ShownWidth(line, widths), summed(ExpandTabs(line))) << line;
}

}  // namespace
