// Every road through the program, run as a process on the emulated box: the
// exact bytes printed, the library calls in order, the pause and the exit status.
#include <gtest/gtest.h>

#include "roads.h"

class RoadTest : public testing::TestWithParam<Road> {};

TEST_P(RoadTest, PrintsCallsAndPausesAsExpected)
{
    const Road &road = GetParam();
    Scratch scratch;
    for (const Args &args : road.before)
        ASSERT_EQ(run_chg(args, {}, scratch).status, 0);

    Outcome run = run_chg(road.args, road.env, scratch);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(mask_pointers(run.out, sizeof(void *)), road.out + DUMPS64[road.dump]);
    EXPECT_EQ(run.trace, road.trace);
    EXPECT_EQ(run.err, "");
}

INSTANTIATE_TEST_SUITE_P(Roads, RoadTest, testing::ValuesIn(ROADS),
                         [](const testing::TestParamInfo<Road> &info) { return info.param.name; });
