// The one table of the roads of a run: what the program prints on each, the record it dumps and the
// library calls it makes. The tests run every road; the acceptance kit compares a real box's runs with
// the roads of its steps.
#ifndef ROAD_TABLE_H
#define ROAD_TABLE_H

#include <string>
#include <vector>

#include "transcripts.h"

using Args = std::vector<std::string>;

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
extern const std::vector<Road> ROADS;
const Road &road_named(const std::string &name);

// The trace: each library call with the status it returned, then the pause.
inline std::string call(const std::string &c, unsigned s)
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

#endif
