/* The second yardstick for start-up: the main window's own platform controls, in the same places,
   with the same styles, font and texts, and nothing else: no pictures, no version query, no
   runner, no toolkit. What it costs beyond the minimal window is what the platform charges for
   those controls; what Vantrel costs beyond it is Vantrel's own. */
#include <windows.h>

#include <commctrl.h>

/* Where a child goes, as an index into the windows created: 0 is the main window, and a panel is
   its row in the table below plus one. */
enum Parent { kMain = 0, kInputPanel = 1, kOptionsPanel = 13, kButtonsPanel = 24, kListPanel = 30 };

struct Child {
    enum Parent parent;
    const char* className;
    DWORD style, exStyle;
    int left, top, width, height;
    const char* text;
};

/* Vantrel's own classes stand in as plain windows: the panels with their bevel, the views with
   their scroll bars. The picture buttons are owner-drawn, as Vantrel's are; drawing their
   pictures is Vantrel's own cost, so here they stay blank. */
static const struct Child kChildren[] = {
    {kMain, "YardPanel", 0x54000000, 0x00010000, 3, 3, 536, 118, ""},
    {kInputPanel, "Button", 0x54000000, 0, 510, 18, 19, 17, "..."},
    {kInputPanel, "Edit", 0x54010080, 0x200, 8, 16, 523, 21, ""},
    {kInputPanel, "Edit", 0x50010080, 0x200, 8, 90, 154, 21, ""},
    {kInputPanel, "Edit", 0x50010080, 0x200, 191, 90, 161, 21, ""},
    {kInputPanel, "Edit", 0x500100a0, 0x200, 378, 90, 153, 21, ""},
    {kInputPanel, "Edit", 0x50010080, 0x200, 8, 53, 523, 21, ""},
    {kInputPanel, "Static", 0x50000080, 0, 8, 3, 105, 13, "Distribution List File:"},
    {kInputPanel, "Static", 0x50000080, 0, 8, 40, 328, 13,
     "Install package UNC path (Example: \\\\Server\\share\\install.msi):"},
    {kInputPanel, "Static", 0x50000080, 0, 8, 77, 42, 13, "Domain:"},
    {kInputPanel, "Static", 0x50000080, 0, 191, 77, 60, 13, "User Name:"},
    {kInputPanel, "Static", 0x50000080, 0, 378, 77, 51, 13, "Password:"},
    {kMain, "YardPanel", 0x54000000, 0x00010000, 3, 309, 536, 86, ""},
    {kOptionsPanel, "Button", 0x50010003, 0, 8, 1, 141, 20, "No UI on remote machine"},
    {kOptionsPanel, "Button", 0x50010003, 0, 8, 21, 192, 20, "Prompt user for restart if necessary"},
    {kOptionsPanel, "Button", 0x50010003, 0, 8, 41, 164, 20, "Force restart after installation"},
    {kOptionsPanel, "Button", 0x50010003, 0, 288, 1, 213, 20, "Don't load the specified account's profile"},
    {kOptionsPanel, "Button", 0x50010003, 0, 288, 21, 187, 20, "Don't wait for process to terminate"},
    {kOptionsPanel, "Button", 0x50010003, 0, 288, 41, 209, 20, "Timeout (seconds) connecting to target"},
    {kOptionsPanel, "Edit", 0x58010080, 0x200, 504, 40, 25, 21, ""},
    {kOptionsPanel, "Button", 0x50010003, 0, 8, 65, 321, 20, "Execute Uninstall procedure for the selected package"},
    {kOptionsPanel, "Static", 0x50000080, 0, 390, 67, 108, 13, "Computers at a time:"},
    {kOptionsPanel, "Edit", 0x50010080, 0x200, 504, 63, 25, 21, "1"},
    {kMain, "YardPanel", 0x54000000, 0x00010000, 3, 401, 536, 79, ""},
    {kButtonsPanel, "Button", 0x5001000b, 0, 8, 6, 97, 68, "Execute"},
    {kButtonsPanel, "Button", 0x5001000b, 0, 114, 6, 97, 68, "Clear"},
    {kButtonsPanel, "Button", 0x5001000b, 0, 220, 6, 97, 68, "Save Log ..."},
    {kButtonsPanel, "Button", 0x5001000b, 0, 328, 6, 97, 68, "About..."},
    {kButtonsPanel, "Button", 0x5001000b, 0, 434, 6, 97, 68, "Exit"},
    {kMain, "YardPanel", 0x54000000, 0x00010000, 3, 127, 536, 176, ""},
    {kListPanel, "YardView", 0x503108c4, 0x200, 4, 16, 168, 156, ""},
    {kListPanel, "YardView", 0x503108c4, 0x200, 178, 16, 354, 156, ""},
    {kListPanel, "Static", 0x50000080, 0, 4, 3, 97, 13, "Target Computers:"},
    {kListPanel, "Static", 0x50000080, 0, 320, 3, 70, 13, "Console view:"},
    {kMain, "msctls_statusbar32", 0x5000004c, 0, 0, 483, 542, 19, ""},
};
#define CHILD_COUNT (sizeof kChildren / sizeof kChildren[0])

