// The harness, which runs a built program as a process on the emulated box and checks a road of the
// table (roads/road_table.h), for the road test, the fault matrix and wine.
#ifndef ROADS_H
#define ROADS_H

#include <gtest/gtest.h>

#include <filesystem>

#include "../roads/road_table.h"

using Env = std::vector<std::pair<std::string, std::string>>;

struct Outcome {
    std::string out, err;  // standard output and error, byte for byte
    int status;            // exit status, or -1 when the process did not exit
    std::string trace;     // the library calls and the pauses, one a line
};

// A folder of its own for one test (0700, in TMPDIR or /tmp), removed with it.
struct Scratch {
    std::string dir = std::filesystem::temp_directory_path() / "chg4917-test-XXXXXX";
    Scratch()
    {
        if (!mkdtemp(&dir[0]))
            throw std::runtime_error("mkdtemp " + dir + " failed");
    }
    ~Scratch()
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    Scratch(const Scratch &) = delete;  // the folder is removed once
    std::string image() const { return dir + "/box.eeprom"; }
};

// Runs command with no input and env in place of our FTEMU_ and CHG4917_ variables, the trace going
// to the scratch folder, whose path drive precedes ("Z:" under wine). A run longer than seconds is
// killed with every process it started, and fails the test.
Outcome run_program(const Args &command, const Env &env, const Scratch &scratch, const std::string &drive = "",
                    double seconds = 30);
std::string output_of(const Args &command);       // of a command that must succeed, or it throws
std::string shell_word(const std::string &word);  // word, quoted for a POSIX shell
std::string read_file(const std::string &path);

// By address: copying 900 roads would slow every start of the test program.
class RoadTest : public testing::TestWithParam<const Road *> {};
inline std::vector<const Road *> addresses(const std::vector<Road> &roads)
{
    std::vector<const Road *> all;
    for (const Road &road : roads)
        all.push_back(&road);
    return all;
}
inline std::string road_name(const testing::TestParamInfo<const Road *> &info)
{
    return info.param->name;
}

// Runs the road with the program, from the box the road starts on, and checks all it left. windows: the
// 32-bit Windows program, with CR LF line ends and 4-byte pointers. Returns the seconds from the trace's
// last write, the program's last library call, to the end of the run.
double expect_road(const Road &road, Args program, Env env = {}, bool windows = false);
std::string replaced(std::string text, const Env &changes);  // each (from, to) in turn
inline std::string crlf(const std::string &text)
{
    return replaced(text, {{"\n", "\r\n"}});
}
// The program's Windows-1252 é and à, in UTF-8.
inline std::string utf8(const std::string &text)
{
    return replaced(text, {{"\xe9", "\xc3\xa9"}, {"\xe0", "\xc3\xa0"}});
}
inline std::string windows_trace(std::string t)
{
    return crlf(replaced(t, {{UNFLUSHED, ""}}));
}

#endif
