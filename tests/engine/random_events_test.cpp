// SPDX-License-Identifier: MIT
// A million random events against the engine, every invariant checked after
// each one; and a day of play against the machine.
#include "dialogs/dialogs.h"
#include "fake_platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <random>

namespace tarvo::testing {
namespace {

class SeededPlatform : public FakePlatform {
public:
    explicit SeededPlatform(std::uint32_t seed) : engine(seed) {}
    double Random() override {
        ++drawsTaken;
        return double(engine()) / 4294967296.0;
    }
    std::mt19937 engine;
};

std::uint32_t SeedFromEnvironmentOrClock() {
    if (const char *s = std::getenv("TARVO_SEED")) return std::uint32_t(std::strtoul(s, nullptr, 10));
    return std::uint32_t(std::chrono::steady_clock::now().time_since_epoch().count());
}

enum class Phase { Idle, Ready, Kill, Shot };

Phase PhaseOf(const FakePlatform &f) {
    if (f.banner == Holder::Image3) return Phase::Ready;
    if (f.banner == Holder::Image2) return Phase::Kill;
    if (f.banner == Holder::Image4) return Phase::Shot;
    return Phase::Idle;
}

TEST(RandomEvents, AMillionEventsKeepEveryInvariant) {
    const std::uint32_t seed = SeedFromEnvironmentOrClock();
    SCOPED_TRACE("seed " + std::to_string(seed) + " (rerun with TARVO_SEED=" + std::to_string(seed) + ")");
    std::mt19937 pick(seed ^ 0x9e3779b9u);
    auto chance = [&](int n) { return int(pick() % unsigned(n)); };

    const long events = 1'000'000;
    long bouts = 0, fouls = 0, resolutions = 0;
    std::unique_ptr<SeededPlatform> fake;
    std::unique_ptr<Duel> duel;
    bool killSeen = false;
    std::uint16_t lastCode = 0, lastMask = 0;

    for (long e = 0; e < events; ++e) {
        if (e % 100'000 == 0) { // a fresh window now and then, so the counts rise again
            fake = std::make_unique<SeededPlatform>(seed + std::uint32_t(e));
            duel = std::make_unique<Duel>(*fake);
            duel->Form_Load();
            killSeen = false;
        }
        const DuelState before = duel->state;
        const Phase was = PhaseOf(*fake);
        fake->clearLog();

        // Keys are rare while Ready? shows (else nearly every bout would be a
        // foul) and common once it turns.
        const int keyShare = was == Phase::Ready ? 2 : 30;
        int what = chance(100);
        if (what >= 55) what = chance(100) < keyShare * 100 / 45 ? 60 : 90;
        std::string event;
        if (what < 55) {
            event = "tick";
            duel->Timer1_Timer();
        } else if (what < 85) {
            std::uint16_t code, mask;
            const int k = chance(10);
            if (k < 2) { code = lastCode; mask = lastMask; }                 // a held key repeating
            else if (k < 4) { code = kKeyShift; mask = kMaskShift; }          // Shift
            else if (k < 6) { code = kKeyRight; mask = std::uint16_t(chance(8)); } // Right arrow, any modifiers
            else { code = std::uint16_t(pick() & 0xffff); mask = std::uint16_t(pick() & 0xffff); }
            lastCode = code;
            lastMask = mask;
            event = "key " + std::to_string(code) + "/" + std::to_string(mask);
            duel->Form_KeyDown(code, mask);
        } else {
            const int m = chance(8);
            event = "menu " + std::to_string(m);
            switch (m) {
            case 0: case 1: case 2:
                if (fake->Enabled(MenuItem::Start)) { duel->Start_Click(); killSeen = false; ++bouts; }
                break;
            case 3: duel->HumanVsHuman_Click(); break;
            case 4: duel->HumanVsMachine_Click(); break;
            case 5: Rules_Click(*fake); Keys_Click(*fake); break;
            case 6: AboutOpponent_Click(*fake); break;
            case 7: Score_Click(*fake, duel->state); break;
            }
        }
        const DuelState &now = duel->state;
        const Phase phase = PhaseOf(*fake);
        SCOPED_TRACE("event " + std::to_string(e) + ": " + event);

        ASSERT_NE(fake->checked[MenuItem::HumanVsHuman], fake->checked[MenuItem::HumanVsMachine]) << "one opponent mark";
        ASSERT_EQ(!fake->enabled[MenuItem::Start], phase == Phase::Ready || phase == Phase::Kill || phase == Phase::Shot);
        ASSERT_LE(now.firstShot, 2);
        ASSERT_EQ(now.firstShot != 0, phase == Phase::Shot);
        ASSERT_TRUE(now.killTick == 0 || (now.killTick >= 30 && now.killTick <= 39));
        ASSERT_LE(now.machineRoll, 6);
        ASSERT_GE(now.wins1P, before.wins1P) << "a count never wraps";
        ASSERT_GE(now.wins2P, before.wins2P) << "a count never wraps";
        if (event == "tick" && now.tickCount != before.tickCount) {
            const bool machineShot = before.firstShot == 0 && now.firstShot == 2;
            ASSERT_TRUE(now.tickCount == before.tickCount + 1 || (machineShot && now.tickCount == 0))
                << "tickCount " << int(before.tickCount) << " -> " << int(now.tickCount);
        }
        if (event == "tick" && before.tickCount == 255 && was == Phase::Kill && phase == Phase::Kill) {
            ASSERT_EQ(now.tickCount, 255);
        }

        int outcomes = 0;
        for (const std::string &line : fake->log) {
            if (line == "banner KILL") killSeen = true;
            if (line == "banner BUNG!!") {
                ASSERT_TRUE(killSeen) << "BUNG!! before KILL";
            }
            if (line == "banner 1P WIN!" || line == "banner 2P WIN!") { ++outcomes; ++resolutions; }
            if (line == "banner 1P FALL" || line == "banner 2P FALL") { ++outcomes; ++fouls; }
        }
        ASSERT_EQ(int(fake->sounds.size()), outcomes) << "one sound per resolution and per foul";
        const int gained = (now.wins1P - before.wins1P) + (now.wins2P - before.wins2P);
        const bool full = now.wins1P == 255 || now.wins2P == 255;
        if (full) {
            ASSERT_LE(gained, outcomes);
        } else {
            ASSERT_EQ(gained, outcomes) << "one win per ended bout";
        }
    }
    std::printf("%ld events, %ld bouts started, %ld resolutions, %ld fouls\n", events, bouts, resolutions, fouls);
    EXPECT_GT(resolutions, 1000);
    EXPECT_GT(fouls, 1000);
}

TEST(LongPlay, ADayAgainstTheMachine) {
    SeededPlatform fake(20261208);
    Duel duel(fake);
    duel.Form_Load();
    duel.HumanVsMachine_Click();
    std::mt19937 player(7);
    const long day = 864'000; // ticks of 100 ms
    long bouts = 0;
    int plan = 0, waited = 0, sinceKill = -1;
    for (long t = 0; t < day; ++t) {
        if (fake.enabled[MenuItem::Start]) {
            duel.Start_Click();
            ++bouts;
            plan = int(player() % 3); // 0: fouls, 1: fires at KILL, 2: fires late
            waited = 0;
            sinceKill = -1;
        }
        duel.Timer1_Timer();
        ++waited;
        if (sinceKill >= 0) ++sinceKill;
        if (sinceKill < 0 && !fake.BannerShows(Holder::Image3)) sinceKill = 0;
        if (plan == 0 && waited == 10) duel.Form_KeyDown(kKeyShift, kMaskShift);
        if (plan == 1 && sinceKill == 0) duel.Form_KeyDown(kKeyShift, kMaskShift);
        if (plan == 2 && sinceKill == 9) duel.Form_KeyDown(kKeyShift, kMaskShift);
        fake.log.clear();
        fake.sounds.clear();
    }
    EXPECT_EQ(duel.state.wins1P, 255);
    EXPECT_EQ(duel.state.wins2P, 255);
    EXPECT_GT(bouts, 10000);
    // And it still plays: one more bout to the end.
    while (!fake.enabled[MenuItem::Start]) duel.Timer1_Timer();
    duel.Start_Click();
    for (int i = 0; i < 200 && !fake.enabled[MenuItem::Start]; ++i) duel.Timer1_Timer();
    EXPECT_TRUE(fake.BannerShows(Holder::Image6)) << "the machine won the last bout";
    std::printf("%ld ticks, %ld bouts\n", day, bouts);
}

} // namespace
} // namespace tarvo::testing
