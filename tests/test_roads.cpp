// Every road through the program, run as a process on the emulated box: the
// exact bytes printed, the library calls in order, the pause and the exit status.
#include <gtest/gtest.h>

#include "roads.h"

static std::string placed(std::string text, const Scratch &scratch)
{
    for (size_t at; (at = text.find("{image}")) != std::string::npos;)
        text.replace(at, 7, scratch.image());
    for (size_t at; (at = text.find("{dir}")) != std::string::npos;)
        text.replace(at, 5, scratch.dir);
    return text;
}

TEST_P(RoadTest, PrintsCallsAndPausesAsExpected)
{
    const Road &road = GetParam();
    Scratch scratch;
    for (const Args &args : road.before)
        ASSERT_EQ(run_chg(args, {}, scratch).status, 0);

    if (road.spoil)
        road.spoil(scratch);
    std::string image = read_file(scratch.image());
    Env env;
    for (const auto &setting : road.env)
        env.push_back({setting.first, placed(setting.second, scratch)});

    Outcome run = run_chg(road.args, env, scratch);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(mask_pointers(run.out, sizeof(void *)), road.out + DUMPS64[road.dump]);
    EXPECT_EQ(run.trace, road.trace);
    EXPECT_EQ(run.err, placed(road.err, scratch));
    if (road.spoil)
        EXPECT_EQ(read_file(scratch.image()), image) << "a spoilt image is never rewritten";
}

INSTANTIATE_TEST_SUITE_P(Roads, RoadTest, testing::ValuesIn(ROADS),
                         [](const testing::TestParamInfo<Road> &info) { return info.param.name; });
