// The acceptance kit, recette.exe: runs the chg_4917.exe beside it, step by step, on the one real
// box plugged in, with the vendor's FTD2XX.dll; compares each run with the road that the tests
// predict for the box's state; writes a report. All text in the kit is UTF-8.
#ifndef RECETTE_H
#define RECETTE_H

#include <string>
#include <vector>

#include "../roads/road_table.h"

// Text: the console gets characters, a file or a pipe UTF-8 bytes.
std::string utf8(const std::wstring &text);
std::wstring wide(const std::string &text);
std::string from_windows_1252(const std::string &bytes);
std::string crlf(const std::string &text);
std::vector<std::string> lines_of(const std::string &text);  // each with its line end
std::string shown(const std::string &line);                  // the program's line, converted, without its end
std::string seconds_text(double seconds);                    // "2,5 s"
void say(const std::string &text);
// Prints the prompt as a line of its own, starting with "> ", and reads one line of standard input
// without its line end and outer spaces; false at the end of standard input.
bool ask(const std::string &prompt, std::string *answer);
void keep_window_open(void);

// Files, read without running them, and the PC.
std::wstring own_path(void);  // recette.exe's
std::wstring own_folder(void);
// The FTD2XX.dll that Windows loads for a program of folder, as that program sees it (for a 32-bit
// program, SysWOW64 in place of the system folder), or "" where there is none.
std::wstring library_for(const std::wstring &folder);
std::string file_version(const std::wstring &path);  // "1.2.3.4, description, company", or ""
int program_bits(const std::wstring &path);          // 32 or 64; 0 when not a Windows program file
std::string sha256_of(const std::wstring &path);     // 64 hexadecimal digits, or "" where unreadable
std::string windows_version(void);
std::string without_user(const std::wstring &path);  // the user's profile folder as %USERPROFILE%

// One run of chg_4917.exe: its output (standard output and error) byte for byte, its exit status
// and its duration. A run longer than RUN_LIMIT seconds is killed. In a console of its own, as a
// double-click opens it, the output goes to that console and is not captured. A crash ends the run
// at once, with its code: the kit's error mode, which the program inherits, shows no dialog.
#define RUN_LIMIT 30
// How long a second of the program's pause lasts: the kit's test build runs the program's test
// build, whose pause is shorter.
#ifndef PAUSE_SECOND
#define PAUSE_SECOND 1.0
#endif
struct Run {
    bool started, killed;
    unsigned long status;
    double seconds;
    double quiet_seconds;  // from the last output to the end: the closing pause, when output was flushed before it
    std::string out;
};
Run run_program(const std::wstring &exe, const Args &args, bool own_console);

enum Verdict { CONFORME, DIFFERENT, ECHEC, NON_TESTE };
struct Difference {
    size_t line;                // from 1: the text's lines, then the dump's
    std::string expected, got;  // Windows-1252 bytes, line ends included; "" where there is none
    bool in_dump;               // its bytes are the record's, given one by one
};
struct ByteDifference {
    size_t at;          // in the record
    int expected, got;  // -1 where the dump has no such byte
};
struct Judged {
    Verdict verdict;
    std::string why;  // for an échec, a pause too short, or an answer missing
    std::vector<Difference> differences;
    std::vector<ByteDifference> bytes;  // compared bytes of the record that differ
};
const char *verdict_name(Verdict verdict);
// Compares a run with the road's transcript and record, and its length with the road's pause. As
// found, the box's own identity, ids and settings are left out; the string pointers and the
// extension fields always are. échec: the box does not end as the road says; différent: it does,
// and the text or the pause differs.
Judged judge(const Run &run, const Road &road, bool as_found);
// Where the road changes nothing on the box: a READ, the unknown argument, no box, two devices.
bool keeps_the_box(const Road &road);
std::string command_of(const Road &road);  // "chg_4917.exe READ"
// A run in a console of its own, judged by the tester: 1 yes, 0 no, -1 no answer. A no is différent
// whatever the other answer.
Judged judge_by_eye(const Run &run, int accents_right, int closed_after_5_s);

// The box followed from run to run. Each run that reached the box tells by its probe whether the
// box was blank when it began. Where a run on the box follows, with no hands step between them, one
// whose road keeps the box, it must find the box as that one did; otherwise that one changed it.
enum Found { NOT_REACHED, FOUND_BLANK, FOUND_PROGRAMMED };
Found found_by_probe(const std::string &out);
struct Followed {
    size_t step;  // the last run on the box whose road keeps it; 0 where there is none to compare with
    std::string command;
    Found found;
};
// Called for each step run, in order: where this run found the box changed, the reason of the échec
// of the run that changed it, box->step before the call; otherwise "".
std::string follow_the_box(Followed *box, size_t step, bool after_hands, const Road &road, const Run &run);

// The report, made as the kit goes and written at its end beside recette.exe.
// The facts of the report's top, which the kit also shows at its start.
std::string facts_of(const std::wstring &kit, const std::wstring &exe, const std::wstring &dll);
void report_begin(const std::string &facts);
void report_step(size_t number, const char *title, const Road &road, bool own_console, const Run &run,
                 const Judged &judged);
// The verdict of a step already reported, judged again.
void report_verdict(size_t number, const Judged &judged);
void report_not_run(size_t number, const char *title, const std::string &why);
void report_stopped(const std::string &why);
// Adds the tester's answers and the table of verdicts, and writes the file: its path, or "" where it
// could not be written whole.
std::wstring write_report(const std::wstring &folder, const std::string &answers, const std::string &table);

#endif
