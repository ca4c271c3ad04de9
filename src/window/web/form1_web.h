// SPDX-License-Identifier: MIT
// The game's one window in a browser page: the 200 x 100 stage on a canvas
// under the page's menu bar, the banner display over its top half, the
// picture holders, and the platform services the duel runs on. The page's
// own script (page.js) keeps the menus, Timer1, the boxes and the sound: what
// only the browser can do.
#pragma once

#include "duel/duel.h"
#include "formats/bmp_image.h"
#include "platform/platform.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tarvo::on_web {

class Form1 final : public Platform {
public:
    // Creates the stage, the holders and the page's menu bar and runs
    // Form_Load; the page shows the stage once Start() has handed it over.
    Form1();
    void Start();

    // Events from the page.
    void KeyDown(std::uint16_t keyCode, std::uint16_t mask) { duel_.Form_KeyDown(keyCode, mask); }
    void Command(int id);
    void Tick() { duel_.Timer1_Timer(); }

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

private:
    std::unique_ptr<BmpImage> loadPicture(const char *name);
    // What the screen is to show now: the stage, the banner over its top half.
    void present();

    std::array<std::unique_ptr<BmpImage>, 9> holders_; // by Holder; Image7 holds none of its own
    const BmpImage *image7_ = nullptr;                  // the very picture of the holder it shows, or none
    std::vector<std::uint32_t> stage_, screen_;        // 200 x 100 each
    StdRandom random_;
    Duel duel_{*this};
};

} // namespace tarvo::on_web
