// Shared fixture of the core helper tests: a zeroed core object with the game number 556,
// the Tempstr ring and the random state back at their start values, and the wall clock
// and calendar clock put back after each test.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "VornCore.h"

class CoreHelpers : public ::testing::Test {
protected:
    static constexpr int TestGameNum = 556;

    void SetUp() override {
        savedSysClock = SysClockSource;
        savedCalendar = CalendarClock;
        TempstrUse = 0;
        jRand_Seed = jRand_Count = jRand_Bit = jRand_Plus = jRand_Out = jRand_tSeed = 0;
        core->GameNum = TestGameNum;
    }

    void TearDown() override {
        SysClockSource = savedSysClock;
        CalendarClock = savedCalendar;
    }

    std::unique_ptr<VornCore> core = std::make_unique<VornCore>();

private:
    long long (*savedSysClock)() = nullptr;
    long long (*savedCalendar)() = nullptr;
};
