// SPDX-License-Identifier: MIT
// A whole duel: the countdown, shots, fouls and the machine opponent.
#include "duel_fixture.h"

#include <cstring>

namespace tarvo::testing {
namespace {

// --- Ready: the countdown ----------------------------------------------------

TEST_F(DuelTest, TheExampleTimelineResolvesOnTheTickAtFourPointSixSeconds) {
    start(34);
    // The clock: the restarted timer ticks at 0.1 s, 0.2 s, ...
    int tick = 0;
    auto until = [&](double seconds) {
        while ((tick + 1) * 0.1 <= seconds + 1e-9) { ++tick; duel.Timer1_Timer(); }
    };
    until(3.3);
    EXPECT_EQ(fake.bannerName(), "Ready?");
    until(3.4);
    EXPECT_EQ(fake.bannerName(), "KILL");
    until(3.65);
    shift();
    EXPECT_EQ(fake.bannerName(), "BUNG!!");
    EXPECT_EQ(fake.slot1P, Cell(1, 0));
    EXPECT_EQ(duel.state.tickCount, 0);
    until(4.5);
    EXPECT_EQ(fake.bannerName(), "BUNG!!");
    EXPECT_EQ(duel.state.tickCount, 9);
    resolutionDraws(0, 0);
    until(4.6);
    EXPECT_EQ(fake.bannerName(), "1P WIN!");
    EXPECT_EQ(tick, 46);
}

TEST_F(DuelTest, KillShowsOnExactlyTheKillTickthTick) {
    for (int killTick = 30; killTick <= 39; ++killTick) {
        start(killTick);
        ticks(killTick - 1);
        EXPECT_EQ(fake.bannerName(), "Ready?") << killTick;
        ticks(1);
        EXPECT_EQ(fake.bannerName(), "KILL") << killTick;
        fake.enabled[MenuItem::Start] = true;
    }
}

TEST_F(DuelTest, PersonAgainstPersonTicksAfterKillChangeNothingVisible) {
    toKill();
    fake.clearLog();
    ticks(50);
    EXPECT_TRUE(fake.log.empty());
    EXPECT_EQ(fake.drawsTaken, 1) << "only the bout start drew";
}

TEST_F(DuelTest, ALongWaitAtKillNeitherWrapsNorEndsTheBout) {
    toKill(30);
    ticks(5000);
    EXPECT_EQ(fake.bannerName(), "KILL");
    EXPECT_EQ(duel.state.tickCount, 255);
    shift();
    ticks(9);
    EXPECT_EQ(fake.bannerName(), "BUNG!!");
    resolutionDraws(0, 0);
    ticks(1);
    EXPECT_EQ(fake.bannerName(), "1P WIN!");
}

TEST_F(DuelTest, BetweenBoutsTicksAndKeysChangeNothing) {
    auto quiet = [&](const char *when) {
        const DuelState before = duel.state;
        const std::string banner = fake.bannerName();
        fake.clearLog();
        for (int i = 0; i < 20; ++i) {
            duel.Timer1_Timer();
            shift();
            right();
            duel.Form_KeyDown(kKeyRight, kMaskShift);
            duel.Form_KeyDown(LetterKey('A'), 0);
        }
        EXPECT_TRUE(fake.log.empty()) << when;
        EXPECT_EQ(std::memcmp(&before, &duel.state, sizeof before), 0) << when;
        EXPECT_EQ(fake.bannerName(), banner) << when;
    };
    quiet("after load");
    machineMode();
    quiet("after load, against the machine");
    duel.HumanVsHuman_Click();
    toKill();
    shift();
    resolutionDraws(0, 0);
    ticks(10);
    quiet("after a win");
    start(30);
    fake.script({{0, 3}});
    shift();
    quiet("after a foul");
}

// --- Kill and Shot: the shots ------------------------------------------------

TEST_F(DuelTest, BothFireThePlayerWhoFiredFirstWins) {
    toKill();
    shift();
    ticks(4);
    right();
    EXPECT_EQ(fake.slot1P, Cell(1, 0));
    EXPECT_EQ(fake.slot2P, Cell(1, 1));
    EXPECT_EQ(duel.state.firstShot, 1);
    ticks(9);
    resolutionDraws(2, 0);
    ticks(1);
    EXPECT_EQ(fake.bannerName(), "1P WIN!");
    EXPECT_EQ(duel.state.wins1P, 1);
}

TEST_F(DuelTest, ShiftAndRightInOneEventMakeOnePTheFirstShooter) {
    toKill();
    duel.Form_KeyDown(kKeyRight, kMaskShift);
    EXPECT_EQ(duel.state.firstShot, 1);
    EXPECT_EQ(fake.slot1P, Cell(1, 0));
    EXPECT_EQ(fake.slot2P, Cell(1, 1));
}

TEST_F(DuelTest, EveryKeyAtKillOrBungRestartsTheWaitButOnlyTriggersShoot) {
    toKill();
    ticks(7);
    duel.Form_KeyDown(kKeyShift, kMaskShift | kMaskCtrl); // Ctrl+Shift: no shot
    EXPECT_EQ(duel.state.tickCount, 0);
    EXPECT_EQ(fake.bannerName(), "KILL");
    duel.Form_KeyDown(kKeyShift, kMaskShift | kMaskAlt);
    duel.Form_KeyDown(LetterKey('A'), 0);
    EXPECT_EQ(fake.bannerName(), "KILL");
    EXPECT_EQ(duel.state.firstShot, 0);
    duel.Form_KeyDown(LetterKey('A'), kMaskShift); // any key with Shift alone fires
    EXPECT_EQ(fake.bannerName(), "BUNG!!");
    // Held Right arrow: every repeat puts the resolution off.
    for (int i = 0; i < 30; ++i) {
        ticks(5);
        right();
    }
    EXPECT_EQ(fake.bannerName(), "BUNG!!");
    ticks(9);
    EXPECT_EQ(fake.bannerName(), "BUNG!!");
    resolutionDraws(0, 0);
    ticks(1);
    EXPECT_EQ(fake.bannerName(), "1P WIN!");
}

// --- Ready: the fouls ---------------------------------------------------------

TEST_F(DuelTest, ShiftDuringReadyIsOnePsFoul) {
    start(35);
    ticks(20);
    fake.clearLog();
    fake.script({{1, 3}});
    shift();
    EXPECT_EQ(fake.log, (std::vector<std::string>{"banner 1P FALL", "sound 108", "start enabled", "cell 1P 7,0"}));
    EXPECT_EQ(fake.slot2P, Cell(0, 1));
    EXPECT_EQ(duel.state.wins2P, 1);
    EXPECT_EQ(duel.state.wins1P, 0);
    EXPECT_EQ(duel.state.firstShot, 0);
    EXPECT_FALSE(fake.started());
    fake.clearLog();
    ticks(40);
    EXPECT_TRUE(fake.log.empty()) << "nothing turns to KILL after a foul";
}

TEST_F(DuelTest, RightDuringReadyIsTwoPsFoulEvenAgainstTheMachine) {
    machineMode();
    start(30);
    ticks(29);
    fake.script({{0, 3}});
    right();
    EXPECT_EQ(fake.bannerName(), "2P FALL");
    EXPECT_EQ(fake.slot2P, Cell(7, 1));
    EXPECT_EQ(fake.slot1P, Cell(0, 0));
    EXPECT_EQ(duel.state.wins1P, 1);
    EXPECT_EQ(fake.sounds, std::vector<int>{107});
}

TEST_F(DuelTest, BothFoulInOneKeyEvent) {
    start(30);
    fake.clearLog();
    fake.script({{2, 3}, {0, 3}});
    duel.Form_KeyDown(kKeyRight, kMaskShift);
    EXPECT_EQ(fake.bannerName(), "2P FALL");
    EXPECT_EQ(fake.slot1P, Cell(7, 0));
    EXPECT_EQ(fake.slot2P, Cell(7, 1));
    EXPECT_EQ(duel.state.wins1P, 1);
    EXPECT_EQ(duel.state.wins2P, 1);
    EXPECT_EQ(fake.sounds, (std::vector<int>{109, 107}));
    EXPECT_EQ(fake.log.front(), "banner 1P FALL");
}

TEST_F(DuelTest, LettersAndCtrlShiftDuringReadyAreNoFoul) {
    start(30);
    fake.clearLog();
    duel.Form_KeyDown(LetterKey('A'), 0);
    duel.Form_KeyDown(kKeyShift, kMaskShift | kMaskCtrl);
    duel.Form_KeyDown(kKeyLeft, 0);
    EXPECT_TRUE(fake.log.empty());
    EXPECT_TRUE(fake.started());
}

TEST_F(DuelTest, AFoulAt255StaysAt255) {
    duel.state.wins2P = 255;
    start(30);
    fake.script({{0, 3}});
    shift();
    EXPECT_EQ(duel.state.wins2P, 255);
    EXPECT_EQ(fake.bannerName(), "1P FALL");
    EXPECT_FALSE(fake.started());
}

TEST_F(DuelTest, AMissingFoulSoundEndsTheProgramAfterTheBannerAndScore) {
    fake.resources.erase(108);
    start(30);
    fake.script({{1, 3}});
    EXPECT_THROW(shift(), PlatformError);
    EXPECT_EQ(fake.bannerName(), "1P FALL");
    EXPECT_EQ(duel.state.wins2P, 1);
    EXPECT_TRUE(fake.started()) << "the program ends before Start is enabled";
}

// --- the machine opponent ---------------------------------------------------------

TEST_F(DuelTest, TheMachineFiresOnItsFirstRollOfZeroAndWins) {
    machineMode();
    start(30);
    ticks(29); // no roll in Ready: an unscripted draw would throw
    fake.script({{3, 7}});
    ticks(1);
    EXPECT_EQ(fake.bannerName(), "KILL");
    EXPECT_EQ(duel.state.machineRoll, 3);
    fake.script({{5, 7}, {0, 7}});
    ticks(1);
    EXPECT_EQ(fake.bannerName(), "KILL");
    ticks(1);
    EXPECT_EQ(fake.bannerName(), "BUNG!!");
    EXPECT_EQ(fake.slot2P, Cell(1, 1));
    EXPECT_EQ(duel.state.firstShot, 2);
    EXPECT_EQ(duel.state.tickCount, 0);
    ticks(9); // BUNG!! shows: no more rolls
    resolutionDraws(1, 9);
    ticks(1); // the resolution tick draws p and q and nothing else
    EXPECT_TRUE(fake.draws.empty());
    EXPECT_EQ(fake.bannerName(), "2P WIN!");
    EXPECT_EQ(fake.slot1P, Cell(3, 0));
    EXPECT_EQ(fake.sounds, std::vector<int>{103});
    EXPECT_EQ(duel.state.wins2P, 1);
}

TEST_F(DuelTest, TheMachineCanFireOnTheVeryTickThatShowsKill) {
    machineMode();
    start(31);
    ticks(30);
    fake.clearLog();
    fake.script({{0, 7}});
    ticks(1);
    EXPECT_EQ(fake.log, (std::vector<std::string>{"banner KILL", "banner BUNG!!", "cell 2P 1,1"}));
    EXPECT_EQ(duel.state.firstShot, 2);
}

TEST_F(DuelTest, TheMachineNeverFiresAfterOnePFiredFirst) {
    machineMode();
    start(30);
    ticks(29);
    fake.script({{4, 7}});
    ticks(1);
    shift();
    ticks(9); // an unscripted roll would throw
    resolutionDraws(0, 0);
    ticks(1);
    EXPECT_EQ(fake.bannerName(), "1P WIN!");
    EXPECT_EQ(fake.slot2P, Cell(2, 1));
}

TEST_F(DuelTest, RightAgainstTheMachineAtKillOnlyRestartsTheWait) {
    machineMode();
    start(30);
    ticks(29);
    fake.script({{1, 7}, {1, 7}, {1, 7}});
    ticks(3);
    EXPECT_EQ(duel.state.tickCount, 32);
    right();
    EXPECT_EQ(duel.state.tickCount, 0);
    EXPECT_EQ(fake.bannerName(), "KILL");
    EXPECT_EQ(fake.slot2P, Cell(0, 1));
    EXPECT_EQ(duel.state.firstShot, 0);
}

TEST_F(DuelTest, SwitchingTheOpponentAtKillTakesEffectOnTheNextTick) {
    toKill();
    ticks(3); // nobody rolls
    machineMode();
    fake.script({{2, 7}});
    ticks(1);
    EXPECT_EQ(duel.state.machineRoll, 2);
    EXPECT_TRUE(fake.draws.empty());
    duel.HumanVsHuman_Click();
    ticks(5); // an unscripted roll would throw
    EXPECT_EQ(fake.bannerName(), "KILL");
}

TEST_F(DuelTest, TheMachineTakesAboutSevenTicksToReact) {
    machineMode();
    fake.realChance = true;
    const int bouts = 20000;
    long total = 0;
    for (int i = 0; i < bouts; ++i) {
        duel.Start_Click();
        int after = 0;
        while (!fake.BannerShows(Holder::Image2) && !fake.BannerShows(Holder::Image4)) duel.Timer1_Timer();
        // Counting the tick that showed KILL as 1.
        after = 1;
        while (!fake.BannerShows(Holder::Image4)) { duel.Timer1_Timer(); ++after; }
        total += after;
        ticks(10);
        ASSERT_EQ(fake.bannerName(), "2P WIN!");
        fake.log.clear();
        fake.sounds.clear();
    }
    const double mean = double(total) / bouts; // 7 expected, sd of the mean about 0.046
    EXPECT_GT(mean, 6.5);
    EXPECT_LT(mean, 7.5);
}

} // namespace
} // namespace tarvo::testing
