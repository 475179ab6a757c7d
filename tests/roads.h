// The roads of a run through the program, each with the box it starts from,
// its arguments and emulator settings, and what it must print, call and wait.
#ifndef ROADS_H
#define ROADS_H

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "run_program.h"
#include "transcripts.h"

enum Dump {
    NO_DUMP,
    FACTORY,
    WRITTEN_OVER_FACTORY,
    FACTORY_IDS_ZEROED,
    WRITTEN_OVER_BLANK,
    NEVER_FILLED,
    PROGRAM_FAILED_AFTER_ERASE
};

// Indexed by Dump.
static const char *const DUMPS64[] = {"", DUMP64_FACTORY, DUMP64_WRITTEN_OVER_FACTORY,
                                      DUMP64_FACTORY_IDS_ZEROED, DUMP64_WRITTEN_OVER_BLANK,
                                      DUMP64_NEVER_FILLED, DUMP64_PROGRAM_FAILED_AFTER_ERASE};
static const char *const DUMPS32[] = {"", DUMP32_FACTORY, DUMP32_WRITTEN_OVER_FACTORY,
                                      DUMP32_FACTORY_IDS_ZEROED, DUMP32_WRITTEN_OVER_BLANK,
                                      DUMP32_NEVER_FILLED, DUMP32_PROGRAM_FAILED_AFTER_ERASE};

// Trace lines: each library call with the status it returned, and the pause.
static inline std::string call(const std::string &what, unsigned status)
{
    return what + " -> " + std::to_string(status) + "\n";
}
static const std::string LIST = call("FT_ListDevices 0x80000000", 0) + call("FT_ListDevices 0x20000004", 0);
static const std::string OPEN = call("FT_Open 0", 0);
static inline std::string probe(unsigned s) { return call("FT_EE_Read null", s); }
static inline std::string readback(unsigned s) { return call("FT_EE_Read buffers", s); }
static inline std::string erase(unsigned s) { return call("FT_EraseEE", s); }
static inline std::string program(unsigned s) { return call("FT_EE_Program", s); }
static const std::string CLOSE = call("FT_Close", 0);
static const std::string CLOSE_NULL = call("FT_Close null", 1);
static const std::string PAUSE5 = "pause 5\n";
static const std::string PAUSE7 = "pause 7\n";

using Args = std::vector<std::string>;

struct Road {
    const char *name;
    std::vector<Args> before;  // runs that bring the box to its state first
    Args args;
    Env env;
    std::string out;  // standard output, up to the dump
    Dump dump;        // the dump that ends it, if any
    std::string trace;
    // Standard error; {image} and {dir} stand for the image file and the
    // test's folder, here and in the settings.
    std::string err = "";
    // Spoils the box's image before the run; the run must leave it as it is.
    void (*spoil)(const Scratch &) = nullptr;
};

class RoadTest : public testing::TestWithParam<Road> {};

static inline void PrintTo(const Road &road, std::ostream *os)
{
    *os << road.name;
}

static const Args AUTO = {};
static const Args ERASE_BOX = {"ERASE"};

