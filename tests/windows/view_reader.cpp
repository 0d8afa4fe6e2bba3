// Reads a text view from another process, as automation tools do: the standard text queries,
// ANSI and Unicode. Writes what it read into files for the test to compare.
//   view_reader HWND FOLDER STEP   (every STEP-th line, and the last 50, through EM_GETLINE)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/FileBytesWin32.h"

namespace {

std::string Narrow(const std::wstring& wide)
{
    const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                         nullptr);
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), narrow.data(), size, nullptr, nullptr);
    return narrow;
}

std::string TextA(HWND view)
{
    const auto length = static_cast<std::size_t>(SendMessageA(view, WM_GETTEXTLENGTH, 0, 0));
    std::string text(length + 1, '\0');
    const auto copied = static_cast<std::size_t>(SendMessageA(view, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
    text.resize(copied);
    return text;
}

std::string TextW(HWND view)
{
    // For an ANSI window the length may be counted high: the copied count is the truth.
    const auto length = static_cast<std::size_t>(SendMessageW(view, WM_GETTEXTLENGTH, 0, 0));
    std::wstring text(length + 1, L'\0');
    const auto copied = static_cast<std::size_t>(SendMessageW(view, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
    text.resize(copied);
    return Narrow(text);
}

// "index<TAB>start<TAB>length<TAB>text" for every line read.
std::string Lines(HWND view, int step)
{
    const int count = static_cast<int>(SendMessageA(view, EM_GETLINECOUNT, 0, 0));
    std::string report = "count\t" + std::to_string(count) + "\n";
    for (int line = 0; line < count; ++line) {
        if (line % step != 0 && line < count - 50)
            continue;
        const LRESULT start = SendMessageA(view, EM_LINEINDEX, static_cast<WPARAM>(line), 0);
        const LRESULT length = SendMessageA(view, EM_LINELENGTH, static_cast<WPARAM>(start), 0);
        // Between processes this Wine copies back only as many bytes as the buffer holds
        // characters, even for its own edit control: offer twice the room.
        std::wstring text(2 * static_cast<std::size_t>(length) + 16, L'\0');
        *reinterpret_cast<WORD*>(text.data()) = static_cast<WORD>(text.size());
        const auto copied = static_cast<std::size_t>(SendMessageW(view, EM_GETLINE, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(text.data())));
        text.resize(copied);
        report += std::to_string(line) + "\t" + std::to_string(start) + "\t" + std::to_string(length) + "\t" + Narrow(text) + "\n";
    }
    report += "past-end\t" + std::to_string(SendMessageA(view, EM_LINEINDEX, static_cast<WPARAM>(count), 0)) + "\n";
    return report;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        return 2;
    HWND view = reinterpret_cast<HWND>(static_cast<INT_PTR>(std::strtoll(argv[1], nullptr, 10)));
    const std::string folder = argv[2];
    const int step = std::max(1, std::atoi(argv[3]));
    WriteFileBytes(folder + "\\text-a.txt", TextA(view));
    WriteFileBytes(folder + "\\text-w.txt", TextW(view));
    WriteFileBytes(folder + "\\lines.txt", Lines(view, step));
    return 0;
}
