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
