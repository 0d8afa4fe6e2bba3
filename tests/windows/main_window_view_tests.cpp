// The list preview and the console view: selecting, copying, context menus, scrolling and what
// other processes and accessibility clients read.
#include <windows.h>

#include <oleacc.h>

#include "MainWindowFixture.h"
#include "toolkit/AccessibleWin32.h"

namespace {

std::string ClipboardText(HWND owner)
{
    if (!OpenClipboard(owner))
        return "(no clipboard)";
    HANDLE data = GetClipboardData(CF_TEXT);
    const std::string text = data ? static_cast<const char*>(GlobalLock(data)) : "";
    if (data)
        GlobalUnlock(data);
    CloseClipboard();
    return text;
}

TEST_F(MainWindow, TheListPreviewFollowsExistingFilesOnly)
{
    TForm1& form = Form();
    folder_.Write("lf.txt", "A\nB\nC");
    form.edt1->SetText(folder_.File("lf.txt"));
    EXPECT_EQ(form.edt1->TextColor(), TForm1::FileFoundColor);
    EXPECT_EQ(ConsoleLines(form).size(), 0u);
    EXPECT_EQ(form.mmo1->Lines().Count(), 3);
    EXPECT_EQ(form.mmo1->Lines().Get(2), "C");
    EXPECT_EQ(form.lblTargets->Text(), "Target Computers from lf.txt:");

    form.edt1->SetText(folder_.File("missing.txt"));
    EXPECT_EQ(form.edt1->TextColor(), TForm1::FileMissingColor);
    EXPECT_EQ(form.mmo1->Lines().Count(), 3) << "the earlier preview stays";
    EXPECT_EQ(form.lblTargets->Text(), "Target Computers from lf.txt:");
    form.edt1->SetText(folder_.Path());
    EXPECT_EQ(form.edt1->TextColor(), TForm1::FileMissingColor) << "a folder is not a file";

    folder_.Write("cr.txt", "X\rY\r");
    form.edt1->SetText(folder_.File("cr.txt"));
    EXPECT_EQ(form.mmo1->Lines().Count(), 2);
    folder_.Write("empty.txt", "");
    form.edt1->SetText(folder_.File("empty.txt"));
    EXPECT_EQ(form.edt1->TextColor(), TForm1::FileFoundColor);
    EXPECT_EQ(form.mmo1->Lines().Count(), 0);
    EXPECT_EQ(form.lblTargets->Text(), "Target Computers from empty.txt:");
    EXPECT_TRUE(dialogs_.Boxes.empty());

    form.edt2->SetText(Package());
    EXPECT_EQ(form.edt2->TextColor(), TForm1::FileFoundColor);
    form.edt2->SetText(kShare + "\\nothing.msi");
    EXPECT_EQ(form.edt2->TextColor(), TForm1::FileMissingColor);
}

TEST_F(MainWindow, AListFileBeingWrittenElsewhereIsReportedAndThePreviewKept)
{
    TForm1& form = Form();
    const std::string longList = std::string(100000, 'A') + "\r\nPC-LAST\r\n";
    struct Holder {
        const char* name;
        DWORD access, share;
    };
    const Holder holders[] = {
        {"exclusive.txt", GENERIC_READ | GENERIC_WRITE, 0},
        {"being-written.txt", GENERIC_WRITE, FILE_SHARE_READ},
    };
    for (const Holder& holder : holders) {
        SCOPED_TRACE(holder.name);
        dialogs_.Boxes.clear();
        form.edt1->SetText(folder_.File("lab.txt"));
        folder_.Write(holder.name, longList);
        UniqueHandle held(CreateFileA(folder_.File(holder.name).c_str(), holder.access, holder.share, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held.Valid());
        form.edt1->SetText(folder_.File(holder.name));
        ASSERT_EQ(dialogs_.Boxes.size(), 1u);
        EXPECT_TRUE(IsBox(dialogs_.Boxes[0], kApplicationTitle, TMsgDlgType::mtError,
                          "Cannot open file \"" + folder_.File(holder.name) + "\". ", TTextIs::Beginning));
        EXPECT_EQ(form.edt1->TextColor(), TForm1::FileFoundColor);
        EXPECT_EQ(form.mmo1->Lines().Count(), 2) << "no cut-off preview";
        EXPECT_EQ(form.mmo1->Lines().Get(0), "PC-LAB-01");
        EXPECT_EQ(form.lblTargets->Text(), "Target Computers from lab.txt:");
    }
    // A file that others only read is previewed as usual.
    UniqueHandle reader(CreateFileA(folder_.File("being-written.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(reader.Valid());
    dialogs_.Boxes.clear();
    form.edt1->SetText(folder_.File("being-written.txt"));
    EXPECT_TRUE(dialogs_.Boxes.empty());
    EXPECT_EQ(form.mmo1->Lines().Get(1), "PC-LAST");
}

TEST_F(MainWindow, TheConsoleViewSelectsAndCopiesWholeLinesAndTakesNoTyping)
{
    TMemo& view = *Form().mmo2;
    for (const char* line : {"first", "second \xE9", "third"})
        view.Lines().Add(line);
    SendMessageA(view.Handle(), WM_CHAR, 'x', 0);
    SendMessageA(view.Handle(), WM_PASTE, 0, 0);
    EXPECT_EQ(view.Lines().Text(), "first\r\nsecond \xE9\r\nthird\r\n") << "only the program writes the view";

    const int row = view.LineHeight() + 2;
    SendMessageA(view.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 1));
    SendMessageA(view.Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, row + 2));
    SendMessageA(view.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, row + 2));
    EXPECT_EQ(view.SelectionStart(), 0);
    EXPECT_EQ(view.SelectionEnd(), 1);
    SendMessageA(view.Handle(), WM_COPY, 0, 0);
    EXPECT_EQ(ClipboardText(Form().Handle()), "first\r\nsecond \xE9\r\n");
}

TEST_F(MainWindow, BothViewsHaveAContextMenuWithCopySelectAllAndAddedCommands)
{
    for (TMemo* view : {Form().mmo1.get(), Form().mmo2.get()}) {
        std::vector<TMenuCommand> commands = view->MenuCommands();
        ASSERT_GE(commands.size(), 2u);
        EXPECT_EQ(commands[0].Caption, "Copy");
        EXPECT_EQ(commands[1].Caption, "Select All");
        EXPECT_FALSE(commands[0].IsEnabled()) << "nothing selected";
        EXPECT_FALSE(commands[1].IsEnabled()) << "nothing to select";
    }
    EXPECT_EQ(Form().mmo1->MenuCommands().size(), 13u) << "the target list adds the marks' legend";
    const std::vector<TMenuCommand> console = Form().mmo2->MenuCommands();
    ASSERT_EQ(console.size(), 7u) << "the console view adds the retry lists, the results and Stop";
    EXPECT_EQ(console[3].Caption, "Save Retry List...");
    EXPECT_EQ(console[4].Caption, "Save Retry List with Restart Required...");
    EXPECT_EQ(console[5].Caption, "Save Results...");

    // A view of its own, without the main window's commands.
    TMemo::Args args;
    args.Parent = Form().spnl3->Handle();
    args.Bounds.Width = 100;
    args.Bounds.Height = 60;
    TMemo view(args);
    view.Lines().Add("alpha");
    view.Lines().Add("beta");
    int extraClicks = 0;
    bool extraEnabled = false;
    view.AddMenuCommand("Extra", [&] { ++extraClicks; }, [&] { return extraEnabled; });
    view.AddMenuCommand("Second", [&] { extraClicks += 10; });
    std::vector<TMenuCommand> commands = view.MenuCommands();
    ASSERT_EQ(commands.size(), 5u);
    EXPECT_TRUE(commands[2].Caption.empty()) << "a separator before the added commands";
    EXPECT_EQ(commands[3].Caption, "Extra");
    EXPECT_EQ(commands[4].Caption, "Second");
    EXPECT_FALSE(commands[3].IsEnabled());
    EXPECT_TRUE(commands[1].IsEnabled());

    // The real menu, driven by keys: Down, Down picks Select All.
    PostKeys(view.Handle(), {VK_DOWN, VK_DOWN, VK_RETURN});
    SendMessageA(view.Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(view.Handle()), -1);
    EXPECT_EQ(view.SelectionStart(), 0);
    EXPECT_EQ(view.SelectionEnd(), 1);
    EXPECT_EQ(view.MenuCommands()[0].IsEnabled(), true) << "Copy follows the selection";

    extraEnabled = true;
    PostKeys(view.Handle(), {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN});
    SendMessageA(view.Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(view.Handle()), -1);
    EXPECT_EQ(extraClicks, 1);
    PostKeys(view.Handle(), {VK_ESCAPE});
    SendMessageA(view.Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(view.Handle()), -1);
    EXPECT_EQ(extraClicks, 1) << "Esc closes the menu and runs nothing";
}

// Reads a view from another process, the way automation tools and screen readers do, while
// this thread answers its queries.
struct TViewReading {
    std::string TextA, TextW, Lines;
};

TViewReading ReadFromOutside(TApplication& app, const TScratchFolder& folder, HWND view, int step)
{
    const std::string command = "\"" + WinPath(VANTREL_VIEW_READER_EXE) + "\" " +
                                std::to_string(reinterpret_cast<INT_PTR>(view)) + " \"" + folder.Path() + "\" " +
                                std::to_string(step);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string mutableCommand = command;
    EXPECT_TRUE(CreateProcessA(nullptr, mutableCommand.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process));
    UniqueHandle processHandle(process.hProcess), thread(process.hThread);
    EXPECT_TRUE(PumpUntil(app, [&] { return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; },
                          std::chrono::seconds(120)));
    return {ReadFileBytes(folder.File("text-a.txt")), ReadFileBytes(folder.File("text-w.txt")),
            ReadFileBytes(folder.File("lines.txt"))};
}

// What the reader's line report must say for these lines, reading every step-th and the last 50.
std::string ExpectedLineReport(const std::vector<std::string>& lines, int step)
{
    const int count = std::max<int>(1, static_cast<int>(lines.size()));
    std::string report = "count\t" + std::to_string(count) + "\n";
    std::size_t start = 0;
    for (int line = 0; line < count; ++line) {
        const std::string text = line < static_cast<int>(lines.size()) ? lines[static_cast<std::size_t>(line)] : "";
        if (line % step == 0 || line >= count - 50)
            report += std::to_string(line) + "\t" + std::to_string(start) + "\t" + std::to_string(text.size()) + "\t" +
                      text + "\n";
        start += text.size() + 2;
    }
    return report + "past-end\t-1\n";
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i)
        text += (i > 0 ? "\r\n" : "") + lines[i];
    return text;
}

TEST_F(MainWindow, AnotherProcessReadsBothViewsThroughTheStandardQueries)
{
    TForm1& form = Form();
    folder_.Write("readable.txt", "PC-ONE\r\n\r\nPC\tTAB \xE9\r\nPC-LAST");
    form.edt1->SetText(folder_.File("readable.txt"));
    const std::vector<std::string> targets{"PC-ONE", "", "PC\tTAB \xE9", "PC-LAST"};
    TViewReading targetsRead = ReadFromOutside(App(), folder_, form.mmo1->Handle(), 1);
    EXPECT_EQ(targetsRead.TextA, Joined(targets));
    EXPECT_EQ(targetsRead.TextW, Joined(targets)) << "a Unicode client gets the same text";
    EXPECT_EQ(targetsRead.Lines, ExpectedLineReport(targets, 1));

    TViewReading emptyRead = ReadFromOutside(App(), folder_, form.mmo2->Handle(), 1);
    EXPECT_EQ(emptyRead.TextA, "");
    EXPECT_EQ(emptyRead.Lines, "count\t1\n0\t0\t0\t\npast-end\t-1\n") << "an empty view has one empty line";

    std::vector<std::string> console;
    for (int i = 0; i < 100000; ++i)
        console.push_back("Line " + std::to_string(i) + (i % 7 == 0 ? "\twith a tab" : " of the console view"));
    for (const std::string& line : console)
        form.mmo2->Lines().Add(line);
    TViewReading consoleRead = ReadFromOutside(App(), folder_, form.mmo2->Handle(), 97);
    EXPECT_TRUE(consoleRead.TextA == Joined(console)) << "the whole text, " << consoleRead.TextA.size() << " characters";
    EXPECT_TRUE(consoleRead.TextW == Joined(console));
    EXPECT_EQ(consoleRead.Lines, ExpectedLineReport(console, 97));
}

// The object itself: this Wine has no marshaller for accessible objects, so WM_GETOBJECT hands
// out nothing here (the same for its own edit control); on Windows it hands out this object.
TEST_F(MainWindow, AccessibilityClientsReadAViewAsAReadOnlyTextWithAllItsLines)
{
    TForm1& form = Form();
    folder_.Write("readable.txt", "PC-ONE\r\nPC-\xE9\r\n");
    form.edt1->SetText(folder_.File("readable.txt"));
    IAccessible* accessible = NewTextViewAccessible(form.mmo1->Handle());
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    VARIANT role, state;
    ASSERT_EQ(accessible->get_accRole(self, &role), S_OK);
    EXPECT_EQ(role.lVal, ROLE_SYSTEM_TEXT);
    ASSERT_EQ(accessible->get_accState(self, &state), S_OK);
    EXPECT_NE(state.lVal & STATE_SYSTEM_READONLY, 0);
    BSTR value = nullptr;
    ASSERT_EQ(accessible->get_accValue(self, &value), S_OK);
    EXPECT_EQ(std::wstring(value, SysStringLen(value)), L"PC-ONE\r\nPC-\u00E9");
    SysFreeString(value);

    form.edt1->SetText(folder_.File("lab.txt"));
    ASSERT_EQ(accessible->get_accValue(self, &value), S_OK) << "the value follows the view";
    EXPECT_EQ(std::wstring(value, SysStringLen(value)), L"PC-LAB-01\r\nPC-LAB-02");
    SysFreeString(value);
    accessible->Release();
}

TEST_F(MainWindow, TheKeyboardSelectsLinesAndCopiesThem)
{
    TMemo& view = *Form().mmo2;
    for (int i = 0; i < 100; ++i)
        view.Lines().Add("line " + std::to_string(i));
    view.SetFocus();
    const int rows = ClientBounds(view.Handle()).Height / view.LineHeight();
    auto selection = [&] { return std::make_pair(view.SelectionStart(), view.SelectionEnd()); };
    PressKey(App(), view.Handle(), VK_DOWN, {});
    EXPECT_EQ(selection(), std::make_pair(0, 0)) << "the first key picks the first line in sight";
    PressKey(App(), view.Handle(), VK_DOWN, {});
    EXPECT_EQ(selection(), std::make_pair(1, 1));
    PressKey(App(), view.Handle(), VK_DOWN, {VK_SHIFT});
    PressKey(App(), view.Handle(), VK_DOWN, {VK_SHIFT});
    EXPECT_EQ(selection(), std::make_pair(1, 3));
    PressKey(App(), view.Handle(), VK_UP, {VK_SHIFT});
    EXPECT_EQ(selection(), std::make_pair(1, 2));
    PressKey(App(), view.Handle(), VK_INSERT, {VK_CONTROL});
    EXPECT_EQ(ClipboardText(Form().Handle()), "line 1\r\nline 2\r\n") << "Ctrl+Insert copies";

    PressKey(App(), view.Handle(), VK_NEXT, {VK_SHIFT});
    EXPECT_EQ(selection(), std::make_pair(1, 2 + rows));
    EXPECT_GE(view.TopLine() + rows, 3 + rows) << "the caret stays in sight";
    PressKey(App(), view.Handle(), VK_END, {VK_CONTROL});
    EXPECT_EQ(selection(), std::make_pair(99, 99));
    EXPECT_EQ(view.TopLine(), 100 - rows);
    PressKey(App(), view.Handle(), VK_PRIOR, {VK_SHIFT});
    EXPECT_EQ(selection(), std::make_pair(99 - rows, 99));
    PressKey(App(), view.Handle(), VK_HOME, {VK_SHIFT, VK_CONTROL});
    EXPECT_EQ(selection(), std::make_pair(0, 99));
    EXPECT_EQ(view.TopLine(), 0);
    PressKey(App(), view.Handle(), VK_HOME, {});
    PressKey(App(), view.Handle(), VK_END, {VK_SHIFT});
    EXPECT_EQ(selection(), std::make_pair(0, 99));
    PressKey(App(), view.Handle(), VK_HOME, {});
    PressKey(App(), view.Handle(), 'C', {VK_CONTROL});
    EXPECT_EQ(ClipboardText(Form().Handle()), "line 0\r\n") << "Ctrl+C copies";
}

TEST_F(MainWindow, ATabIsAsWideAsTheBlanksUpToTheNextMultipleOfEight)
{
    TMemo& view = *Form().mmo1;
    auto widthOf = [&](const std::string& line) {
        view.Lines().SetText(line);
        PumpFor(App(), std::chrono::milliseconds(250));
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_RANGE;
        GetScrollInfo(view.Handle(), SB_HORZ, &info);
        return info.nMax;
    };
    // Wide enough to scroll; 62 characters before the first tab, 68 before the second.
    const std::string longLine(60, 'w');
    const int tabbed = widthOf(longLine + "ab\tc");
    EXPECT_EQ(view.Lines().Get(0), longLine + "ab\tc") << "the text itself keeps its tab";
    EXPECT_EQ(tabbed, widthOf(longLine + "ab  c"));
    EXPECT_EQ(widthOf(longLine + "ab\t123\tc"), widthOf(longLine + "ab  123     c"));
    EXPECT_EQ(widthOf(longLine + "12345678\tc"), widthOf(longLine + "12345678    c"));
}

// The view reckons widths from the font's character widths; the system's own measure of the
// widest line must agree, or the last characters of long lines could not be scrolled into sight.
TEST_F(MainWindow, TheHorizontalRangeIsTheWidestLineAsTheSystemMeasuresIt)
{
    for (TMemo* view : {Form().mmo1.get(), Form().mmo2.get()}) {
        const std::string widest = "Mixed WIDTHS: iiii mmmm \xC4\xE9\xFC\xDF 0123456789 !@#$%^&*() " + std::string(40, 'W');
        view->Lines().SetText("short\r\n" + widest);
        view->Lines().Add("ii");
        PumpFor(App(), std::chrono::milliseconds(250));
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_RANGE;
        GetScrollInfo(view->Handle(), SB_HORZ, &info);
        EXPECT_EQ(info.nMax + 1, TextSize(view->Handle(), widest).cx + 2 * TMemo::TextMargin);
    }
}

TEST_F(MainWindow, TheConsoleViewKeepsItsEndInSightAsLinesArrive)
{
    TMemo& view = *Form().mmo2;
    for (int i = 0; i < 500; ++i) {
        view.Lines().Add("line " + std::to_string(i));
        view.Lines().ScrollToEnd();
    }
    PumpFor(App(), std::chrono::milliseconds(250));
    const int rows = ClientBounds(view.Handle()).Height / view.LineHeight();
    EXPECT_GT(view.TopLine(), 400);
    EXPECT_GE(view.TopLine() + rows, 500) << "the last line is in sight";
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    GetScrollInfo(view.Handle(), SB_VERT, &info);
    EXPECT_EQ(info.nMax, 499);
    EXPECT_EQ(info.nPos, view.TopLine());
    SendMessageA(view.Handle(), WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(view.TopLine(), 0) << "the operator may scroll up";
    view.Lines().Add("one more");
    view.Lines().ScrollToEnd();
    EXPECT_GT(view.TopLine(), 400) << "and the next line brings the end back";
}

}  // namespace
