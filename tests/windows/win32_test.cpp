// SPDX-License-Identifier: MIT
// The Windows window in the test's own process (under Wine here): what only
// the Windows API shows, the system's message box with its text and the
// loop it runs, and what the program does when an operation fails.
#include "dialogs/dialogs.h"
#include "window/windows/form1_windows.h"
#include "window/menu.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <thread>

namespace tarvo::testing {
using namespace on_windows;
namespace {

std::string Utf8(const std::wstring &w) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(std::max(n, 0)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), int(w.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// Waits for the system's box with this title to open, runs `meanwhile`,
// leaves the box open for `openMs`, reads its text and presses its OK
// button, as a player would.
std::wstring CloseBoxWhenItOpens(const wchar_t *title, int openMs, const std::function<void()> &meanwhile = {}) {
    for (int i = 0; i < 3000; ++i) {
        if (HWND box = FindWindowW(L"#32770", title)) {
            if (meanwhile) meanwhile();
            Sleep(DWORD(openMs));
            wchar_t text[1024] = L"";
            GetDlgItemTextW(box, 0xffff, text, 1024); // the box's text
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            return text;
        }
        Sleep(10);
    }
    return L"(no box opened)";
}

TEST(Win32Window, ABoutGoesOnBehindAnOpenBoxWithTheTextAsGiven) {
    Form1 form(GetModuleHandleW(nullptr));
    form.Show(SW_SHOWNOACTIVATE);
    std::wstring text;
    // Once the box is up, the bout is started (as by the menu); KILL comes
    // 3.0 to 3.9 s later, and the box stays open for 4.2 s.
    std::thread player([&] {
        text = CloseBoxWhenItOpens(L"キー操作", 4200, [&] { PostMessageW(form.window(), WM_COMMAND, MenuEntryOf(MenuItem::Start).id, 0); });
    });
    Keys_Click(form); // returns once the box is closed
    player.join();
    const std::u16string keys = KeysText();
    EXPECT_EQ(Utf8(text), Utf8(std::wstring(keys.begin(), keys.end()))) << "the four lines, each ended by a lone 13";
    EXPECT_TRUE(form.BannerShows(Holder::Image2)) << "the bout started and came to KILL while the box was open";
    EXPECT_FALSE(form.Enabled(MenuItem::Start)) << "the bout goes on";
}

TEST(Win32Window, AFailedOperationShowsOneBoxAndEndsTheProgram) {
    EXPECT_EXIT(
        {
            std::thread([] {
                const std::string text = Utf8(CloseBoxWhenItOpens(L"TARVO", 0));
                std::fprintf(stderr, "box: %s\n", text.c_str());
                std::fflush(stderr);
            }).detach();
            Form1 form(GetModuleHandleW(nullptr));
            form.Show(SW_SHOWNOACTIVATE);
            form.LoadSoundResource(110);
            std::exit(0); // not reached
        },
        ::testing::ExitedWithCode(1), "box: LoadSoundResource: no built-in sound 110: error 1814");
}

} // namespace
} // namespace tarvo::testing
