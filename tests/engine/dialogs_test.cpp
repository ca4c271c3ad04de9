// SPDX-License-Identifier: MIT
// The help menu's boxes: their exact texts and titles.
#include "dialogs/dialogs.h"
#include "duel_fixture.h"

#include <cstring>

namespace tarvo::testing {
namespace {

TEST_F(DuelTest, EachHelpItemOpensItsBoxWithItsCaptionAsTitle) {
    Rules_Click(fake);
    Keys_Click(fake);
    AboutOpponent_Click(fake);
    Score_Click(fake, duel.state);
    ASSERT_EQ(fake.boxes.size(), 4u);
    EXPECT_EQ(fake.boxes[0].second, u"ルール");
    EXPECT_EQ(fake.boxes[0].first,
              u"スタートを押すと、文字がＲＥＡＤＹに変わります。次にその文字が、ＫＩＬＬ！に変わった瞬間、両者ともキーを押します。"
              u"速く押した方の勝ちです。もちろん、ＫＩＬＬ！と表示される前に撃とうとしたら反則です。相手の勝ちです。");
    EXPECT_EQ(fake.boxes[1].second, u"キー操作");
    EXPECT_EQ(fake.boxes[1].first, u"＜キー操作＞\r１Ｐ：Ｓｈｉｆｔ\r２Ｐ：\u3000\u3000\u2192\rで撃ちます。");
    EXPECT_EQ(fake.boxes[2].second, u"対戦相手について");
    EXPECT_EQ(fake.boxes[2].first, u"対戦相手は、人もしくは機械にできます。機械と対戦する場合は、必ず１Ｐのキーを使用してください。");
    EXPECT_EQ(fake.boxes[3].second, u"対戦成績");
    EXPECT_TRUE(fake.log.empty()) << "a box changes nothing in the game";
}

TEST_F(DuelTest, TheScoreBoxReadsTheCountsAsTheyStand) {
    struct Case { std::uint8_t one, two; const char16_t *text; };
    const Case cases[] = {
        {0, 0, u"現在の対戦成績は、１Ｐ： 0\u3000２Ｐ： 0\u3000回勝っています。"},
        {3, 0, u"現在の対戦成績は、１Ｐ： 3\u3000２Ｐ： 0\u3000回勝っています。"},
        {12, 100, u"現在の対戦成績は、１Ｐ： 12\u3000２Ｐ： 100\u3000回勝っています。"},
        {255, 255, u"現在の対戦成績は、１Ｐ： 255\u3000２Ｐ： 255\u3000回勝っています。"},
    };
    for (const Case &c : cases) {
        duel.state.wins1P = c.one;
        duel.state.wins2P = c.two;
        Score_Click(fake, duel.state);
        EXPECT_EQ(fake.boxes.back().first, c.text);
    }
}

TEST_F(DuelTest, ScoreDuringABoutLeavesTheBoutRunning) {
    toKill();
    shift();
    const DuelState before = duel.state;
    Score_Click(fake, duel.state);
    EXPECT_EQ(std::memcmp(&before, &duel.state, sizeof before), 0);
    EXPECT_EQ(fake.bannerName(), "BUNG!!");
}

} // namespace
} // namespace tarvo::testing
