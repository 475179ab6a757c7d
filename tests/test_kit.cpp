// The kit's own verdict code, compiled for Linux: how long a run must pause, and how a run in a
// console of its own is judged from the tester's answers; and the tester's page, which must quote
// the program's messages as the program prints them.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "../recette/recette.h"

// A run that prints the road's text exactly, lasts `seconds` and was quiet for the last `quiet`.
static Run run_of(const Road &road, double seconds, double quiet)
{
    return {true, false, 0, seconds, quiet, crlf(START + road.out)};
}

struct Paused {
    const char *road;
    double seconds, quiet;  // a part of the road's pause
    Verdict verdict;
};

// The 5-second pause follows the output, so the quiet end counts; on a 7-second road the output
// leaves at the end, so the whole run does. Nine tenths of the pause is enough.
TEST(KitVerdict, PauseNineTenthsOfTheRoads)
{
    const Paused cases[] = {
        {"read_no_device", 1.0, 0.95, CONFORME},  {"read_no_device", 1.0, 0.85, DIFFERENT},
        {"read_no_device", 1.2, 0.10, DIFFERENT}, {"probe_absent", 0.95, 0.0, CONFORME},
        {"probe_absent", 0.85, 0.0, DIFFERENT},
    };
    for (const Paused &c : cases) {
        Road road = road_named(c.road);  // a copy: gcc 14 would warn of a dangling reference
        double pause = road.trace.find(PAUSE7) != std::string::npos ? 7 : 5;
        Judged judged = judge(run_of(road, c.seconds * pause, c.quiet * pause), road, false);
        EXPECT_EQ(judged.verdict, c.verdict) << c.road << " " << c.seconds << " " << c.quiet << ": " << judged.why;
    }
}

struct ByEye {
    unsigned long status;
    bool killed;
    int accents, closed;  // 1 yes, 0 no, -1 no answer
    Verdict verdict;
};

// A run that did not end well is an échec whatever the tester says; a no is différent whatever the
// other answer; a missing answer leaves the step untested.
TEST(KitVerdict, OwnConsoleByTheRunThenTheAnswers)
{
    const ByEye cases[] = {
        {0, false, 1, 1, CONFORME},   {0xc0000005, false, 1, 1, ECHEC}, {0, true, 1, 1, ECHEC},
        {0, false, 1, -1, NON_TESTE}, {0, false, -1, 1, NON_TESTE},     {0, false, 0, -1, DIFFERENT},
        {0, false, -1, 0, DIFFERENT},
    };
    for (const ByEye &c : cases) {
        ::Run run = {true, c.killed, c.status, 1.0, 1.0, ""};
        EXPECT_EQ(judge_by_eye(run, c.accents, c.closed).verdict, c.verdict)
            << c.status << " " << c.killed << " " << c.accents << " " << c.closed;
    }
}

struct TwoRuns {
    const char *earlier;            // step 6's road, which its run takes
    bool hands;                     // before step 7
    const char *later, *later_ran;  // step 7's road, and the road its run took on the box
    const char *command, *was;      // step 6's échec: its command, and the box as it found it; none where ""
};

// The next run on the box, with no hands before it, must find the box as a READ or the unknown
// argument found it; after an erase or a write, a box found otherwise is judged as the road says.
TEST(KitFollow, ARunThatKeepsTheBoxLeavesItAsItFoundIt)
{
    const TwoRuns cases[] = {
        {"read_blank_box", false, "auto_blank_box", "auto_programmed_box", "READ", "vierge"},
        {"read_after_update", false, "erase_updated_box", "erase_blank_box", "READ", "programmé"},
        {"unknown_argument", false, "read_after_update", "read_blank_box", "Read", "programmé"},
        {"unknown_argument", true, "read_no_device", "read_blank_box", "", ""},
        {"read_blank_box", false, "auto_blank_box", "auto_blank_box", "", ""},
        {"read_after_update", false, "erase_updated_box", "read_two_devices", "", ""},
        {"erase_updated_box", false, "erase_blank_box", "erase_blank_box", "", ""},
        {"erase_blank_box", false, "read_blank_box", "read_after_update", "", ""},
        {"auto_blank_box", false, "read_after_update", "read_after_update", "", ""},
    };
    for (const TwoRuns &c : cases) {
        Followed box = {0, "", NOT_REACHED};
        Road earlier = road_named(c.earlier), later = road_named(c.later);
        ASSERT_EQ(follow_the_box(&box, 6, false, earlier, run_of(earlier, 5, 5)), "");
        std::string was = c.was, then = was == "vierge" ? "programmé" : "vierge";
        std::string changed = "à l'étape 6, chg_4917.exe " + std::string(c.command) +
                              " a modifié le coffret : il était " + was + " au début de l'étape 6 et " + then +
                              " au début de l'étape 7";
        EXPECT_EQ(follow_the_box(&box, 7, c.hands, later, run_of(road_named(c.later_ran), 5, 5)),
                  *c.command ? changed : "")
            << c.earlier << " " << c.hands << " " << c.later_ran;
    }
}

// Windows-1252 to UTF-8, for the letters the program prints: from 0xa0 on they are Latin-1's.
static std::string utf8_of(const std::string &bytes)
{
    std::string out;
    for (unsigned char c : bytes)
        out += c < 0x80 ? std::string(1, (char)c) : std::string{(char)(0xc0 | c >> 6), (char)(0x80 | (c & 0x3f))};
    return out;
}

// Step 14 asks the tester to read the program's window: RECETTE.txt quotes each line it shows, whole.
TEST(KitPage, QuotesTheProgramsWindowAsItPrintsIt)
{
    std::ifstream file(RECETTE_TXT, std::ios::binary);
    std::stringstream page;
    page << file.rdbuf();
    std::string text = "\n";
    for (char c : page.str())
        text += c == '\r' ? "" : std::string(1, c);
    ASSERT_NE(text, "\n") << RECETTE_TXT;
    for (const std::string &line : lines_of(utf8_of(START + SEVERAL_BOXES)))
        EXPECT_TRUE(line == "\n" || text.find("\n" + line) != std::string::npos) << line;
}