// Every road starts from a fresh factory box unless `before` says otherwise.
static const std::vector<Road> ROADS = {
    // Start-up, device probe and end.
    {"list_fails", {}, AUTO, {{"FTEMU_FAIL", "FT_ListDevices=2"}},
     START + NO_BOX, NO_DUMP, call("FT_ListDevices 0x80000000", 2) + PAUSE5},
    {"full_list_fails", {}, AUTO, {{"FTEMU_FAIL", "FT_ListDevices:2=18"}},
     START + NO_BOX, NO_DUMP, call("FT_ListDevices 0x80000000", 0) + call("FT_ListDevices 0x20000004", 18) + PAUSE5},
    {"list_io_error_goes_on", {}, AUTO, {{"FTEMU_FAIL", "FT_ListDevices=4"}},
     START + ERASED + WRITE_VID + IDENTITY + UPDATED + MEMORY_IDENTITY, WRITTEN_OVER_FACTORY,
     call("FT_ListDevices 0x80000000", 4) + call("FT_ListDevices 0x20000004", 4) + OPEN + probe(0) +
         probe(0) + erase(0) + program(0) + readback(0) + CLOSE + PAUSE5},
    {"no_device", {}, AUTO, {{"FTEMU_DEVICES", "0"}},
     START + NO_BOX, NO_DUMP, LIST + CLOSE_NULL + PAUSE5},
    {"two_devices", {}, AUTO, {{"FTEMU_DEVICES", "2"}},
     START + SEVERAL_BOXES, NO_DUMP, LIST + CLOSE_NULL + PAUSE5},
    {"ten_devices", {}, AUTO, {{"FTEMU_DEVICES", "10"}},
     START + SEVERAL_BOXES, NO_DUMP, LIST + CLOSE_NULL + PAUSE5},
    // Past ten devices the full list is never asked for: locIdBuf holds ten.
    {"twelve_devices", {}, AUTO, {{"FTEMU_DEVICES", "12"}},
     START + SEVERAL_BOXES, NO_DUMP, call("FT_ListDevices 0x80000000", 0) + CLOSE_NULL + PAUSE5},
    {"open_fails", {}, AUTO, {{"FTEMU_FAIL", "FT_Open=3"}},
     START, NO_DUMP, LIST + call("FT_Open 0", 3) + CLOSE_NULL + PAUSE5},
    {"probe_unreadable", {}, AUTO, {{"FTEMU_EEPROM", "unreadable"}},
     START + UNREADABLE, NO_DUMP, LIST + OPEN + probe(11) + PAUSE7},
    {"probe_absent", {}, AUTO, {{"FTEMU_EEPROM", "absent"}},
     START + ABSENT, NO_DUMP, LIST + OPEN + probe(14) + PAUSE7},
    {"probe_other_status", {}, AUTO, {{"FTEMU_FAIL", "FT_EE_Read:1=18"}},
     START + WRITE_VID, NO_DUMP, LIST + OPEN + probe(18) + CLOSE + PAUSE5},

    // The automatic update.
    {"auto_programmed_box", {}, AUTO, {},
     START + ERASED + WRITE_VID + IDENTITY + UPDATED + MEMORY_IDENTITY, WRITTEN_OVER_FACTORY,
     LIST + OPEN + probe(0) + probe(0) + erase(0) + program(0) + readback(0) + CLOSE + PAUSE5},
    {"auto_blank_box", {ERASE_BOX}, AUTO, {},
     START + BLANK + WRITE_VID + IDENTITY + UPDATED + MEMORY_IDENTITY, WRITTEN_OVER_BLANK,
     LIST + OPEN + probe(15) + program(0) + readback(0) + CLOSE + PAUSE5},
    {"auto_blank_test_reads_blank", {}, AUTO, {{"FTEMU_FAIL", "FT_EE_Read:2=15"}},
     START + WRITE_VID + IDENTITY + UPDATED + MEMORY_IDENTITY, WRITTEN_OVER_FACTORY,
     LIST + OPEN + probe(0) + probe(15) + program(0) + readback(0) + CLOSE + PAUSE5},
    {"auto_blank_test_fails", {}, AUTO, {{"FTEMU_FAIL", "FT_EE_Read:2=11"}},
     START + ERASED + WRITE_VID + IDENTITY + UPDATED + MEMORY_IDENTITY, WRITTEN_OVER_FACTORY,
     LIST + OPEN + probe(0) + probe(11) + erase(0) + program(0) + readback(0) + CLOSE + PAUSE5},
    {"auto_erase_fails_blank", {}, AUTO, {{"FTEMU_FAIL", "FT_EraseEE=15"}},
     START + ERASE_FAILED + WRITE_VID + IDENTITY + UPDATED + MEMORY_IDENTITY, WRITTEN_OVER_FACTORY,
     LIST + OPEN + probe(0) + probe(0) + erase(15) + program(0) + readback(0) + CLOSE + PAUSE5},
    {"auto_erase_fails", {}, AUTO, {{"FTEMU_FAIL", "FT_EraseEE=13"}},
     START + ERASE_FAILED + WRITE_VID, NO_DUMP,
     LIST + OPEN + probe(0) + probe(0) + erase(13) + CLOSE + PAUSE5},
    {"auto_program_fails", {}, AUTO, {{"FTEMU_FAIL", "FT_EE_Program=12"}},
     START + ERASED + WRITE_VID + IDENTITY, PROGRAM_FAILED_AFTER_ERASE,
     LIST + OPEN + probe(0) + probe(0) + erase(0) + program(12) + readback(15) + CLOSE + PAUSE5},
    {"auto_on_updated_box", {AUTO}, AUTO, {},
     START + ERASED + WRITE_VID + IDENTITY + UPDATED + MEMORY_IDENTITY, WRITTEN_OVER_FACTORY,
     LIST + OPEN + probe(0) + probe(0) + erase(0) + program(0) + readback(0) + CLOSE + PAUSE5},

    // The commands.
    {"read", {}, {"READ"}, {},
     START + READING + MEMORY_FACTORY, FACTORY, LIST + OPEN + probe(0) + readback(0) + CLOSE + PAUSE5},
    {"read_small_letters", {}, {"read"}, {},
     START + READING + MEMORY_FACTORY, FACTORY, LIST + OPEN + probe(0) + readback(0) + CLOSE + PAUSE5},
    {"read_with_extra_argument", {}, {"READ", "ERASE"}, {},
     START + READING + MEMORY_FACTORY, FACTORY, LIST + OPEN + probe(0) + readback(0) + CLOSE + PAUSE5},
    {"read_after_update", {AUTO}, {"READ"}, {},
     START + READING + MEMORY_IDENTITY, WRITTEN_OVER_FACTORY,
     LIST + OPEN + probe(0) + readback(0) + CLOSE + PAUSE5},
    {"read_blank_box", {ERASE_BOX}, {"READ"}, {},
     START + BLANK + READING, NEVER_FILLED, LIST + OPEN + probe(15) + readback(15) + CLOSE + PAUSE5},
    {"read_fails", {}, {"READ"}, {{"FTEMU_FAIL", "FT_EE_Read:2=11"}},
     START + READING, FACTORY_IDS_ZEROED, LIST + OPEN + probe(0) + readback(11) + CLOSE + PAUSE5},
    {"read_unterminated_strings", {}, {"READ"}, {{"FTEMU_STRINGS", "unterminated"}},
     START + READING + MEMORY_FACTORY_UNTERMINATED, FACTORY,
     LIST + OPEN + probe(0) + readback(0) + CLOSE + PAUSE5},
    {"erase", {}, {"ERASE"}, {},
     START + ERASING + ERASED, FACTORY_IDS_ZEROED,
     LIST + OPEN + probe(0) + erase(0) + readback(15) + CLOSE + PAUSE5},
    {"erase_small_letters", {}, {"erase"}, {},
     START + ERASING + ERASED, FACTORY_IDS_ZEROED,
     LIST + OPEN + probe(0) + erase(0) + readback(15) + CLOSE + PAUSE5},
    {"erase_blank_box", {ERASE_BOX}, {"ERASE"}, {},
     START + BLANK + ERASING + ERASED, NEVER_FILLED,
     LIST + OPEN + probe(15) + erase(0) + readback(15) + CLOSE + PAUSE5},
    {"erase_fails", {}, {"ERASE"}, {{"FTEMU_FAIL", "FT_EraseEE=13"}},
     START + ERASING + ERASE_FAILED + MEMORY_FACTORY, FACTORY,
     LIST + OPEN + probe(0) + erase(13) + readback(0) + CLOSE + PAUSE5},
    {"write", {}, {"WRITE"}, {},
     START + WRITE_VID + ERASED + IDENTITY + UPDATED + MEMORY_IDENTITY, WRITTEN_OVER_FACTORY,
     LIST + OPEN + probe(0) + erase(0) + program(0) + readback(0) + CLOSE + PAUSE5},
    {"write_small_letters", {}, {"write"}, {},
     START + WRITE_VID + ERASED + IDENTITY + UPDATED + MEMORY_IDENTITY, WRITTEN_OVER_FACTORY,
     LIST + OPEN + probe(0) + erase(0) + program(0) + readback(0) + CLOSE + PAUSE5},
    {"write_blank_box", {ERASE_BOX}, {"WRITE"}, {},
     START + BLANK + WRITE_VID + ERASED + IDENTITY + UPDATED + MEMORY_IDENTITY, WRITTEN_OVER_BLANK,
     LIST + OPEN + probe(15) + erase(0) + program(0) + readback(0) + CLOSE + PAUSE5},
    {"write_erase_fails", {}, {"WRITE"}, {{"FTEMU_FAIL", "FT_EraseEE=13"}},
     START + WRITE_VID + ERASE_FAILED + IDENTITY + UPDATED + MEMORY_IDENTITY, WRITTEN_OVER_FACTORY,
     LIST + OPEN + probe(0) + erase(13) + program(0) + readback(0) + CLOSE + PAUSE5},
    {"write_program_fails", {}, {"WRITE"}, {{"FTEMU_FAIL", "FT_EE_Program=10"}},
     START + WRITE_VID + ERASED + IDENTITY, PROGRAM_FAILED_AFTER_ERASE,
     LIST + OPEN + probe(0) + erase(0) + program(10) + readback(15) + CLOSE + PAUSE5},
    {"write_probe_other_status", {}, {"WRITE"}, {{"FTEMU_FAIL", "FT_EE_Read:1=18"}},
     START + WRITE_VID + ERASED + IDENTITY + UPDATED + MEMORY_IDENTITY, WRITTEN_OVER_BLANK,
     LIST + OPEN + probe(18) + erase(0) + program(0) + readback(0) + CLOSE + PAUSE5},
    {"unknown_argument", {}, {"Read"}, {},
     START + USAGE, NO_DUMP, LIST + OPEN + probe(0) + CLOSE + PAUSE5},
    {"unknown_argument_write2", {}, {"WRITE2"}, {},
     START + USAGE, NO_DUMP, LIST + OPEN + probe(0) + CLOSE + PAUSE5},
    {"empty_argument", {}, {""}, {},
     START + USAGE, NO_DUMP, LIST + OPEN + probe(0) + CLOSE + PAUSE5},
    {"unknown_argument_blank_box", {ERASE_BOX}, {"Read"}, {},
     START + BLANK + USAGE, NO_DUMP, LIST + OPEN + probe(15) + CLOSE + PAUSE5},
};

#endif
