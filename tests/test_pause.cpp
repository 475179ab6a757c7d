// The real program's pause: the window stays open 5 seconds, not more.
#include <gtest/gtest.h>

#include <chrono>

#include "roads.h"

TEST(RealPause, TheRealProgramWaitsFiveSecondsBeforeItEnds)
{
    Scratch scratch;
    auto start = std::chrono::steady_clock::now();
    Outcome run = run_program({CHG_REAL_PROGRAM}, {}, {{"FTEMU_DEVICES", "2"}}, scratch);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, START + SEVERAL_BOXES);
    EXPECT_EQ(run.trace, LIST + CLOSE_NULL) << "the real pause records nothing";
    EXPECT_GE(seconds, 5.0);
    EXPECT_LT(seconds, 5.5);
}
