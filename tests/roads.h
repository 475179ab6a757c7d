// The harness, which runs a built program as a process on the emulated box, and
// the one table of the roads of a run, for the road test, the fault matrix and wine.
#ifndef ROADS_H
#define ROADS_H

#include <gtest/gtest.h>

#include <filesystem>

#include "transcripts.h"

using Args = std::vector<std::string>;
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

// CUT: a programming cut after the erase; CORRUPT: a bit of the image flipped.
enum Box { FACTORY_BOX, BLANK_BOX, UPDATED_BOX, CUT_BOX, CORRUPT_BOX, READ_ONLY_BOX };

struct Road {
    std::string name;
    Args args;
    std::string env;    // the emulator's settings, NAME=value, split by spaces
    std::string out;    // standard output after START, up to the dump
    std::string dump;   // the record dumped at the end, if any
    std::string trace;  // the library calls with their statuses, then the pause
    Box box = FACTORY_BOX;
    std::string err = "";  // {dir} stands for the test's folder
};
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
extern const std::vector<Road> ROADS;
const Road &road_named(const std::string &name);

// The trace: each library call with the status it returned, then the pause.
inline std::string call(std::string c, unsigned s)
{
    return c + " -> " + std::to_string(s) + "\n";
}
inline auto count = [](unsigned s) { return call("FT_ListDevices 0x80000000", s); };
inline auto list = [](unsigned s) { return call("FT_ListDevices 0x20000004", s); };
inline auto probe = [](unsigned s) { return call("FT_EE_Read null", s); };
inline auto readback = [](unsigned s) { return call("FT_EE_Read buffers", s); };
inline auto erase = [](unsigned s) { return call("FT_EraseEE", s); };
inline auto program = [](unsigned s) { return call("FT_EE_Program buffers, null serial", s); };
static const std::string LIST = count(0) + list(0), OPEN = call("FT_Open 0", 0), CLOSE = call("FT_Close", 0),
                         CLOSE_NULL = call("FT_Close null", 1), PAUSE5 = "pause 5\n";
// The 7-second roads leave stdout to the process's end to flush (seen on Linux).
static const std::string UNFLUSHED = " with output not flushed", PAUSE7 = "pause 7" + UNFLUSHED + "\n";

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
