// SPDX-License-Identifier: MIT
#include "dialogs.h"

namespace tarvo {

std::u16string RulesText() {
    return u"スタートを押すと、文字がＲＥＡＤＹに変わります。次にその文字が、ＫＩＬＬ！に変わった瞬間、"
           u"両者ともキーを押します。速く押した方の勝ちです。もちろん、ＫＩＬＬ！と表示される前に撃とうとしたら"
           u"反則です。相手の勝ちです。";
}

std::u16string KeysText() {
    const std::u16string cr(1, char16_t(13));
    return u"＜キー操作＞" + cr + u"１Ｐ：Ｓｈｉｆｔ" + cr + u"２Ｐ：\u3000\u3000→" + cr + u"で撃ちます。";
}

std::u16string OpponentText() {
    return u"対戦相手は、人もしくは機械にできます。機械と対戦する場合は、必ず１Ｐのキーを使用してください。";
}

std::u16string ScoreText(const DuelState &state) {
    return u"現在の対戦成績は、１Ｐ：" + FormatByte(state.wins1P) + u"\u3000２Ｐ：" + FormatByte(state.wins2P) +
           u"\u3000回勝っています。";
}

void Rules_Click(Platform &platform) { platform.MessageBox(RulesText(), u"ルール"); }
void Keys_Click(Platform &platform) { platform.MessageBox(KeysText(), u"キー操作"); }
void AboutOpponent_Click(Platform &platform) { platform.MessageBox(OpponentText(), u"対戦相手について"); }
void Score_Click(Platform &platform, const DuelState &state) { platform.MessageBox(ScoreText(state), u"対戦成績"); }

} // namespace tarvo
