// SPDX-License-Identifier: MIT
// The duel: its six bytes of state and the handlers for load, bout start,
// timer ticks, key presses, the bout's resolution and the opponent menu.
// Plain C++: everything outside goes through Platform.
#pragma once

#include "../platform/key_codes.h"
#include "../platform/platform.h"
#include "../sound/sound.h"

#include <cstdint>

namespace tarvo {

struct DuelState {
    std::uint8_t killTick = 0;    // tickCount value at which KILL shows (30..39)
    std::uint8_t wins1P = 0;
    std::uint8_t wins2P = 0;
    std::uint8_t machineRoll = 0; // the machine's last roll, 0..6
    std::uint8_t tickCount = 0;   // ticks counted in the current phase
    std::uint8_t firstShot = 0;   // 0 nobody yet, 1 1P, 2 2P
};

// Where the figures stand on the stage.
constexpr int kSlot1PX = 0, kSlot2PX = 150, kSlotY = 50;
// The sheet's columns.
enum Pose { kIdle = 0, kAim = 1, kFirstDeath = 2, kKneel = 7, kVictory = 8 };

class Duel {
public:
    explicit Duel(Platform &platform) : platform_(platform), sound_(platform) {}

    DuelState state;

    void Form_Load();
    void Start_Click();           // "スタート"
    void Quit_Click();            // "終わる"
    void HumanVsHuman_Click();    // "人対人"
    void HumanVsMachine_Click();  // "人対機械"
    void Timer1_Timer();
    void Form_KeyDown(std::uint16_t keyCode, std::uint16_t shift);

    const Sound &sound() const { return sound_; }

private:
    void ResolveBout();
    // A shot at KILL or after: BUNG!!, the shooter aiming; true when it is
    // the bout's first.
    bool Fire(int slotX, int row, std::uint8_t shooter);
    // A shot during Ready?: the FALL banner, a win for the other side, a foul
    // sound, the bout over, the culprit kneeling.
    void Foul(Holder fallBanner, std::uint8_t &otherSidesWins, int slotX, int row);
    void PlayFoulSound() { sound_.PlayFoulSound(); }
    void DrawFigure(int slotX, int column, int row) { platform_.DrawCell(slotX, kSlotY, 50 * column, 50 * row); }

    Platform &platform_;
    Sound sound_;
};

// Adds one to a byte counter; a counter at 255 stays at 255.
inline void CountUp(std::uint8_t &counter) {
    if (counter < 255) counter = static_cast<std::uint8_t>(counter + 1);
}

} // namespace tarvo
