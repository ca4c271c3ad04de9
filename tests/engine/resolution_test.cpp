// SPDX-License-Identifier: MIT
// The bout's resolution: banner, poses, score, sound, and the byte limit.
#include "duel_fixture.h"

#include <algorithm>
#include <array>

namespace tarvo::testing {
namespace {

TEST_F(DuelTest, FirstShotByOnePWinsForOneP) {
    toKill();
    shift();
    ticks(9);
    EXPECT_EQ(fake.bannerName(), "BUNG!!");
    resolutionDraws(3, 0);
    ticks(1);
    EXPECT_EQ(fake.bannerName(), "1P WIN!");
    EXPECT_EQ(fake.slot2P, Cell(5, 1)); // death pose 2 + p, facing left
    EXPECT_EQ(fake.slot1P, Cell(8, 0)); // victorious, facing right
    EXPECT_EQ(duel.state.wins1P, 1);
    EXPECT_EQ(duel.state.wins2P, 0);
    EXPECT_EQ(duel.state.firstShot, 0);
    EXPECT_EQ(duel.state.tickCount, 10);
    EXPECT_FALSE(fake.started());
    EXPECT_EQ(fake.sounds, std::vector<int>{105});
}

TEST_F(DuelTest, FirstShotByTwoPWinsForTwoP) {
    toKill();
    right();
    resolutionDraws(0, 5);
    ticks(10);
    EXPECT_EQ(fake.bannerName(), "2P WIN!");
    EXPECT_EQ(fake.slot1P, Cell(2, 0));
    EXPECT_EQ(fake.slot2P, Cell(8, 1));
    EXPECT_EQ(duel.state.wins2P, 1);
    EXPECT_EQ(duel.state.wins1P, 0);
    EXPECT_FALSE(fake.started());
    EXPECT_EQ(fake.sounds, std::vector<int>{104});
}

TEST_F(DuelTest, EachDeathPoseComesWithItsOwnSound) {
    struct Case { int p, q, sound; };
    const Case cases[] = {{0, 0, 104}, {0, 9, 104}, {1, 0, 102}, {1, 8, 102}, {1, 9, 103},
                          {2, 9, 101}, {3, 4, 105}, {4, 9, 106}};
    for (const Case &c : cases) {
        toKill();
        right();
        ticks(9);
        fake.clearLog();
        resolutionDraws(c.p, c.q);
        ticks(1);
        SCOPED_TRACE("p=" + std::to_string(c.p) + " q=" + std::to_string(c.q));
        EXPECT_EQ(fake.slot1P, Cell(2 + c.p, 0));
        EXPECT_EQ(fake.sounds, std::vector<int>{c.sound});
        EXPECT_TRUE(fake.draws.empty()) << "q is drawn on every resolution";
    }
}

TEST_F(DuelTest, TheResultSoundStartsBeforeTheBannerAndTheFigures) {
    toKill();
    shift();
    ticks(9);
    fake.clearLog();
    resolutionDraws(2, 1);
    ticks(1);
    EXPECT_EQ(fake.log, (std::vector<std::string>{"sound 101", "banner 1P WIN!", "cell 2P 4,1", "cell 1P 8,0",
                                                  "start enabled"}));
}

TEST_F(DuelTest, AWinAt255StaysAt255AndTheBoutStillEnds) {
    duel.state.wins1P = 255;
    duel.state.wins2P = 254;
    toKill();
    shift();
    resolutionDraws(1, 1);
    ticks(10);
    EXPECT_EQ(duel.state.wins1P, 255);
    EXPECT_EQ(fake.bannerName(), "1P WIN!");
    EXPECT_FALSE(fake.started());
    toKill();
    right();
    resolutionDraws(1, 1);
    ticks(10);
    EXPECT_EQ(duel.state.wins2P, 255);
    toKill();
    right();
    resolutionDraws(1, 1);
    ticks(10);
    EXPECT_EQ(duel.state.wins2P, 255);
    EXPECT_EQ(fake.bannerName(), "2P WIN!");
}

TEST_F(DuelTest, AMissingOrEmptySoundEndsTheProgramBeforeTheBannerChanges) {
    for (bool empty : {false, true}) {
        if (empty) fake.resources[104].clear();
        else fake.resources.erase(104);
        toKill();
        shift();
        ticks(9);
        resolutionDraws(0, 0);
        EXPECT_THROW(ticks(1), PlatformError);
        EXPECT_EQ(fake.bannerName(), "BUNG!!");
        EXPECT_EQ(fake.slot2P, Cell(0, 1));
        EXPECT_EQ(duel.state.wins1P, 0);
        // The program would have ended here; let the next case start afresh.
        duel.state.firstShot = 0;
        fake.enabled[MenuItem::Start] = true;
    }
}

TEST_F(DuelTest, SoundBufferHoldsExactlyTheLastSoundLoaded) {
    EXPECT_TRUE(duel.sound().soundBuffer().empty());
    toKill();
    shift();
    resolutionDraws(2, 0);
    ticks(10);
    EXPECT_EQ(duel.sound().soundBuffer(), fake.resources[101]);
    EXPECT_EQ(duel.sound().soundBuffer().size(), 34460u);
}

TEST_F(DuelTest, OverManyResolutionsEveryPoseComesAboutOneTimeInFive) {
    fake.realChance = true;
    std::array<int, 5> poses{};
    int rare = 0;
    const int n = 50000;
    for (int i = 0; i < n; ++i) {
        duel.state.firstShot = uint8_t(1 + i % 2);
        duel.state.tickCount = 9;
        fake.sounds.clear();
        duel.Timer1_Timer();
        const Cell loser = i % 2 == 0 ? fake.slot2P : fake.slot1P;
        ASSERT_GE(loser.first, 2);
        ASSERT_LE(loser.first, 6);
        ++poses[loser.first - 2];
        ASSERT_EQ(fake.sounds.size(), 1u);
        if (fake.sounds[0] == 103) ++rare;
    }
    fake.log.clear();
    for (int k : poses) { // 10000 expected, sd about 90
        EXPECT_GT(k, 9000);
        EXPECT_LT(k, 11000);
    }
    EXPECT_GT(rare, 700); // 1000 expected, sd about 31
    EXPECT_LT(rare, 1300);
}

} // namespace
} // namespace tarvo::testing
