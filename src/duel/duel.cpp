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
            if (state.machineRoll == 0) {
                platform_.SetBanner(Holder::Image4); // BUNG!!
                DrawFigure(kSlot2PX, kAim, 1);
                if (state.firstShot == 0) {
                    state.firstShot = 2;
                    state.tickCount = 0;
                }
            }
        }
    }
}

void Duel::Form_KeyDown(std::uint16_t keyCode, std::uint16_t shift) {
    const bool shot = platform_.BannerShows(Holder::Image4);
    const bool kill = platform_.BannerShows(Holder::Image2);
    if (shot || kill) {
        state.tickCount = 0;
        if (shift == kMaskShift) {
            platform_.SetBanner(Holder::Image4);
            DrawFigure(kSlot1PX, kAim, 0);
            if (state.firstShot == 0) state.firstShot = 1;
        }
        if (!platform_.Checked(MenuItem::HumanVsMachine) && keyCode == kKeyRight) {
            platform_.SetBanner(Holder::Image4);
            DrawFigure(kSlot2PX, kAim, 1);
            if (state.firstShot == 0) state.firstShot = 2;
        }
    } else if (!platform_.Enabled(MenuItem::Start)) {
        if (shift == kMaskShift) {                      // 1P fired too soon
            platform_.SetBanner(Holder::Image8);        // 1P FALL
            CountUp(state.wins2P);
            PlayFoulSound();
            platform_.SetEnabled(MenuItem::Start, true);
            state.firstShot = 0;
            DrawFigure(kSlot1PX, kKneel, 0);
        }
        if (keyCode == kKeyRight) {                     // 2P fired too soon
            platform_.SetBanner(Holder::Image9);        // 2P FALL
            CountUp(state.wins1P);
            PlayFoulSound();
            platform_.SetEnabled(MenuItem::Start, true);
            state.firstShot = 0;
            DrawFigure(kSlot2PX, kKneel, 1);
        }
    }
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
