// Hostile input: odd arguments, a library that reports absurd counts or
// unterminated strings, spoilt image files and broken emulator settings.
// Each must take a road of the program, with its exact texts, and no crash.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sys/stat.h>

#include "roads.h"

static void rewrite(const Scratch &s, const std::string &bytes)
{
    std::ofstream(s.image(), std::ios::binary | std::ios::trunc) << bytes;
}
static void empty_image(const Scratch &s) { rewrite(s, ""); }
static void truncated_image(const Scratch &s) { rewrite(s, read_file(s.image()).substr(0, 100)); }
static void long_image(const Scratch &s) { rewrite(s, read_file(s.image()) + std::string(44, '\0')); }
static void flipped_bit(const Scratch &s)
{
    std::string image = read_file(s.image());
    image[70] ^= 0x04;
    rewrite(s, image);
}
static const Args READ_BOX = {"READ"};
static const std::string PROBE_FAILS = LIST + OPEN + probe(11) + PAUSE7;
static const std::string CORRUPT = "ftemu: EEPROM image {image}: checksum or string lengths are wrong: the image is corrupt\n";

static const std::string MEMORY_IDENTITY_UNTERMINATED =
    "Memory content\n"
    "Manufacturer    : TALUPTALUPTALUPTALUPTALUPTALUPTA\n"
    "Manufacturer ID : DROVANE/TALUPDRO\n"
    "Description     : 4917491749174917491749174917491749174917491749174917491749174917\n"
    "VendorId        : 0x0403\n"
    "ProductId       : 0x6001\n"
    "\n";

static const std::vector<Road> HOSTILE = {
    // Arguments: only the exact command words count.
    {"argument_of_100000_characters", {}, {std::string(100000, 'R')}, {},
     START + USAGE, NO_DUMP, LIST + OPEN + probe(0) + CLOSE + PAUSE5},
    {"argument_with_bytes_above_0x7f", {}, {"\xe9\xff\x80READ"}, {},
     START + USAGE, NO_DUMP, LIST + OPEN + probe(0) + CLOSE + PAUSE5},
    {"command_word_with_a_byte_above_0x7f", {}, {"WRITE\xe9"}, {},
     START + USAGE, NO_DUMP, LIST + OPEN + probe(0) + CLOSE + PAUSE5},
    {"command_word_with_trailing_space", {}, {"READ "}, {},
     START + USAGE, NO_DUMP, LIST + OPEN + probe(0) + CLOSE + PAUSE5},
    {"command_word_with_leading_space", {}, {" ERASE"}, {},
     START + USAGE, NO_DUMP, LIST + OPEN + probe(0) + CLOSE + PAUSE5},
    {"command_word_followed_by_others", {}, {"erase", "WRITE", "READ"}, {},
     START + ERASING + ERASED, FACTORY_IDS_ZEROED,
     LIST + OPEN + probe(0) + erase(0) + readback(15) + CLOSE + PAUSE5},

    // Device counts: never more than ten ids are asked for.
    {"eleven_devices", {}, AUTO, {{"FTEMU_DEVICES", "11"}},
     START + SEVERAL_BOXES, NO_DUMP, call("FT_ListDevices 0x80000000", 0) + CLOSE_NULL + PAUSE5},
    {"two_hundred_devices", {}, AUTO, {{"FTEMU_DEVICES", "200"}},
     START + SEVERAL_BOXES, NO_DUMP, call("FT_ListDevices 0x80000000", 0) + CLOSE_NULL + PAUSE5},
    {"4294967295_devices", {}, AUTO, {{"FTEMU_DEVICES", "4294967295"}},
     START + SEVERAL_BOXES, NO_DUMP, call("FT_ListDevices 0x80000000", 0) + CLOSE_NULL + PAUSE5},
    {"two_hundred_devices_io_error", {}, AUTO, {{"FTEMU_DEVICES", "200"}, {"FTEMU_FAIL", "FT_ListDevices=4"}},
     START + SEVERAL_BOXES, NO_DUMP, call("FT_ListDevices 0x80000000", 4) + CLOSE_NULL + PAUSE5},

    // Strings that fill their buffers with no terminating zero.
    {"update_with_unterminated_strings", {}, AUTO, {{"FTEMU_STRINGS", "unterminated"}},
     START + ERASED + WRITE_VID + IDENTITY + UPDATED + MEMORY_IDENTITY_UNTERMINATED, WRITTEN_OVER_FACTORY,
     LIST + OPEN + probe(0) + probe(0) + erase(0) + program(0) + readback(0) + CLOSE + PAUSE5},

    // Spoilt images: reported, left alone, and read as an unreadable EEPROM.
    {"empty_image", {READ_BOX}, AUTO, {}, START + UNREADABLE, NO_DUMP, PROBE_FAILS,
     "ftemu: EEPROM image {image}: is 0 bytes long, an image is 256: empty\n", empty_image},
    {"truncated_image", {READ_BOX}, AUTO, {}, START + UNREADABLE, NO_DUMP, PROBE_FAILS,
     "ftemu: EEPROM image {image}: is 100 bytes long, an image is 256: truncated\n", truncated_image},
    {"image_of_the_wrong_size", {READ_BOX}, {"WRITE"}, {}, START + UNREADABLE, NO_DUMP, PROBE_FAILS,
     "ftemu: EEPROM image {image}: is 300 bytes long, an image is 256: too long\n", long_image},
    {"image_with_a_bad_checksum", {READ_BOX}, {"ERASE"}, {}, START + UNREADABLE, NO_DUMP, PROBE_FAILS,
     CORRUPT, flipped_bit},
    {"image_in_a_missing_folder", {}, AUTO, {{"FTEMU_IMAGE", "{dir}/missing/box.eeprom"}},
     START + UNREADABLE, NO_DUMP, PROBE_FAILS,
     "ftemu: EEPROM image {dir}/missing/box.eeprom: No such file or directory\n"},
    {"image_is_a_folder", {}, AUTO, {{"FTEMU_IMAGE", "{dir}"}}, START + UNREADABLE, NO_DUMP, PROBE_FAILS,
     "ftemu: EEPROM image {dir}: is a folder, not an image file\n"},

    // Settings that cannot be parsed: the library answers nothing.
    {"device_count_not_a_number", {}, AUTO, {{"FTEMU_DEVICES", "one"}},
     START + NO_BOX, NO_DUMP, call("FT_ListDevices 0x80000000", 18) + PAUSE5,
     "ftemu: FTEMU_DEVICES='one' cannot be used: expected a number from 0 to 4294967295\n"},
    {"negative_device_count", {}, AUTO, {{"FTEMU_DEVICES", "-1"}},
     START + NO_BOX, NO_DUMP, call("FT_ListDevices 0x80000000", 18) + PAUSE5,
     "ftemu: FTEMU_DEVICES='-1' cannot be used: expected a number from 0 to 4294967295\n"},
    {"unknown_eeprom_state", {}, AUTO, {{"FTEMU_EEPROM", "gone"}},
     START + NO_BOX, NO_DUMP, call("FT_ListDevices 0x80000000", 18) + PAUSE5,
     "ftemu: FTEMU_EEPROM='gone' cannot be used: expected present, absent or unreadable\n"},
    {"fault_rule_without_status", {}, AUTO, {{"FTEMU_FAIL", "FT_Open"}},
     START + NO_BOX, NO_DUMP, call("FT_ListDevices 0x80000000", 18) + PAUSE5,
     "ftemu: FTEMU_FAIL='FT_Open' cannot be used: expected CALL[:N]=STATUS[,...] with CALL one of "
     "FT_ListDevices, FT_Open, FT_EE_Read, FT_EraseEE, FT_EE_Program, FT_Close, N from 1, STATUS a "
     "number, at most 32 rules\n"},
};

