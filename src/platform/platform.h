// SPDX-License-Identifier: MIT
// The services the duel reaches the outside world through: the stage surface,
// the banner, the menu items, the timer, message boxes, chance, the sound
// resources and the player. The game logic includes nothing but this header;
// the Qt window implements it, and the tests script a fake of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace tarvo {

// The window's picture controls. Image7 is the banner display; Image1 holds
// the sprite sheet; the others each hold one banner for the window's life.
enum class Holder { Image1, Image2, Image3, Image4, Image5, Image6, Image7, Image8, Image9 };

// Menu items that have a command or carry state.
enum class MenuItem { Start, Quit, HumanVsHuman, HumanVsMachine, Rules, Keys, AboutOpponent, Score };

class Platform {
public:
    virtual ~Platform() = default;

    // Copies the 50 x 50 cell at (x2, y2) of the sprite sheet onto the stage
    // surface at (x1, y1), replacing what was there.
    virtual void DrawCell(int x1, int y1, int x2, int y2) = 0;
    // The banner display shows the very picture that `holder` holds.
    virtual void SetBanner(Holder holder) = 0;
    // Whether the banner display shows `holder`'s picture (never when empty).
    virtual bool BannerShows(Holder holder) = 0;

    virtual bool Enabled(MenuItem item) = 0;
    virtual void SetEnabled(MenuItem item, bool enabled) = 0;
    virtual bool Checked(MenuItem item) = 0;
    virtual void SetChecked(MenuItem item, bool checked) = 0;

    // Switching the timer off and on again restarts its 100 ms interval.
    virtual void SetTimer1Enabled(bool enabled) = 0;

    // A modal box with one OK button and no icon; character 13 breaks a line.
    virtual void MessageBox(const std::u16string &text, const std::u16string &title) = 0;

    // The next value of the one uniform generator, in [0, 1).
    virtual double Random() = 0;

    // The bytes of the built-in sound with that id; raises an error if missing.
    virtual std::vector<std::uint8_t> LoadSoundResource(int id) = 0;
    // Starts the WAV image and returns at once; silent when it cannot play.
    // The bytes stay valid until the next call.
    virtual void PlaySoundFromMemory(const std::uint8_t *image, std::size_t size) = 0;

    // Closes the window, which ends the program.
    virtual void CloseWindow() = 0;

    // A failed operation: the program reports it and ends. Game code never
    // catches it.
    [[noreturn]] virtual void RaiseError(const std::string &operation, const std::string &reason) = 0;
};

// floor(r * n) + k, computed so that it is always k .. k + n - 1 for r in [0, 1).
int RandomInt(double r, int n, int k = 0);

// The text of a count: one space where the sign would go, then the digits.
std::u16string FormatByte(std::uint8_t b);

// The game's generator: a Mersenne twister left at its default state, so every
// launch draws the same sequence; each value is a multiple of 2^-32.
class StdRandom {
public:
    double next() { return double(engine_()) / 4294967296.0; }
private:
    std::mt19937 engine_;
};

} // namespace tarvo
