#include "roads.h"

#include <signal.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "../emulator/image.h"

extern char **environ;

std::string read_file(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::string shell_word(const std::string &word)
{
    std::string out = "'";
    for (char c : word)
        out += c == '\'' ? "'\\''" : std::string(1, c);
    return out + "'";
}

// timeout kills its whole process group at the limit.
Outcome run_program(const Args &command, const Env &env, const Scratch &scratch, const std::string &drive,
                    double seconds)
{
    std::string out = scratch.dir + "/stdout", err = scratch.dir + "/stderr", trace = scratch.dir + "/trace";
    std::filesystem::remove(trace);
    std::string line = "exec env";
    for (char **v = environ; *v; v++)
        if (strncmp(*v, "FTEMU_", 6) == 0 || strncmp(*v, "CHG4917_", 8) == 0)
            line += " -u " + shell_word(std::string(*v, strchr(*v, '=')));
    Env all = {{"FTEMU_TRACE", drive + trace}, {"CHG4917_PAUSE_LOG", drive + trace}};
    all.insert(all.end(), env.begin(), env.end());
    for (const auto &[name, value] : all)
        line += " " + shell_word(name + "=" + value);
    line += " timeout -s KILL " + std::to_string(seconds);
    for (const auto &word : command)
        line += " " + shell_word(word);
    int status = system((line + " </dev/null >" + shell_word(out) + " 2>" + shell_word(err)).c_str());
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        ADD_FAILURE() << "still running after " << seconds << " s, killed: " << testing::PrintToString(command);
    return {read_file(out), read_file(err), WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(trace)};
}

std::string output_of(const Args &command)
{
    Scratch scratch;
    Outcome run = run_program(command, {}, scratch, "", 600);
    return run.status == 0 ? run.out : throw std::runtime_error(testing::PrintToString(command) + ":\n" + run.err);
}

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
    {"read_fails", READ, fail("FT_EE_Read:2=11"), READING, IDS_ZEROED, opened(probe(0) + readback(11))},
    {"read_unterminated_strings", READ, "FTEMU_STRINGS=unterminated", READING + MEMORY_UNTERMINATED, FACTORY,
     opened(probe(0) + readback(0))},
    {"erase", ERASE, "", ERASING + ERASED, IDS_ZEROED, opened(probe(0) + erase(0) + readback(15))},
    {"erase_small_letters", ERASE_SMALL, "", ERASING + ERASED, IDS_ZEROED, opened(probe(0) + erase(0) + readback(15))},
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

// Brings the image of scratch to the box's state and returns its bytes.
static std::string prepare(Box box, const Scratch &scratch, const Args &program, const Env &env)
{
    Eeprom factory;
    factory_content(&factory);
    uint8_t image[IMAGE_SIZE];
    encode_image(&factory, image);
    image[70] ^= box == CORRUPT_BOX ? 0x04 : 0;  // its checksum no longer matches
    std::ofstream(scratch.image()) << (box == BLANK_BOX ? std::string(IMAGE_SIZE, '\xff')
                                                        : std::string((char *)image, IMAGE_SIZE));
    if (box == READ_ONLY_BOX)
        chmod(scratch.image().c_str(), 0444);
    Env first = {env.back(), {"FTEMU_FAIL", box == CUT_BOX ? "FT_EE_Program=4" : ""}};  // an update, cut or not
    if (box == UPDATED_BOX || box == CUT_BOX)
        EXPECT_EQ(run_program(program, first, scratch).status, 0);
    return read_file(scratch.image());
}

// The bytes of the record dumped at the end of a run, in hexadecimal, but for its string pointers.
static std::string dumped(const std::string &dump, unsigned pointer_size)
{
    std::istringstream lines(dump);
    std::string hex;
    for (std::string line; std::getline(lines, line);)
        hex += line.substr(10, 96);  // after the offset, 32 fields of 3
    hex.erase(hex.find_last_not_of(' ') + 1);
    return hex.size() > 48 ? hex.erase(48, 12 * pointer_size) : hex;
}

std::string replaced(std::string text, const Env &changes)
{
    for (const auto &[from, to] : changes)
        for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
            text.replace(at, from.size(), to);
    return text;
}

double expect_road(const Road &road, Args program, Env env, bool windows)
{
    Scratch scratch;
    env.insert(env.begin(), {"LC_ALL", "C.UTF-8"});  // text converted for a file would show
    env.push_back({"FTEMU_IMAGE", (windows ? "Z:" : "") + scratch.image()});
    std::string before = prepare(road.box, scratch, program, env);
    if (geteuid() == 0 && road.box == READ_ONLY_BOX) {
        // Root writes anyway: as nobody, with copies of the program and library others cannot reach.
        EXPECT_EQ(chown(scratch.dir.c_str(), 65534, 65534), 0);
        output_of({"cp", program[0], EMULATOR_LIBRARY, scratch.dir});
        program = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", scratch.dir + "/chg_4917_test"};
        env.push_back({"LD_LIBRARY_PATH", scratch.dir});
    }
    program.insert(program.end(), road.args.begin(), road.args.end());
    std::istringstream settings(road.env);
    for (std::string word; settings >> word;)
        env.push_back({word.substr(0, word.find('=')), word.substr(word.find('=') + 1)});
    Outcome run = run_program(program, env, scratch, windows ? "Z:" : "");
    auto ended = std::filesystem::file_time_type::clock::now();

    auto text = [windows](const std::string &lines) { return windows ? crlf(lines) : lines; };
    size_t dump = std::min(run.out.find("0x000000: "), run.out.size());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.substr(0, dump), text(START + road.out));
    std::string record = road.dump.empty() ? "" : HEADER + road.dump;
    EXPECT_EQ(dumped(run.out.substr(dump), windows ? 4 : sizeof(void *)),
              record.erase(record.find_last_not_of(' ') + 1));
    EXPECT_EQ(replaced(run.err, {{scratch.dir, "{dir}"}}), text(road.err));
    if (road.box == CORRUPT_BOX || road.box == READ_ONLY_BOX)
        EXPECT_EQ(read_file(scratch.image()), before) << "a spoilt image is never rewritten";
    EXPECT_EQ(run.trace, windows ? windows_trace(road.trace) : road.trace);
    std::error_code none;
    auto traced = std::filesystem::last_write_time(scratch.dir + "/trace", none);
    return none ? 0 : std::chrono::duration<double>(ended - traced).count();
}
