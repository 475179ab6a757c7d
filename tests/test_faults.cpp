// The fault matrix: on each road, each library call at each point it is
// made returns, in turn, every status from 0 to 18 and 0xffffffff. Every run
// must exit 0, take the pause its status leads to, print exactly the text of
// that road, and leave the box blank only where the road erased it for good.
#include <gtest/gtest.h>

#include <map>
#include <ostream>

#include "../src/FTD2XX.h"
#include "roads.h"

namespace {

struct Expect {
    std::string out;
    Dump dump;
    unsigned pause;
    bool leaves_blank;
};

// A point of a road: the n-th call of one library function, what the road
// does when it fails, and the statuses that lead elsewhere.
struct Point {
    const char *call;
    unsigned nth;
    Expect on_failure;
    std::map<unsigned, Expect> on_status;
};

struct Base {
    const char *name;
    std::vector<Args> before;
    Args args;
    Expect normal;
    std::vector<Point> points;
};

const Expect NO_BOX_ROAD = {START + NO_BOX, NO_DUMP, 5, false};
const Expect OPEN_FAILS = {START, NO_DUMP, 5, false};
const Expect PROBE_UNREADABLE = {START + UNREADABLE, NO_DUMP, 7, false};
const Expect PROBE_ABSENT = {START + ABSENT, NO_DUMP, 7, false};

Expect on_box(Expect e, bool blank_box)
{
    e.leaves_blank = blank_box;
    return e;
}

// The points every road shares up to the probe; `normal` is where a status
// that lets the run go on leads, `probe_other` where a probe status other
// than 11, 14 and 15 leads, `probe_blank` where 15 leads. The roads that end
// before any change leave the box as it was, blank or not.
std::vector<Point> start_points(const Expect &normal, const Expect &probe_blank, const Expect &probe_other,
                                bool blank_box = false)
{
    return {
        {"FT_ListDevices", 1, on_box(NO_BOX_ROAD, blank_box), {{FT_IO_ERROR, normal}}},
        {"FT_ListDevices", 2, on_box(NO_BOX_ROAD, blank_box), {{FT_IO_ERROR, normal}}},
        {"FT_Open", 1, on_box(OPEN_FAILS, blank_box), {}},
        {"FT_EE_Read", 1, probe_other,
         {{FT_EEPROM_READ_FAILED, on_box(PROBE_UNREADABLE, blank_box)},
          {FT_EEPROM_NOT_PRESENT, on_box(PROBE_ABSENT, blank_box)},
          {FT_EEPROM_NOT_PROGRAMMED, probe_blank}}},
    };
}

std::vector<Point> with(std::vector<Point> points, const std::vector<Point> &more)
{
    points.insert(points.end(), more.begin(), more.end());
    return points;
}

const std::string WRITTEN = IDENTITY + UPDATED + MEMORY_IDENTITY;

std::vector<Base> bases()
{
    Expect auto_normal = {START + ERASED + WRITE_VID + WRITTEN, WRITTEN_OVER_FACTORY, 5, false};
    Expect auto_blank_normal = {START + BLANK + WRITE_VID + WRITTEN, WRITTEN_OVER_BLANK, 5, false};
    Expect read_normal = {START + READING + MEMORY_FACTORY, FACTORY, 5, false};
    Expect erase_normal = {START + ERASING + ERASED, FACTORY_IDS_ZEROED, 5, true};
    Expect write_normal = {START + WRITE_VID + ERASED + WRITTEN, WRITTEN_OVER_FACTORY, 5, false};
    Expect usage_normal = {START + USAGE, NO_DUMP, 5, false};
    Expect probe_only_vid = {START + WRITE_VID, NO_DUMP, 5, false};
    return {
        {"auto", {}, AUTO, auto_normal,
         with(start_points(auto_normal, auto_blank_normal, probe_only_vid),
              {{"FT_EE_Read", 2, auto_normal,
                {{FT_EEPROM_NOT_PROGRAMMED, {START + WRITE_VID + WRITTEN, WRITTEN_OVER_FACTORY, 5, false}}}},
               {"FT_EraseEE", 1, {START + ERASE_FAILED + WRITE_VID, NO_DUMP, 5, false},
                {{FT_EEPROM_NOT_PROGRAMMED,
                  {START + ERASE_FAILED + WRITE_VID + WRITTEN, WRITTEN_OVER_FACTORY, 5, false}}}},
               {"FT_EE_Program", 1,
                {START + ERASED + WRITE_VID + IDENTITY, PROGRAM_FAILED_AFTER_ERASE, 5, true}, {}},
               {"FT_EE_Read", 3,
                {START + ERASED + WRITE_VID + IDENTITY + UPDATED, PROGRAM_FAILED_AFTER_ERASE, 5, false}, {}},
               {"FT_Close", 1, auto_normal, {}}})},
        {"auto_blank_box", {ERASE_BOX}, AUTO, auto_blank_normal,
         with(start_points(auto_blank_normal, auto_blank_normal, on_box(probe_only_vid, true), true),
              {{"FT_EE_Program", 1, {START + BLANK + WRITE_VID + IDENTITY, NEVER_FILLED, 5, true}, {}},
               {"FT_EE_Read", 2, {START + BLANK + WRITE_VID + IDENTITY + UPDATED,
                                  NEVER_FILLED, 5, false}, {}},
               {"FT_Close", 1, auto_blank_normal, {}}})},
        {"read", {}, {"READ"}, read_normal,
         with(start_points(read_normal, {START + BLANK + READING + MEMORY_FACTORY, FACTORY, 5, false}, read_normal),
              {{"FT_EE_Read", 2, {START + READING, FACTORY_IDS_ZEROED, 5, false}, {}},
               {"FT_Close", 1, read_normal, {}}})},
        {"erase", {}, {"ERASE"}, erase_normal,
         with(start_points(erase_normal, {START + BLANK + ERASING + ERASED, NEVER_FILLED, 5, true},
                           {START + ERASING + ERASED, NEVER_FILLED, 5, true}),
              {{"FT_EraseEE", 1, {START + ERASING + ERASE_FAILED + MEMORY_FACTORY, FACTORY, 5, false}, {}},
               {"FT_EE_Read", 2, erase_normal, {}},
               {"FT_Close", 1, erase_normal, {}}})},
        {"write", {}, {"WRITE"}, write_normal,
         with(start_points(write_normal, {START + BLANK + WRITE_VID + ERASED + WRITTEN, WRITTEN_OVER_BLANK, 5, false},
                           {START + WRITE_VID + ERASED + WRITTEN, WRITTEN_OVER_BLANK, 5, false}),
              {{"FT_EraseEE", 1, {START + WRITE_VID + ERASE_FAILED + WRITTEN, WRITTEN_OVER_FACTORY, 5, false}, {}},
               {"FT_EE_Program", 1,
                {START + WRITE_VID + ERASED + IDENTITY, PROGRAM_FAILED_AFTER_ERASE, 5, true}, {}},
               {"FT_EE_Read", 2,
                {START + WRITE_VID + ERASED + IDENTITY + UPDATED, PROGRAM_FAILED_AFTER_ERASE, 5, false}, {}},
               {"FT_Close", 1, write_normal, {}}})},
        {"unknown_argument", {}, {"Read"}, usage_normal,
         with(start_points(usage_normal, {START + BLANK + USAGE, NO_DUMP, 5, false}, usage_normal),
              {{"FT_Close", 1, usage_normal, {}}})},
    };
}

struct Case {
    std::string name;
    const Base *base;
    const Point *point;
    unsigned status;
};

void PrintTo(const Case &c, std::ostream *os)
{
    *os << c.name;
}

const std::vector<Base> BASES = bases();

std::vector<Case> cases()
{
    std::vector<unsigned> statuses;
    for (unsigned s = 0; s <= 18; s++)
        statuses.push_back(s);
    statuses.push_back(0xffffffff);
    std::vector<Case> all;
    for (const Base &base : BASES)
        for (const Point &point : base.points)
            for (unsigned status : statuses)
                all.push_back({std::string(base.name) + "_" + point.call + "_" + std::to_string(point.nth) +
                                   "_status_" + std::to_string(status),
                               &base, &point, status});
    return all;
}

const Expect &expected(const Case &c)
{
    if (c.status == FT_OK)
        return c.base->normal;  // an injected 0 is no fault
    auto found = c.point->on_status.find(c.status);
    return found != c.point->on_status.end() ? found->second : c.point->on_failure;
}

// The trace line of the n-th call of a function.
std::string nth_call(const std::string &trace, const std::string &call, unsigned nth)
{
    size_t at = 0;
    for (unsigned seen = 0; (at = trace.find(call + " ", at)) != std::string::npos; at++)
        if ((at == 0 || trace[at - 1] == '\n') && ++seen == nth)
            return trace.substr(at, trace.find('\n', at) - at);
    return "";
}

}  // namespace

