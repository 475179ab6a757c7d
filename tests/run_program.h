// Runs a built program as a process on the emulated box and collects what it
// printed, its exit status and the trace of its library calls and pauses. A
// failed system call throws, failing the test.
#ifndef RUN_PROGRAM_H
#define RUN_PROGRAM_H

#include <string>
#include <utility>
#include <vector>

using Args = std::vector<std::string>;
using Env = std::vector<std::pair<std::string, std::string>>;

struct Outcome {
    std::string out, err;  // standard output and error, byte for byte
    int status;            // exit status, or -1 when the process did not exit
    std::string trace;     // the library calls and the pauses, one a line
};

// A folder of its own for one test, removed with it; holds the EEPROM image.
struct Scratch {
    Scratch();
    ~Scratch();
    std::string dir;
    std::string image() const { return dir + "/box.eeprom"; }
};

// Runs command with no input, without the FTEMU_ and CHG4917_ variables of
// this process but with env (a later setting of a name wins), and the trace
// going to a file in scratch, whose path drive precedes ("Z:" under wine).
Outcome run_program(const Args &command, const Env &env, const Scratch &scratch, const std::string &drive = "");
// The test build of the program, on the image of scratch unless env names one.
Outcome run_chg(const Args &args, const Env &env, const Scratch &scratch);
std::string read_file(const std::string &path);  // "" when there is no file
void write_file(const std::string &path, const std::string &bytes);

#endif
