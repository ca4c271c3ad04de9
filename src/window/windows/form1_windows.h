// SPDX-License-Identifier: MIT
// The game's one window on Windows, made with the Windows API alone: a
// 200 x 100 stage under a menu bar, the banner display over its top half,
// the picture holders, Timer1, and the platform services the duel runs on.
#pragma once

#include "duel/duel.h"
#include "platform/platform.h"
#include "sound_player_windows.h"
#include "timer1_windows.h"

#include <windows.h>
// The platform's box is Platform::MessageBox; the system's is MessageBoxW.
#undef MessageBox

#include <array>
#include <string>

namespace tarvo::on_windows {

class Form1 final : public Platform {
public:
    // Creates the window with its controls and menus, starts Timer1 and runs
    // Form_Load; the window is not shown yet.
    explicit Form1(HINSTANCE instance);
    ~Form1() override;
    Form1(const Form1 &) = delete;
    Form1 &operator=(const Form1 &) = delete;

    void Show(int how);
    // Delivers events until the window is closed; the program's exit code.
    int Run();

    // Platform
    void DrawCell(int x1, int y1, int x2, int y2) override;
    void SetBanner(Holder holder) override;
    bool BannerShows(Holder holder) override;
    bool Enabled(MenuItem item) override;
    void SetEnabled(MenuItem item, bool enabled) override;
    bool Checked(MenuItem item) override;
    void SetChecked(MenuItem item, bool checked) override;
    void SetTimer1Enabled(bool enabled) override;
    void MessageBox(const std::u16string &text, const std::u16string &title) override;
    double Random() override { return random_.next(); }
    std::vector<std::uint8_t> LoadSoundResource(int id) override;
    void PlaySoundFromMemory(const std::uint8_t *image, std::size_t size) override;
    void CloseWindow() override;
    [[noreturn]] void RaiseError(const std::string &operation, const std::string &reason) override;

    HWND window() const { return hwnd_; }
    Duel &duel() { return duel_; }

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void command(int id);
    void keyDown(WPARAM key);
    void paint();
    // Sizes the window so that its client area holds the stage at the
    // scale that `dpi` asks for, under the menu bar.
    void fit(UINT dpi, const RECT *suggested);
    void invalidate(int x, int y, int w, int h);
    // Paints what the last handler drew, if anything, then starts the sounds
    // it asked for.
    void paintNow();

    HBITMAP loadPicture(int id, const char *name);
    // RaiseError with the system's reason for the last failure.
    [[noreturn]] void fail(const char *operation);

    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    HMENU menu_ = nullptr;
    HACCEL accelerators_ = nullptr;
    HICON bigIcon_ = nullptr, smallIcon_ = nullptr; // the class's, at the system's sizes
    std::array<int, 2> iconSize_{}; // the width of the icon shown, by ICON_SMALL and ICON_BIG
    // The stage: a 200 x 100 surface that keeps what is drawn on it.
    HDC stageDc_ = nullptr;
    HBITMAP stage_ = nullptr, stageWas_ = nullptr;
    HDC pictureDc_ = nullptr; // for copying out of a holder's picture
    HBITMAP pictureWas_ = nullptr;
    // The holders' pictures, loaded once, by Holder; Image7 is the banner
    // display and holds none of its own.
    std::array<HBITMAP, 9> holders_{};
    HBITMAP image7_ = nullptr; // the very picture of the holder it shows, or none
    int scale_ = 1;
    bool drawn_ = false; // the last handler drew on the stage or changed the banner
    Timer1 timer1_;
    SoundPlayer sound_;
    StdRandom random_;
    Duel duel_{*this};
};

// 1 at 96 dpi (100 %) and 120 (125 %), 2 from 144 (150 %) to 216, 3 from 240:
// the whole number nearest to what the screen asks for, halves rounded up.
int StageScaleFor(UINT dpi);

} // namespace tarvo::on_windows