INSTANTIATE_TEST_SUITE_P(Hostile, RoadTest, testing::ValuesIn(HOSTILE),
                         [](const testing::TestParamInfo<Road> &info) { return info.param.name; });

// A box whose programming fails after its erase (the cable pulled, say) is
// left blank; the next run finds it blank and writes it.
TEST(Recovery, ARunAfterACutProgrammingWritesTheBlankBox)
{
    Scratch scratch;
    Outcome cut = run_chg(AUTO, {{"FTEMU_FAIL", "FT_EE_Program=4"}}, scratch);
    EXPECT_EQ(mask_pointers(cut.out, sizeof(void *)),
              START + ERASED + WRITE_VID + IDENTITY + DUMPS64[PROGRAM_FAILED_AFTER_ERASE]);
    EXPECT_EQ(read_file(scratch.image()), std::string(256, '\xff'));

    Outcome again = run_chg(AUTO, {}, scratch);
    EXPECT_EQ(mask_pointers(again.out, sizeof(void *)),
              START + BLANK + WRITE_VID + IDENTITY + UPDATED + MEMORY_IDENTITY + DUMPS64[WRITTEN_OVER_BLANK]);
    EXPECT_EQ(again.trace, LIST + OPEN + probe(15) + program(0) + readback(0) + CLOSE + PAUSE5);

    Outcome check = run_chg({"READ"}, {}, scratch);
    EXPECT_EQ(mask_pointers(check.out, sizeof(void *)),
              START + READING + MEMORY_IDENTITY + DUMPS64[WRITTEN_OVER_BLANK]);
}

// An image the emulator may read but not write: the erase and the write fail
// with one line each, and the image keeps the box as it was.
TEST(ReadOnlyImage, EraseAndProgramFailAndTheImageStaysAsItWas)
{
    Scratch scratch;
    ASSERT_EQ(run_chg({"READ"}, {}, scratch).status, 0);  // makes the factory image
    ASSERT_EQ(chmod(scratch.image().c_str(), 0444), 0);
    ASSERT_EQ(chmod(scratch.dir.c_str(), 0777), 0);
    std::string image = read_file(scratch.image());
    std::vector<std::string> command = {CHG_TEST_PROGRAM};
    Env env = {{"FTEMU_IMAGE", scratch.image()}};
    if (geteuid() == 0) {
        // Root writes anyway: run as nobody, with copies of the program and
        // the library that nobody can reach wherever the build folder is.
        std::string copy = "cp '" CHG_TEST_PROGRAM "' '" EMULATOR_LIBRARY "' '" + scratch.dir + "'";
        ASSERT_EQ(system(copy.c_str()), 0);
        command = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                   scratch.dir + "/chg_4917_test"};
        env.push_back({"LD_LIBRARY_PATH", scratch.dir});
    }

    Outcome run = run_program(command, {"WRITE"}, env, scratch);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(mask_pointers(run.out, sizeof(void *)),
              START + WRITE_VID + ERASE_FAILED + IDENTITY + MEMORY_FACTORY + DUMPS64[FACTORY]);
    EXPECT_EQ(run.trace, LIST + OPEN + probe(0) + erase(13) + program(12) + readback(0) + CLOSE + PAUSE5);
    std::string denied = "ftemu: EEPROM image " + scratch.image() + ": Permission denied\n";
    EXPECT_EQ(run.err, denied + denied);
    EXPECT_EQ(read_file(scratch.image()), image);
}
