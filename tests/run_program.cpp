#include "run_program.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

extern char **environ;

Scratch::Scratch()
{
    char pattern[] = "/tmp/chg4917-test-XXXXXX";
    dir = mkdtemp(pattern);
}

Scratch::~Scratch()
{
    std::string command = "rm -rf '" + dir + "'";
    if (system(command.c_str()) != 0) {
    }
}

std::string read_file(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

static bool ours(const char *variable)
{
    return strncmp(variable, "FTEMU_", 6) == 0 || strncmp(variable, "CHG4917_", 8) == 0;
}

Outcome run_program(const std::vector<std::string> &command, const std::vector<std::string> &args,
                    const Env &env, const Scratch &scratch, const std::string &drive)
{
    std::string out_path = scratch.dir + "/stdout", err_path = scratch.dir + "/stderr",
                trace_path = scratch.dir + "/trace";
    unlink(trace_path.c_str());

    std::vector<std::string> environment;
    for (char **v = environ; *v; v++)
        if (!ours(*v))
            environment.push_back(*v);
    environment.push_back("FTEMU_TRACE=" + drive + trace_path);
    environment.push_back("CHG4917_PAUSE_LOG=" + drive + trace_path);
    for (const auto &setting : env)
        environment.push_back(setting.first + "=" + setting.second);

    std::vector<std::string> words = command;
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char *> argv, envp;
    for (auto &w : words)
        argv.push_back(&w[0]);
    argv.push_back(nullptr);
    for (auto &e : environment)
        envp.push_back(&e[0]);
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid;
    Outcome run;
    int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        run.err = std::string("cannot start ") + argv[0] + ": " + strerror(spawned);
        return run;
    }
    int wstatus = 0;
    while (waitpid(pid, &wstatus, 0) < 0) {
    }
    run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    run.out = read_file(out_path);
    run.err = read_file(err_path);
    run.trace = read_file(trace_path);
    return run;
}

Outcome run_chg(const std::vector<std::string> &args, const Env &env, const Scratch &scratch)
{
    Env with_image = env;
    bool image_named = false;
    for (const auto &setting : env)
        image_named |= setting.first == "FTEMU_IMAGE";
    if (!image_named)
        with_image.push_back({"FTEMU_IMAGE", scratch.image()});
    return run_program({CHG_TEST_PROGRAM}, args, with_image, scratch);
}

// A dump line: "0x" and six hexadecimal digits, ": ", 32 fields of three
// characters, then 32 characters.
static bool is_dump_line(const std::string &line)
{
    if (line.size() != 138 || line.compare(0, 2, "0x") != 0 || line.compare(8, 2, ": ") != 0)
        return false;
    return line.find_first_not_of("0123456789abcdef", 2) == 8;
}

std::string mask_pointers(const std::string &out, unsigned pointer_size)
{
    const unsigned first = 16, end = first + 4 * pointer_size;
    std::string masked;
    size_t at = 0;
    while (at < out.size()) {
        size_t eol = out.find('\n', at);
        size_t stop = eol == std::string::npos ? out.size() : eol;
        std::string line = out.substr(at, stop - at);
        std::string cr;
        if (!line.empty() && line.back() == '\r') {
            cr = "\r";
            line.pop_back();
        }
        if (is_dump_line(line)) {
            unsigned offset = (unsigned)strtoul(line.substr(2, 6).c_str(), nullptr, 16);
            for (unsigned i = 0; i < 32; i++) {
                unsigned byte = offset + i;
                if (byte >= first && byte < end && line[10 + 3 * i] != ' ') {
                    line.replace(10 + 3 * i, 2, "PP");
                    line[106 + i] = 'p';
                }
            }
        }
        masked += line + cr;
        if (eol == std::string::npos)
            break;
        masked += '\n';
        at = eol + 1;
    }
    return masked;
}

std::string crlf(const std::string &text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}
