// Every road through the program, run as a process on the emulated box: the
// exact bytes printed, the library calls in order, the pause, the exit status
// and what is left in the EEPROM.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include "roads.h"

TEST_P(RoadTest, PrintsCallsPausesAndLeavesTheBoxAsExpected)
{
    const Road &road = GetParam();
    Scratch scratch;
    prepare(road.box, scratch);
    if (road.spoil)
        road.spoil(scratch);
    std::string before = read_file(scratch.image());
    Args command = {CHG_TEST_PROGRAM};
    Env env = placed(road.env, scratch);
    env.insert(env.begin(), {"FTEMU_IMAGE", scratch.image()});
    struct stat image;
    if (geteuid() == 0 && stat(scratch.image().c_str(), &image) == 0 && !(image.st_mode & 0222)) {
        // Root writes anyway: a read-only image is run as nobody, with copies of
        // the program and the library that nobody can reach wherever the build is.
        ASSERT_EQ(system(("cp '" CHG_TEST_PROGRAM "' '" EMULATOR_LIBRARY "' '" + scratch.dir + "'").c_str()), 0);
        command = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", scratch.dir + "/chg_4917_test"};
        env.push_back({"LD_LIBRARY_PATH", scratch.dir});
    }
    command.insert(command.end(), road.args.begin(), road.args.end());

    Outcome run = run_program(command, env, scratch);

    expect_road(road, run, before, scratch);
}

INSTANTIATE_TEST_SUITE_P(Roads, RoadTest, testing::ValuesIn(ROADS),
                         [](const testing::TestParamInfo<Road> &info) { return info.param.name; });

// The real program's pause: the window stays open 5 seconds, not more.
TEST(RealPause, TheRealProgramWaitsFiveSecondsBeforeItEnds)
{
    Scratch scratch;
    auto start = std::chrono::steady_clock::now();
    Outcome run = run_program({CHG_REAL_PROGRAM}, {{"FTEMU_DEVICES", "2"}}, scratch);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(run.out, START + SEVERAL_BOXES);
    EXPECT_EQ(run.trace, LIST + CLOSE_NULL) << "the real pause records nothing";
    EXPECT_GE(seconds, 5.0);
    EXPECT_LT(seconds, 5.5);
}
