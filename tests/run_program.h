// Runs a built program as a process on the emulated box and collects what
// it printed, its exit status and the trace of its library calls and pauses.
#ifndef RUN_PROGRAM_H
#define RUN_PROGRAM_H

#include <string>
#include <utility>
#include <vector>

using Env = std::vector<std::pair<std::string, std::string>>;

struct Outcome {
    std::string out;    // standard output, byte for byte
    std::string err;    // standard error
    int status = -1;    // exit status, or -1 when the process did not exit
    std::string trace;  // the library calls and the pauses, one a line
};

// A folder of its own for one test, removed with it; holds the EEPROM image.
struct Scratch {
    Scratch();
    ~Scratch();
    std::string dir;
    std::string image() const { return dir + "/box.eeprom"; }
};

// Runs command (program first) with args appended, in an environment cleared
// of every FTEMU_ and CHG4917_ variable but those of env, and with the trace
// going to a file in scratch. drive is put before the paths handed to the
// program ("Z:" for a Windows program under wine).
Outcome run_program(const std::vector<std::string> &command, const std::vector<std::string> &args,
                    const Env &env, const Scratch &scratch, const std::string &drive = "");

// The test build of the program, with the emulator and the image of scratch.
Outcome run_chg(const std::vector<std::string> &args, const Env &env, const Scratch &scratch);

// Replaces, in the lines of a hex dump of the record, the bytes of its four
// string pointers (addresses that change from run to run) by PP in the
// hexadecimal fields and p in the character column.
std::string mask_pointers(const std::string &out, unsigned pointer_size);

// Windows text mode: every line end becomes CR LF.
std::string crlf(const std::string &text);

std::string read_file(const std::string &path);

#endif