static LRESULT CALLBACK TopProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

static LRESULT CALLBACK PanelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT client;
        GetClientRect(hwnd, &client);
        DrawEdge(dc, &client, BDR_RAISEDOUTER, BF_RECT);
        EndPaint(hwnd, &ps);
        return 0;
    }
    if (msg == WM_COMMAND || msg == WM_NOTIFY || msg == WM_CTLCOLORSTATIC)
        return SendMessageA(GetParent(hwnd), msg, wParam, lParam);
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

static void RegisterYardClass(HINSTANCE instance, const char* name, WNDPROC proc, int brush)
{
    WNDCLASSA wc = {0};
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(INT_PTR)(brush + 1);
    wc.lpszClassName = name;
    RegisterClassA(&wc);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command, int show)
{
    (void)previous;
    (void)command;
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES;
    InitCommonControlsEx(&controls);
    RegisterYardClass(instance, "Yardstick", TopProc, COLOR_BTNFACE);
    RegisterYardClass(instance, "YardPanel", PanelProc, COLOR_BTNFACE);
    RegisterYardClass(instance, "YardView", DefWindowProcA, COLOR_WINDOW);

    HFONT font = CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Tahoma");
    HWND windows[CHILD_COUNT + 1];
    windows[0] = CreateWindowExA(0x00010100, "Yardstick", "Controls window", 0x06ca0000, CW_USEDEFAULT, CW_USEDEFAULT,
                                 548, 527, NULL, NULL, instance, NULL);
    HWND tips = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, NULL, TTS_ALWAYSTIP, 0, 0, 0, 0, windows[0], NULL,
                                instance, NULL);
    for (unsigned i = 0; i < CHILD_COUNT; ++i) {
        const struct Child* child = &kChildren[i];
        /* A row added above a panel moves it: refuse to start rather than measure a wrong window. */
        if (child->parent != kMain && lstrcmpA(kChildren[child->parent - 1].className, "YardPanel") != 0)
            return 1;
        HWND hwnd = CreateWindowExA(child->exStyle, child->className, child->text, child->style, child->left,
                                    child->top, child->width, child->height, windows[child->parent], NULL, instance,
                                    NULL);
        windows[i + 1] = hwnd;
        SendMessageA(hwnd, WM_SETFONT, (WPARAM)font, FALSE);
        if (lstrcmpA(child->className, "Edit") == 0 || lstrcmpA(child->className, "Button") == 0) {
            TTTOOLINFOA tool;
            ZeroMemory(&tool, sizeof tool);
            tool.cbSize = sizeof tool;
            tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            tool.hwnd = windows[0];
            tool.uId = (UINT_PTR)hwnd;
            tool.lpszText = (char*)"hint";
            SendMessageA(tips, TTM_ADDTOOLA, 0, (LPARAM)&tool);
        }
        if (lstrcmpA(child->className, "YardView") == 0) {
            SCROLLINFO info = {sizeof info, SIF_ALL | SIF_DISABLENOSCROLL, 0, 0, 1, 0, 0};
            SetScrollInfo(hwnd, SB_VERT, &info, FALSE);
            SetScrollInfo(hwnd, SB_HORZ, &info, FALSE);
        }
    }
    SendMessageA(windows[CHILD_COUNT], SB_SIMPLE, TRUE, 0);
    SendMessageA(windows[CHILD_COUNT], SB_SETTEXTA, 255 | SBT_NOBORDERS, (LPARAM) "Ready");
    ShowWindow(windows[0], show);
    UpdateWindow(windows[0]);
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        if (!IsDialogMessageA(windows[0], &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return 0;
}