class FaultMatrix : public testing::TestWithParam<Case> {};

TEST_P(FaultMatrix, EveryStatusLeadsToItsRoad)
{
    const Case &c = GetParam();
    const Expect &e = expected(c);
    Scratch scratch;
    for (const Args &args : c.base->before)
        ASSERT_EQ(run_chg(args, {}, scratch).status, 0);
    std::string fault = std::string(c.point->call) + ":" + std::to_string(c.point->nth) + "=" +
                        std::to_string(c.status);

    Outcome run = run_chg(c.base->args, {{"FTEMU_FAIL", fault}}, scratch);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(mask_pointers(run.out, sizeof(void *)), e.out + DUMPS64[e.dump]);
    EXPECT_EQ(run.trace.substr(run.trace.rfind("pause")), "pause " + std::to_string(e.pause) + "\n");
    std::string line = nth_call(run.trace, c.point->call, c.point->nth);
    EXPECT_NE(line, "") << "the faulted call is made";
    if (c.status != FT_OK)
        EXPECT_EQ(line.substr(line.rfind(" -> ") + 4), std::to_string(c.status));
    EXPECT_EQ(read_file(scratch.image()) == std::string(256, '\xff'), e.leaves_blank);
    EXPECT_EQ(run.err, "");
}

INSTANTIATE_TEST_SUITE_P(AllStatuses, FaultMatrix, testing::ValuesIn(cases()),
                         [](const testing::TestParamInfo<Case> &info) { return info.param.name; });

TEST(FaultMatrixSize, CoversEveryPointOfEveryRoad)
{
    size_t points = 0;
    for (const Base &base : BASES)
        points += base.points.size();
    EXPECT_EQ(points, 42u);
    printf("fault matrix: %zu points x 20 statuses = %zu cases\n", points, cases().size());
}
