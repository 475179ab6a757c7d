#include "roads.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <stdexcept>

#include "../emulator/image.h"
#include "../src/hexdump.h"

extern char **environ;

static void check(bool ok, const std::string &what)
{
    if (!ok)
        throw std::runtime_error(what + ": " + strerror(errno));
}

// Closed to everyone else (0700), in TMPDIR or /tmp.
Scratch::Scratch()
{
    const char *tmp = getenv("TMPDIR");
    dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/chg4917-test-XXXXXX";
    check(mkdtemp(&dir[0]) != nullptr, "mkdtemp " + dir);
}

Scratch::~Scratch()
{
    std::error_code error;
    if (std::filesystem::remove_all(dir, error) == static_cast<std::uintmax_t>(-1))
        fprintf(stderr, "cannot remove %s: %s\n", dir.c_str(), error.message().c_str());
}

// Files are opened without following a symbolic link.
std::string read_file(const std::string &path)
{
    std::string bytes;
    char buffer[65536];
    int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    for (ssize_t got; fd >= 0 && (got = read(fd, buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, (size_t)got);
    if (fd >= 0)
        close(fd);
    return bytes;
}

void write_file(const std::string &path, const std::string &bytes)
{
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    bool written = fd >= 0 && write(fd, bytes.data(), bytes.size()) == (ssize_t)bytes.size();
    check((fd < 0 || close(fd) == 0) && written, "cannot write " + path);
}

Outcome run_program(const Args &command, const Env &env, const Scratch &scratch, const std::string &drive,
                    double seconds)
{
    std::string out = scratch.dir + "/stdout", err = scratch.dir + "/stderr", trace = scratch.trace();
    check(unlink(trace.c_str()) == 0 || errno == ENOENT, "unlink " + trace);
    std::map<std::string, std::string> vars;
    for (char **v = environ; *v; v++)
        if (strncmp(*v, "FTEMU_", 6) != 0 && strncmp(*v, "CHG4917_", 8) != 0)
            vars[std::string(*v, strchr(*v, '='))] = strchr(*v, '=') + 1;
    vars["FTEMU_TRACE"] = vars["CHG4917_PAUSE_LOG"] = drive + trace;
    for (const auto &setting : env)
        vars[setting.first] = setting.second;
    std::vector<std::string> words = command, environment;
    for (const auto &var : vars)
        environment.push_back(var.first + "=" + var.second);
    std::vector<char *> argv(words.size() + 1), envp(environment.size() + 1);  // each ends with a null
    std::transform(words.begin(), words.end(), argv.begin(), [](std::string &word) { return &word[0]; });
    std::transform(environment.begin(), environment.end(), envp.begin(), [](std::string &var) { return &var[0]; });
    posix_spawnattr_t group;  // a process group of its own, killed whole if the run hangs (wine starts several)
    check((errno = posix_spawnattr_init(&group)) == 0 &&
              (errno = posix_spawnattr_setflags(&group, POSIX_SPAWN_SETPGROUP)) == 0,
          "posix_spawnattr");
    posix_spawn_file_actions_t actions;
    pid_t pid = 0;
    int error = posix_spawn_file_actions_init(&actions);
    check((errno = error) == 0, "posix_spawn_file_actions_init");
    const char *paths[] = {"/dev/null", out.c_str(), err.c_str()};
    for (int fd = 0; fd < 3 && error == 0; fd++)
        error = posix_spawn_file_actions_addopen(&actions, fd, paths[fd],
                                                 fd ? O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW : O_RDONLY, 0644);
    if (error == 0)
        error = posix_spawnp(&pid, argv[0], &actions, &group, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&group);
    check((errno = error) == 0, "cannot start " + command[0]);
    int status = 0;
    pid_t ended;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while ((ended = waitpid(pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
        usleep(1000);
    if (ended == 0) {
        check(kill(-pid, SIGKILL) == 0 && waitpid(pid, &status, 0) == pid, "cannot stop " + command[0]);
        ADD_FAILURE() << "still running after " << seconds << " s, killed: " << testing::PrintToString(command);
    }
    check(ended >= 0, "waitpid");
    return {read_file(out), read_file(err), WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(trace)};
}

std::string output_of(const Args &command, double seconds)
{
    Scratch scratch;
    Outcome run = run_program(command, {}, scratch, "", seconds);
    return run.status == 0
               ? run.out
               : throw std::runtime_error(testing::PrintToString(command) + " failed:\n" + run.out + run.err);
}

static const Args AUTO = {}, READ = {"READ"}, ERASE = {"ERASE"}, WRITE = {"WRITE"};
static Env fail(const std::string &rules)
{
    return {{"FTEMU_FAIL", rules}};
}
// The trace of a road that opens the device, makes these calls and closes it.
static std::string opened(const std::string &calls)
{
    return LIST + OPEN + calls + CLOSE + PAUSE5;
}
static const std::string WRITTEN_TEXT = IDENTITY + UPDATED + MEMORY_IDENTITY,
                         PROBE_FAILS = LIST + OPEN + probe(11) + PAUSE7;
static const std::string CORRUPT =
    "ftemu: EEPROM image {dir}/box.eeprom: checksum or string lengths are wrong: the image is corrupt\n";
static const std::string DENIED = "ftemu: EEPROM image {dir}/box.eeprom: Permission denied\n";

// An argument that is not exactly a command word: the usage, nothing changed.
static Road usage(const std::string &name, const std::string &arg)
{
    return {name, {arg}, {}, USAGE, NO_DUMP, opened(probe(0))};
}
const std::vector<Road> ROADS = {
    // Start-up, device probe and end.
    {"list_fails", AUTO, fail("FT_ListDevices=2"), NO_BOX, NO_DUMP, count(2) + PAUSE5},
    {"full_list_fails", AUTO, fail("FT_ListDevices:2=18"), NO_BOX, NO_DUMP, count(0) + list(18) + PAUSE5},
    // The full list is asked for only when one device is counted: locIdBuf holds ten.
    {"no_device", AUTO, {{"FTEMU_DEVICES", "0"}}, NO_BOX, NO_DUMP, count(0) + CLOSE_NULL + PAUSE5},
    {"two_devices", AUTO, {{"FTEMU_DEVICES", "2"}}, SEVERAL_BOXES, NO_DUMP, count(0) + CLOSE_NULL + PAUSE5},
    {"two_hundred_devices_io_error",
     AUTO,
     {{"FTEMU_DEVICES", "200"}, {"FTEMU_FAIL", "FT_ListDevices=4"}},
     SEVERAL_BOXES,
     NO_DUMP,
     count(4) + CLOSE_NULL + PAUSE5},
    {"open_fails", AUTO, fail("FT_Open=3"), "", NO_DUMP, LIST + call("FT_Open 0", 3) + CLOSE_NULL + PAUSE5},
    {"probe_unreadable", AUTO, {{"FTEMU_EEPROM", "unreadable"}}, UNREADABLE, NO_DUMP, PROBE_FAILS},
    {"probe_absent", AUTO, {{"FTEMU_EEPROM", "absent"}}, ABSENT, NO_DUMP, LIST + OPEN + probe(14) + PAUSE7},
    {"probe_other_status", AUTO, fail("FT_EE_Read:1=18"), WRITE_VID, NO_DUMP, opened(probe(18))},
    // The automatic update.
    {"auto_programmed_box",
     AUTO,
     {},
     ERASED + WRITE_VID + WRITTEN_TEXT,
     OVER_FACTORY,
     opened(probe(0) + probe(0) + erase(0) + program(0) + readback(0))},
    {"auto_blank_box",
     AUTO,
     {},
     BLANK + WRITE_VID + WRITTEN_TEXT,
     OVER_BLANK,
     opened(probe(15) + program(0) + readback(0)),
     BLANK_BOX},
    {"auto_blank_test_reads_blank", AUTO, fail("FT_EE_Read:2=15"), WRITE_VID + WRITTEN_TEXT, OVER_FACTORY,
     opened(probe(0) + probe(15) + program(0) + readback(0))},
    {"auto_blank_test_fails", AUTO, fail("FT_EE_Read:2=11"), ERASED + WRITE_VID + WRITTEN_TEXT, OVER_FACTORY,
     opened(probe(0) + probe(11) + erase(0) + program(0) + readback(0))},
    {"auto_erase_fails_blank", AUTO, fail("FT_EraseEE=15"), ERASE_FAILED + WRITE_VID + WRITTEN_TEXT, OVER_FACTORY,
     opened(probe(0) + probe(0) + erase(15) + program(0) + readback(0))},
    {"auto_erase_fails", AUTO, fail("FT_EraseEE=13"), ERASE_FAILED + WRITE_VID, NO_DUMP,
     opened(probe(0) + probe(0) + erase(13))},
    {"auto_program_fails", AUTO, fail("FT_EE_Program=12"), ERASED + WRITE_VID + IDENTITY, NOT_READ_BACK,
     opened(probe(0) + probe(0) + erase(0) + program(12) + readback(15))},
    {"auto_after_a_cut_programming",
     AUTO,
     {},
     BLANK + WRITE_VID + WRITTEN_TEXT,
     OVER_BLANK,
     opened(probe(15) + program(0) + readback(0)),
     CUT_BOX},
    {"auto_readback_fails", AUTO, fail("FT_EE_Read:3=11"), ERASED + WRITE_VID + IDENTITY + UPDATED, NOT_READ_BACK,
     opened(probe(0) + probe(0) + erase(0) + program(0) + readback(11))},
    {"auto_blank_program_fails", AUTO, fail("FT_EE_Program=12"), BLANK + WRITE_VID + IDENTITY, NEVER_FILLED,
     opened(probe(15) + program(12) + readback(15)), BLANK_BOX},
    {"auto_blank_readback_fails", AUTO, fail("FT_EE_Read:2=11"), BLANK + WRITE_VID + IDENTITY + UPDATED, NEVER_FILLED,
     opened(probe(15) + program(0) + readback(11)), BLANK_BOX},
    // The commands.
    {"read", READ, {}, READING + MEMORY_FACTORY, FACTORY, opened(probe(0) + readback(0))},
    {"read_small_letters", {"read"}, {}, READING + MEMORY_FACTORY, FACTORY, opened(probe(0) + readback(0))},
    {"read_with_extra_arguments",
     {"READ", "ERASE"},
     {},
     READING + MEMORY_FACTORY,
     FACTORY,
     opened(probe(0) + readback(0))},
    {"read_after_update",
     READ,
     {},
     READING + MEMORY_IDENTITY,
     OVER_FACTORY,
     opened(probe(0) + readback(0)),
     UPDATED_BOX},
    {"read_probe_reads_blank", READ, fail("FT_EE_Read:1=15"), BLANK + READING + MEMORY_FACTORY, FACTORY,
     opened(probe(15) + readback(0))},
    {"read_fails", READ, fail("FT_EE_Read:2=11"), READING, IDS_ZEROED, opened(probe(0) + readback(11))},
    {"read_unterminated_strings",
     READ,
     {{"FTEMU_STRINGS", "unterminated"}},
     READING + MEMORY_FACTORY_UNTERMINATED,
     FACTORY,
     opened(probe(0) + readback(0))},
    {"erase", ERASE, {}, ERASING + ERASED, IDS_ZEROED, opened(probe(0) + erase(0) + readback(15))},
    {"erase_small_letters", {"erase"}, {}, ERASING + ERASED, IDS_ZEROED, opened(probe(0) + erase(0) + readback(15))},
    {"erase_probe_reads_blank", ERASE, fail("FT_EE_Read:1=15"), BLANK + ERASING + ERASED, NEVER_FILLED,
     opened(probe(15) + erase(0) + readback(15))},
    {"erase_probe_other_status", ERASE, fail("FT_EE_Read:1=18"), ERASING + ERASED, NEVER_FILLED,
     opened(probe(18) + erase(0) + readback(15))},
    {"erase_fails", ERASE, fail("FT_EraseEE=13"), ERASING + ERASE_FAILED + MEMORY_FACTORY, FACTORY,
     opened(probe(0) + erase(13) + readback(0))},
    {"write",
     WRITE,
     {},
     WRITE_VID + ERASED + WRITTEN_TEXT,
     OVER_FACTORY,
     opened(probe(0) + erase(0) + program(0) + readback(0))},
    {"write_small_letters",
     {"write"},
     {},
     WRITE_VID + ERASED + WRITTEN_TEXT,
     OVER_FACTORY,
     opened(probe(0) + erase(0) + program(0) + readback(0))},
    {"write_blank_box",
     WRITE,
     {},
     BLANK + WRITE_VID + ERASED + WRITTEN_TEXT,
     OVER_BLANK,
     opened(probe(15) + erase(0) + program(0) + readback(0)),
     BLANK_BOX},
    {"write_erase_fails", WRITE, fail("FT_EraseEE=13"), WRITE_VID + ERASE_FAILED + WRITTEN_TEXT, OVER_FACTORY,
     opened(probe(0) + erase(13) + program(0) + readback(0))},
    {"write_program_fails", WRITE, fail("FT_EE_Program=10"), WRITE_VID + ERASED + IDENTITY, NOT_READ_BACK,
     opened(probe(0) + erase(0) + program(10) + readback(15))},
    {"write_readback_fails", WRITE, fail("FT_EE_Read:2=11"), WRITE_VID + ERASED + IDENTITY + UPDATED, NOT_READ_BACK,
     opened(probe(0) + erase(0) + program(0) + readback(11))},
    {"write_probe_other_status", WRITE, fail("FT_EE_Read:1=18"), WRITE_VID + ERASED + WRITTEN_TEXT, OVER_BLANK,
     opened(probe(18) + erase(0) + program(0) + readback(0))},
    // Only the exact command words count.
    usage("unknown_argument", "Read"),
    usage("unknown_argument_write2", "WRITE2"),
    usage("trailing_space", "READ "),
    usage("argument_of_100000_characters", std::string(100000, 'R')),
    {"unknown_argument_blank_box", {"Read"}, {}, BLANK + USAGE, NO_DUMP, opened(probe(15)), BLANK_BOX},
    // A spoilt image is reported, read as an unreadable EEPROM, and never rewritten.
    {"image_with_a_bad_checksum", ERASE, {}, UNREADABLE, NO_DUMP, PROBE_FAILS, CORRUPT_BOX, CORRUPT},
    // An image that can be read but not written: the erase and the programming fail, one line each.
    {"write_on_a_read_only_image",
     WRITE,
     {},
     WRITE_VID + ERASE_FAILED + IDENTITY + MEMORY_FACTORY,
     FACTORY,
     opened(probe(0) + erase(13) + program(12) + readback(0)),
     READ_ONLY_BOX,
     DENIED + DENIED},
    // A setting that cannot be parsed: every call fails with 18.
    {"device_count_not_a_number",
     AUTO,
     {{"FTEMU_DEVICES", "one"}},
     NO_BOX,
     NO_DUMP,
     count(18) + PAUSE5,
     FACTORY_BOX,
     "ftemu: FTEMU_DEVICES='one' cannot be used: expected a number from 0 to 4294967295\n"},
};

const Road &road_named(const std::string &name)
{
    auto road = std::find_if(ROADS.begin(), ROADS.end(), [&](const Road &r) { return r.name == name; });
    return road != ROADS.end() ? *road : throw std::runtime_error("no road " + name);
}

std::vector<const Road *> addresses(const std::vector<Road> &roads)
{
    std::vector<const Road *> all(roads.size());
    std::transform(roads.begin(), roads.end(), all.begin(), [](const Road &road) { return &road; });
    return all;
}

std::string prepare(Box box, const Scratch &scratch)
{
    Eeprom factory;
    factory_content(&factory);
    uint8_t image[IMAGE_SIZE];
    encode_image(&factory, image);
    image[70] ^= box == CORRUPT_BOX ? 0x04 : 0;  // its checksum no longer matches
    write_file(scratch.image(),
               box == BLANK_BOX ? std::string(IMAGE_SIZE, '\xff') : std::string((char *)image, IMAGE_SIZE));
    check(box != READ_ONLY_BOX || chmod(scratch.image().c_str(), 0444) == 0, "chmod " + scratch.image());
    if (box == UPDATED_BOX || box == CUT_BOX)
        EXPECT_EQ(
            run_program({CHG_TEST_PROGRAM},
                        {{"FTEMU_IMAGE", scratch.image()}, {"FTEMU_FAIL", box == CUT_BOX ? "FT_EE_Program=4" : ""}},
                        scratch)
                .status,
            0);
    return read_file(scratch.image());
}

// A run's output with the bytes of the string pointers of its dump masked: PP, and p in the
// characters. Dump lines are 138 characters: the offset (10), 32 fields of 3, 32 characters.
static std::string mask_pointers(std::string out, unsigned pointer_size)
{
    size_t dump = out.find("0x000000: "), line = out.find('\n', dump) - dump + 1;  // with its line end
    for (size_t byte = 16; dump != std::string::npos && byte < 16 + 4 * pointer_size; byte++) {
        size_t at = dump + byte / 32 * line;
        if (at + 138 <= out.size() && out[at + 10 + 3 * (byte % 32)] != ' ') {
            out.replace(at + 10 + 3 * (byte % 32), 2, "PP");
            out[at + 106 + byte % 32] = 'p';
        }
    }
    return out;
}

// The dump of a record given in hexadecimal but for its header and pointers.
static std::string dump_of(const std::string &record, unsigned pointer_size)
{
    if (record.empty())
        return "";
    std::string hex = "00 00 00 00 ff ff ff ff 02 00 00 00 " + record, bytes;
    for (size_t at = 0; at < hex.size(); at += 3)
        bytes += (char)strtoul(hex.substr(at, 2).c_str(), nullptr, 16);
    bytes.insert(16, 4 * pointer_size, '\0');  // the string pointers
    testing::internal::CaptureStdout();
    hexdump(bytes.data(), (uint32_t)bytes.size());
    fflush(stdout);
    return mask_pointers(testing::internal::GetCapturedStdout(), pointer_size);
}

std::string crlf(const std::string &text)
{
    std::string out;
    for (char c : text)
        out += c == '\n' ? "\r\n" : std::string(1, c);
    return out;
}

std::string utf8(const std::string &text)
{
    std::string out;
    for (unsigned char c : text)
        out += c < 0x80 ? std::string(1, (char)c) : std::string{(char)0xc3, (char)(c - 0x40)};
    return out;
}

std::string windows_trace(std::string trace)
{
    for (size_t at; (at = trace.find(UNFLUSHED)) != std::string::npos;)
        trace.erase(at, UNFLUSHED.size());
    return crlf(trace);
}

void expect_road(const Road &road, const Outcome &run, const std::string &before, const Scratch &scratch, bool windows)
{
    unsigned pointer_size = windows ? 4 : sizeof(void *);
    auto text = [windows](const std::string &lines) { return windows ? crlf(lines) : lines; };
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(mask_pointers(run.out, pointer_size), text(START + road.out + dump_of(road.dump, pointer_size)));
    EXPECT_EQ(run.trace, windows ? windows_trace(road.trace) : road.trace);
    std::string err = run.err;
    for (size_t at; (at = err.find(scratch.dir)) != std::string::npos;)
        err.replace(at, scratch.dir.size(), "{dir}");
    EXPECT_EQ(err, text(road.err));
    if (road.box == CORRUPT_BOX || road.box == READ_ONLY_BOX)
        EXPECT_EQ(read_file(scratch.image()), before) << "a spoilt image is never rewritten";
}
