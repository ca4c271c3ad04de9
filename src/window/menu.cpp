// SPDX-License-Identifier: MIT
#include "menu.h"

#include "dialogs/dialogs.h"

namespace tarvo {

void Choose(MenuItem item, Duel &duel, Platform &platform) {
    switch (item) {
    case MenuItem::Start: duel.Start_Click(); break;
    case MenuItem::Quit: duel.Quit_Click(); break;
    case MenuItem::HumanVsHuman: duel.HumanVsHuman_Click(); break;
    case MenuItem::HumanVsMachine: duel.HumanVsMachine_Click(); break;
    case MenuItem::Rules: Rules_Click(platform); break;
    case MenuItem::Keys: Keys_Click(platform); break;
    case MenuItem::AboutOpponent: AboutOpponent_Click(platform); break;
    case MenuItem::Score: Score_Click(platform, duel.state); break;
    }
}

} // namespace tarvo
