// SPDX-License-Identifier: MIT
#pragma once

#include "fake_platform.h"

#include <gtest/gtest.h>

namespace tarvo::testing {

class DuelTest : public ::testing::Test {
protected:
    FakePlatform fake;
    Duel duel{fake};

    void SetUp() override {
        duel.Form_Load();
        loadLog = fake.log;
        fake.clearLog();
    }
    std::vector<std::string> loadLog;

    void start(int killTick) {
        fake.script({{killTick - 30, 10}});
        duel.Start_Click();
    }
    void ticks(int n) {
        for (int i = 0; i < n; ++i) duel.Timer1_Timer();
    }
    // Starts a bout and runs it to the KILL banner (person against person).
    void toKill(int killTick = 30) {
        start(killTick);
        ticks(killTick);
    }
    void shift() { duel.Form_KeyDown(kKeyShift, kMaskShift); }
    void right() { duel.Form_KeyDown(kKeyRight, 0); }
    void machineMode() { duel.HumanVsMachine_Click(); }
    // The two draws of a resolution: the death pose p, then q.
    void resolutionDraws(int p, int q) { fake.script({{p, 5}, {q, 10}}); }
};

} // namespace tarvo::testing
