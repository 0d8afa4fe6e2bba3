// A list file's bytes as the program's ANSI text, whichever way an editor saved it.
#include "toolkit/FileText.h"

#include <gtest/gtest.h>

namespace {

// Latin-1 stands in for the ANSI code page: it spells the letters these tests use as cp1252 does.
std::string Latin1(std::u16string_view text)
{
    std::string ansi;
    for (const char16_t c : text)
        ansi += c < 0x100 ? static_cast<char>(c) : '?';
    return ansi;
}

std::string Utf16(std::u16string_view text, bool bigEndian)
{
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t c : text) {
        const char high = static_cast<char>(c >> 8);
        const char low = static_cast<char>(c & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

} // namespace

TEST(FileText, EveryWayOfSavingTheSameListReadsAsTheSameText)
{
    EXPECT_EQ(FileTextInAnsi("\xEF\xBB\xBFPC-A\r\n", Latin1), "PC-A\r\n");
    EXPECT_EQ(FileTextInAnsi("PC-A\r\n", Latin1), "PC-A\r\n");

    const std::string ansi = "\xD1" "AND\xDA-01\r\nPC-B\r\n";  // as cp1252 spells it
    const std::u16string text = u"ÑANDÚ-01\r\nPC-B\r\n";
    EXPECT_EQ(FileTextInAnsi("\xEF\xBB\xBF" "\xC3\x91" "AND\xC3\x9A-01\r\nPC-B\r\n", Latin1), ansi);
    EXPECT_EQ(FileTextInAnsi("\xC3\x91" "AND\xC3\x9A-01\r\nPC-B\r\n", Latin1), ansi) << "UTF-8 without its mark";
    EXPECT_EQ(FileTextInAnsi(Utf16(text, false), Latin1), ansi);
    EXPECT_EQ(FileTextInAnsi(Utf16(text, true), Latin1), ansi);
    EXPECT_EQ(FileTextInAnsi(Utf16(text, false) + "\x41", Latin1), ansi) << "a lone last byte is dropped";

    // A letter beyond the code page, including one beyond 16 bits, is the converter's to spell.
    EXPECT_EQ(FileTextInAnsi("PC-\xE6\x9D\xB1-\xF0\x9F\x98\x80", Latin1), "PC-?-??");
}

TEST(FileText, AnyOtherFileStaysAsItIs)
{
    const std::string ansi = "\xD1" "AND\xDA-01\r\n";
    EXPECT_EQ(FileTextInAnsi(ansi, Latin1), ansi);
    // Not well-formed UTF-8: overlong, a surrogate, cut short, a stray continuation byte.
    for (const std::string odd : {"\xC0\xAF", "\xED\xA0\x80", "PC-\xC3", "\x80PC"})
        EXPECT_EQ(FileTextInAnsi(odd, Latin1), odd);
    EXPECT_EQ(FileTextInAnsi("", Latin1), "");
}
