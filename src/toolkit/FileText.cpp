#include "FileText.h"

#include <optional>

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

bool IsContinuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

// One UTF-8 sequence at the start of the bytes, as its code point and its length; none when
// the bytes are not well-formed UTF-8 there (overlong forms and surrogates included).
std::optional<std::pair<char32_t, std::size_t>> NextCodePoint(std::string_view bytes)
{
    const auto lead = static_cast<unsigned char>(bytes[0]);
    if (lead < 0x80)
        return std::pair{char32_t{lead}, std::size_t{1}};
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || bytes.size() < length)
        return std::nullopt;
    char32_t codePoint = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (!IsContinuation(c))
            return std::nullopt;
        codePoint = codePoint << 6 | (c & 0x3F);
    }
    constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (codePoint < kLeast[length] || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return std::nullopt;
    return std::pair{codePoint, length};
}

std::optional<std::u16string> Utf16FromUtf8(std::string_view bytes)
{
    std::u16string text;
    while (!bytes.empty()) {
        const auto next = NextCodePoint(bytes);
        if (!next)
            return std::nullopt;
        auto [codePoint, length] = *next;
        if (codePoint >= 0x10000) {
            codePoint -= 0x10000;
            text += static_cast<char16_t>(0xD800 + (codePoint >> 10));
            text += static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
        } else {
            text += static_cast<char16_t>(codePoint);
        }
        bytes.remove_prefix(length);
    }
    return text;
}

// A lone last byte of a UTF-16 file is dropped: it cannot be half a character.
std::u16string Utf16FromBytes(std::string_view bytes, bool bigEndian)
{
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        text += static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first);
    }
    return text;
}

bool IsAscii(std::string_view bytes)
{
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

} // namespace

std::string FileTextInAnsi(std::string_view fileBytes, const TToAnsi& toAnsi)
{
    if (fileBytes.starts_with(kUtf16LeMark) || fileBytes.starts_with(kUtf16BeMark))
        return toAnsi(Utf16FromBytes(fileBytes.substr(2), fileBytes.starts_with(kUtf16BeMark)));
    const bool marked = fileBytes.starts_with(kUtf8Mark);
    const std::string_view body = marked ? fileBytes.substr(kUtf8Mark.size()) : fileBytes;
    if (IsAscii(body))
        return std::string(body);
    // Without a mark, only bytes that are well-formed UTF-8 are taken for it: a file in the
    // ANSI code page almost never is.
    if (const auto text = Utf16FromUtf8(body))
        return toAnsi(*text);
    return std::string(marked ? body : fileBytes);
}
