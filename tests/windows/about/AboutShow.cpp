// Shows the About box modally for the number of seconds given (default 10), then closes it.
#include <cstdlib>

#include "windows/About.h"

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    TAboutBox box(GetModuleHandleA(nullptr), [](const std::string&) {});
    static TAboutBox* shown = &box;
    SetTimer(nullptr, 0, static_cast<UINT>(seconds) * 1000, [](HWND, UINT, UINT_PTR, DWORD) { shown->Close(); });
    box.ShowModal(nullptr);
    return 0;
}
