// SPDX-License-Identifier: MIT
#include "duel.h"

namespace tarvo {

void Duel::Form_Load() {
    DrawFigure(kSlot1PX, kIdle, 1); // back to back
    DrawFigure(kSlot2PX, kIdle, 0);
    state.killTick = 0;
    state.wins1P = 0;
    state.wins2P = 0;
}

void Duel::Start_Click() {
    // A disabled item's command never runs; the window guards the menu and
    // the shortcut, and this guards every other caller.
    if (!platform_.Enabled(MenuItem::Start)) return;
    state.killTick = static_cast<std::uint8_t>(RandomInt(platform_.Random(), 10, 30));
    state.tickCount = 0;
    platform_.SetEnabled(MenuItem::Start, false);
    state.firstShot = 0;
    platform_.SetBanner(Holder::Image3);            // Ready?
    DrawFigure(kSlot1PX, kIdle, 0);                 // face to face
    DrawFigure(kSlot2PX, kIdle, 1);
    platform_.SetTimer1Enabled(false);              // restart the interval
    platform_.SetTimer1Enabled(true);
}

void Duel::Quit_Click() { platform_.CloseWindow(); }

void Duel::HumanVsHuman_Click() {
    platform_.SetChecked(MenuItem::HumanVsHuman, true);
    platform_.SetChecked(MenuItem::HumanVsMachine, false);
}

void Duel::HumanVsMachine_Click() {
    platform_.SetChecked(MenuItem::HumanVsHuman, false);
    platform_.SetChecked(MenuItem::HumanVsMachine, true);
}

void Duel::Timer1_Timer() {
    if (state.firstShot != 0) {
        CountUp(state.tickCount);
        if (state.tickCount == 10) {
            ResolveBout();
            return;
        }
    } else if (!platform_.Enabled(MenuItem::Start)) {
        // Counting towards KILL; in a long wait the count rests at 255, where
        // it can never equal killTick again, so KILL simply stays.
        CountUp(state.tickCount);
        if (state.tickCount == state.killTick) platform_.SetBanner(Holder::Image2); // KILL
    }

    if (!platform_.Checked(MenuItem::HumanVsHuman)) {
        if (platform_.BannerShows(Holder::Image2)) {
            state.machineRoll = static_cast<std::uint8_t>(RandomInt(platform_.Random(), 7));
            if (state.machineRoll == 0 && Fire(kSlot2PX, 1, 2)) state.tickCount = 0;
        }
    }
}

void Duel::Form_KeyDown(std::uint16_t keyCode, std::uint16_t shift) {
    const bool shot = platform_.BannerShows(Holder::Image4);
    const bool kill = platform_.BannerShows(Holder::Image2);
    if (shot || kill) {
        state.tickCount = 0;
        if (shift == kMaskShift) Fire(kSlot1PX, 0, 1);
        if (!platform_.Checked(MenuItem::HumanVsMachine) && keyCode == kKeyRight) Fire(kSlot2PX, 1, 2);
    } else if (!platform_.Enabled(MenuItem::Start)) {
        if (shift == kMaskShift) Foul(Holder::Image8, state.wins2P, kSlot1PX, 0); // 1P fired too soon
        if (keyCode == kKeyRight) Foul(Holder::Image9, state.wins1P, kSlot2PX, 1); // 2P fired too soon
    }
}

bool Duel::Fire(int slotX, int row, std::uint8_t shooter) {
    platform_.SetBanner(Holder::Image4); // BUNG!!
    DrawFigure(slotX, kAim, row);
    if (state.firstShot != 0) return false;
    state.firstShot = shooter;
    return true;
}

void Duel::Foul(Holder fallBanner, std::uint8_t &otherSidesWins, int slotX, int row) {
    platform_.SetBanner(fallBanner);
    CountUp(otherSidesWins);
    PlayFoulSound();
    platform_.SetEnabled(MenuItem::Start, true);
    state.firstShot = 0;
    DrawFigure(slotX, kKneel, row);
}

void Duel::ResolveBout() {
    const float p = static_cast<float>(RandomInt(platform_.Random(), 5));
    const int q = RandomInt(platform_.Random(), 10);
    sound_.PlayResultSound(static_cast<int>(p), q);
    const int deathX = static_cast<int>(50 * p + 100);
    if (state.firstShot == 1) {
        platform_.SetBanner(Holder::Image5);            // 1P WIN!
        CountUp(state.wins1P);
        platform_.DrawCell(kSlot2PX, kSlotY, deathX, 50);
        DrawFigure(kSlot1PX, kVictory, 0);
    }
    if (state.firstShot == 2) {
        platform_.SetBanner(Holder::Image6);            // 2P WIN!
        CountUp(state.wins2P);
        platform_.DrawCell(kSlot1PX, kSlotY, deathX, 0);
        DrawFigure(kSlot2PX, kVictory, 1);
    }
    platform_.SetEnabled(MenuItem::Start, true);
    state.firstShot = 0;
}

} // namespace tarvo
