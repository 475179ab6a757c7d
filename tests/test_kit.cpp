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
