#include "run_program.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char **environ;

static void check(bool ok, const std::string &what)
{
    if (!ok)
        throw std::runtime_error(what + ": " + strerror(errno));
}

Scratch::Scratch()
{
    char pattern[] = "/tmp/chg4917-test-XXXXXX";
    check(mkdtemp(pattern) != nullptr, "mkdtemp");
    dir = pattern;
}

Scratch::~Scratch()
{
    std::error_code error;
    if (std::filesystem::remove_all(dir, error) == static_cast<std::uintmax_t>(-1))
        fprintf(stderr, "cannot remove %s: %s\n", dir.c_str(), error.message().c_str());
}

std::string read_file(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void write_file(const std::string &path, const std::string &bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    check(file.write(bytes.data(), (std::streamsize)bytes.size()).flush().good(), "cannot write " + path);
}

static std::string shell_word(const std::string &word)
{
    std::string q = "'";
    for (char c : word)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

Outcome run_program(const Args &command, const Env &env, const Scratch &scratch, const std::string &drive)
{
    std::string out = scratch.dir + "/stdout", err = scratch.dir + "/stderr", trace = scratch.dir + "/trace";
    check(unlink(trace.c_str()) == 0 || errno == ENOENT, "unlink " + trace);
    std::string line = "exec env";
    for (char **v = environ; *v; v++)
        if (strncmp(*v, "FTEMU_", 6) == 0 || strncmp(*v, "CHG4917_", 8) == 0)
            line += " -u " + shell_word(std::string(*v, strchr(*v, '=')));
    line += " FTEMU_TRACE=" + shell_word(drive + trace) + " CHG4917_PAUSE_LOG=" + shell_word(drive + trace);
    for (const auto &setting : env)
        line += " " + shell_word(setting.first + "=" + setting.second);
    for (const auto &word : command)
        line += " " + shell_word(word);
    int status = system((line + " </dev/null >" + shell_word(out) + " 2>" + shell_word(err)).c_str());
    check(status != -1, "cannot run " + command[0]);
    return {read_file(out), read_file(err), WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(trace)};
}

Outcome run_chg(const Args &args, const Env &env, const Scratch &scratch)
{
    Args command = {CHG_TEST_PROGRAM};
    command.insert(command.end(), args.begin(), args.end());
    Env settings = {{"FTEMU_IMAGE", scratch.image()}};
    settings.insert(settings.end(), env.begin(), env.end());
    return run_program(command, settings, scratch);
}
