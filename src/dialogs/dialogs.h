// SPDX-License-Identifier: MIT
// The help menu's four message boxes: rules, keys, the opponent, the score.
#pragma once

#include "../duel/duel.h"

#include <string>

namespace tarvo {

std::u16string RulesText();
std::u16string KeysText();
std::u16string OpponentText();
// Built when the box opens, from the counts as they stand then.
std::u16string ScoreText(const DuelState &state);

void Rules_Click(Platform &platform);          // "ルール"
void Keys_Click(Platform &platform);           // "キー操作"
void AboutOpponent_Click(Platform &platform);  // "対戦相手について"
void Score_Click(Platform &platform, const DuelState &state); // "対戦成績"

} // namespace tarvo
