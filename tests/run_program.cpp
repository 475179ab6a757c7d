#include "roads.h"

#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
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

Outcome run_program(const Args &command, const Env &env, const Scratch &scratch, const std::string &drive)
{
    std::string out = scratch.dir + "/stdout", err = scratch.dir + "/stderr", trace = scratch.dir + "/trace";
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
    std::vector<char *> argv, envp;
    for (auto &word : words)
        argv.push_back(&word[0]);
    for (auto &var : environment)
        envp.push_back(&var[0]);
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    errno = posix_spawn_file_actions_init(&actions);
    check(errno == 0, "posix_spawn_file_actions_init");
    const char *paths[] = {"/dev/null", out.c_str(), err.c_str()};
    for (int fd = 0; fd < 3 && errno == 0; fd++)
        errno = posix_spawn_file_actions_addopen(&actions, fd, paths[fd], fd ? O_WRONLY | O_CREAT | O_TRUNC : O_RDONLY, 0644);
    pid_t pid = 0;
    if (errno == 0)
        errno = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    check(errno == 0, "cannot start " + command[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        check(errno == EINTR, "waitpid");
    return {read_file(out), read_file(err), WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(trace)};
}
