#include "road_table.h"

#include <algorithm>
#include <stdexcept>

static const Args AUTO = {}, READ = {"READ"}, ERASE = {"ERASE"}, WRITE = {"WRITE"}, READ_SMALL = {"read"},
                  ERASE_SMALL = {"erase"}, WRITE_SMALL = {"write"}, READ_ERASE = {"READ", "ERASE"}, UNKNOWN = {"Read"},
                  LONG = {std::string(100000, 'R')};
static std::string fail(const std::string &rules)
{
    return "FTEMU_FAIL=" + rules;
}
// The trace of a road that opens the device, makes these calls and closes it.
static std::string opened(const std::string &calls)
{
    return LIST + OPEN + calls + CLOSE + PAUSE5;
}
static const std::string WRITTEN = IDENTITY + UPDATED + MEMORY_IDENTITY, PROBE_FAILS = LIST + OPEN + probe(11) + PAUSE7;
static const std::string IMAGE = "ftemu: EEPROM image {dir}/box.eeprom: ";

const std::vector<Road> ROADS = {
    // Start-up, device probe and end. The full list is asked for only when one device is counted.
    {"list_fails", AUTO, fail("FT_ListDevices=2"), NO_BOX, NO_DUMP, count(2) + PAUSE5},
    {"full_list_fails", AUTO, fail("FT_ListDevices:2=18"), NO_BOX, NO_DUMP, count(0) + list(18) + PAUSE5},
    {"no_device", AUTO, "FTEMU_DEVICES=0", NO_BOX, NO_DUMP, count(0) + CLOSE_NULL + PAUSE5},
    {"two_devices", AUTO, "FTEMU_DEVICES=2", SEVERAL_BOXES, NO_DUMP, count(0) + CLOSE_NULL + PAUSE5},
    // The program stops before it looks at its argument: READ leaves these roads as they are.
    {"read_no_device", READ, "FTEMU_DEVICES=0", NO_BOX, NO_DUMP, count(0) + CLOSE_NULL + PAUSE5},
    {"read_two_devices", READ, "FTEMU_DEVICES=2", SEVERAL_BOXES, NO_DUMP, count(0) + CLOSE_NULL + PAUSE5},
    {"two_hundred_devices_io_error", AUTO, "FTEMU_DEVICES=200 FTEMU_FAIL=FT_ListDevices=4", SEVERAL_BOXES, NO_DUMP,
     count(4) + CLOSE_NULL + PAUSE5},
    {"open_fails", AUTO, fail("FT_Open=3"), "", NO_DUMP, LIST + call("FT_Open 0", 3) + CLOSE_NULL + PAUSE5},
    {"probe_unreadable", AUTO, "FTEMU_EEPROM=unreadable", UNREADABLE, NO_DUMP, PROBE_FAILS},
    {"probe_absent", AUTO, "FTEMU_EEPROM=absent", ABSENT, NO_DUMP, LIST + OPEN + probe(14) + PAUSE7},
    {"probe_other_status", AUTO, fail("FT_EE_Read:1=18"), WRITE_VID, NO_DUMP, opened(probe(18))},
    // The automatic update.
    {"auto_programmed_box", AUTO, "", ERASED + WRITE_VID + WRITTEN, OVER_FACTORY,
     opened(probe(0) + probe(0) + erase(0) + program(0) + readback(0))},
    {"auto_blank_box", AUTO, "", BLANK + WRITE_VID + WRITTEN, OVER_BLANK, opened(probe(15) + program(0) + readback(0)),
     BLANK_BOX},
    {"auto_blank_test_reads_blank", AUTO, fail("FT_EE_Read:2=15"), WRITE_VID + WRITTEN, OVER_FACTORY,
     opened(probe(0) + probe(15) + program(0) + readback(0))},
    {"auto_blank_test_fails", AUTO, fail("FT_EE_Read:2=11"), ERASED + WRITE_VID + WRITTEN, OVER_FACTORY,
     opened(probe(0) + probe(11) + erase(0) + program(0) + readback(0))},
    {"auto_erase_fails_blank", AUTO, fail("FT_EraseEE=15"), ERASE_FAILED + WRITE_VID + WRITTEN, OVER_FACTORY,
     opened(probe(0) + probe(0) + erase(15) + program(0) + readback(0))},
    {"auto_erase_fails", AUTO, fail("FT_EraseEE=13"), ERASE_FAILED + WRITE_VID, NO_DUMP,
     opened(probe(0) + probe(0) + erase(13))},
    {"auto_program_fails", AUTO, fail("FT_EE_Program=12"), ERASED + WRITE_VID + IDENTITY, NOT_READ_BACK,
     opened(probe(0) + probe(0) + erase(0) + program(12) + readback(15))},
    {"auto_after_a_cut_programming", AUTO, "", BLANK + WRITE_VID + WRITTEN, OVER_BLANK,
     opened(probe(15) + program(0) + readback(0)), CUT_BOX},
    {"auto_readback_fails", AUTO, fail("FT_EE_Read:3=11"), ERASED + WRITE_VID + IDENTITY + UPDATED, NOT_READ_BACK,
     opened(probe(0) + probe(0) + erase(0) + program(0) + readback(11))},
    {"auto_blank_program_fails", AUTO, fail("FT_EE_Program=12"), BLANK + WRITE_VID + IDENTITY, NEVER_FILLED,
     opened(probe(15) + program(12) + readback(15)), BLANK_BOX},
    {"auto_blank_readback_fails", AUTO, fail("FT_EE_Read:2=11"), BLANK + WRITE_VID + IDENTITY + UPDATED, NEVER_FILLED,
     opened(probe(15) + program(0) + readback(11)), BLANK_BOX},
    // The commands.
    {"read", READ, "", READING + MEMORY_FACTORY, FACTORY, opened(probe(0) + readback(0))},
    {"read_small_letters", READ_SMALL, "", READING + MEMORY_FACTORY, FACTORY, opened(probe(0) + readback(0))},
    {"read_with_extra_arguments", READ_ERASE, "", READING + MEMORY_FACTORY, FACTORY, opened(probe(0) + readback(0))},
    {"read_after_update", READ, "", READING + MEMORY_IDENTITY, OVER_FACTORY, opened(probe(0) + readback(0)),
     UPDATED_BOX},
    {"read_probe_reads_blank", READ, fail("FT_EE_Read:1=15"), BLANK + READING + MEMORY_FACTORY, FACTORY,
     opened(probe(15) + readback(0))},
    {"read_blank_box", READ, "", BLANK + READING, NEVER_FILLED, opened(probe(15) + readback(15)), BLANK_BOX},
    {"read_fails", READ, fail("FT_EE_Read:2=11"), READING, IDS_ZEROED, opened(probe(0) + readback(11))},
    {"read_unterminated_strings", READ, "FTEMU_STRINGS=unterminated", READING + MEMORY_UNTERMINATED, FACTORY,
     opened(probe(0) + readback(0))},
    {"erase", ERASE, "", ERASING + ERASED, IDS_ZEROED, opened(probe(0) + erase(0) + readback(15))},
    {"erase_small_letters", ERASE_SMALL, "", ERASING + ERASED, IDS_ZEROED, opened(probe(0) + erase(0) + readback(15))},
    {"erase_updated_box", ERASE, "", ERASING + ERASED, NOT_READ_BACK, opened(probe(0) + erase(0) + readback(15)),
     UPDATED_BOX},
    {"erase_blank_box", ERASE, "", BLANK + ERASING + ERASED, NEVER_FILLED, opened(probe(15) + erase(0) + readback(15)),
     BLANK_BOX},
    {"erase_probe_reads_blank", ERASE, fail("FT_EE_Read:1=15"), BLANK + ERASING + ERASED, NEVER_FILLED,
     opened(probe(15) + erase(0) + readback(15))},
    {"erase_probe_other_status", ERASE, fail("FT_EE_Read:1=18"), ERASING + ERASED, NEVER_FILLED,
     opened(probe(18) + erase(0) + readback(15))},
    {"erase_fails", ERASE, fail("FT_EraseEE=13"), ERASING + ERASE_FAILED + MEMORY_FACTORY, FACTORY,
     opened(probe(0) + erase(13) + readback(0))},
    {"write", WRITE, "", WRITE_VID + ERASED + WRITTEN, OVER_FACTORY,
     opened(probe(0) + erase(0) + program(0) + readback(0))},
    {"write_small_letters", WRITE_SMALL, "", WRITE_VID + ERASED + WRITTEN, OVER_FACTORY,
     opened(probe(0) + erase(0) + program(0) + readback(0))},
    {"write_blank_box", WRITE, "", BLANK + WRITE_VID + ERASED + WRITTEN, OVER_BLANK,
     opened(probe(15) + erase(0) + program(0) + readback(0)), BLANK_BOX},
    {"write_erase_fails", WRITE, fail("FT_EraseEE=13"), WRITE_VID + ERASE_FAILED + WRITTEN, OVER_FACTORY,
     opened(probe(0) + erase(13) + program(0) + readback(0))},
    {"write_program_fails", WRITE, fail("FT_EE_Program=10"), WRITE_VID + ERASED + IDENTITY, NOT_READ_BACK,
     opened(probe(0) + erase(0) + program(10) + readback(15))},
    {"write_readback_fails", WRITE, fail("FT_EE_Read:2=11"), WRITE_VID + ERASED + IDENTITY + UPDATED, NOT_READ_BACK,
     opened(probe(0) + erase(0) + program(0) + readback(11))},
    {"write_probe_other_status", WRITE, fail("FT_EE_Read:1=18"), WRITE_VID + ERASED + WRITTEN, OVER_BLANK,
     opened(probe(18) + erase(0) + program(0) + readback(0))},
    // Only the exact command words count: anything else gets the usage, and nothing changes.
    {"unknown_argument", UNKNOWN, "", USAGE, NO_DUMP, opened(probe(0))},
    {"trailing_space", {"READ "}, "", USAGE, NO_DUMP, opened(probe(0))},
    {"argument_of_100000_characters", LONG, "", USAGE, NO_DUMP, opened(probe(0))},
    {"unknown_argument_blank_box", UNKNOWN, "", BLANK + USAGE, NO_DUMP, opened(probe(15)), BLANK_BOX},
    // A spoilt image is reported, read as an unreadable EEPROM, and never rewritten.
    {"image_with_a_bad_checksum", ERASE, "", UNREADABLE, NO_DUMP, PROBE_FAILS, CORRUPT_BOX,
     IMAGE + "checksum or string lengths are wrong: the image is corrupt\n"},
    // An image that can be read but not written: the erase and the programming fail, one line each.
    {"write_on_a_read_only_image", WRITE, "", WRITE_VID + ERASE_FAILED + IDENTITY + MEMORY_FACTORY, FACTORY,
     opened(probe(0) + erase(13) + program(12) + readback(0)), READ_ONLY_BOX,
     IMAGE + "Permission denied\n" + IMAGE + "Permission denied\n"},
    // A setting that cannot be parsed: every call fails with 18.
    {"device_count_not_a_number", AUTO, "FTEMU_DEVICES=one", NO_BOX, NO_DUMP, count(18) + PAUSE5, FACTORY_BOX,
     "ftemu: FTEMU_DEVICES='one' cannot be used: expected a number from 0 to 4294967295\n"},
};

const Road &road_named(const std::string &name)
{
    auto road = std::find_if(ROADS.begin(), ROADS.end(), [&](const Road &r) { return r.name == name; });
    return road != ROADS.end() ? *road : throw std::runtime_error("no road " + name);
}
