// The fault matrix, as more roads for the road test: on six roads, each call
// at each point it is made returns, in turn, every status from 0 to 18 and
// 0xffffffff, and the run must take the road of the table that the status
// leads to, with that status in its trace. An injected 0 is no fault.
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "roads.h"

namespace {

// The n-th call of a function, the road a failure there leads to, and the
// statuses that lead elsewhere.
struct Point {
    const char *call;
    unsigned nth;
    const char *on_failure;
    std::map<unsigned, const char *> on_status;
};
using Base = std::pair<const char *, std::vector<Point>>;  // the road taken when nothing fails, its points

// The points every road shares up to the probe, the road's own, and the close.
Base base(const char *road, const char *probe_other, const char *probe_blank, std::vector<Point> own)
{
    own.insert(own.begin(), {{"FT_ListDevices", 1, "list_fails", {{4, road}}},
                             {"FT_ListDevices", 2, "full_list_fails", {{4, road}}},
                             {"FT_Open", 1, "open_fails", {}},
                             {"FT_EE_Read", 1, probe_other, {{11, "probe_unreadable"}, {14, "probe_absent"}, {15, probe_blank}}}});
    own.push_back({"FT_Close", 1, road, {}});
    return {road, own};
}

const std::vector<Base> BASES = {
    base("auto_programmed_box", "probe_other_status", "auto_blank_box",
         {{"FT_EE_Read", 2, "auto_blank_test_fails", {{15, "auto_blank_test_reads_blank"}}},
          {"FT_EraseEE", 1, "auto_erase_fails", {{15, "auto_erase_fails_blank"}}},
          {"FT_EE_Program", 1, "auto_program_fails", {}},
          {"FT_EE_Read", 3, "auto_readback_fails", {}}}),
    base("auto_blank_box", "probe_other_status", "auto_blank_box",
         {{"FT_EE_Program", 1, "auto_blank_program_fails", {}}, {"FT_EE_Read", 2, "auto_blank_readback_fails", {}}}),
    base("read", "read", "read_probe_reads_blank", {{"FT_EE_Read", 2, "read_fails", {}}}),
    base("erase", "erase_probe_other_status", "erase_probe_reads_blank",
         {{"FT_EraseEE", 1, "erase_fails", {}}, {"FT_EE_Read", 2, "erase", {}}}),
    base("write", "write_probe_other_status", "write_blank_box",
         {{"FT_EraseEE", 1, "write_erase_fails", {}}, {"FT_EE_Program", 1, "write_program_fails", {}},
          {"FT_EE_Read", 2, "write_readback_fails", {}}}),
    base("unknown_argument", "unknown_argument", "unknown_argument_blank_box", {}),
};

// The trace with the status of the n-th call of a function put in.
std::string with_status(std::string trace, const std::string &call, unsigned nth, unsigned status)
{
    size_t at = 0;
    for (unsigned seen = 0; (at = trace.find(call + " ", at)) != std::string::npos; at++)
        if ((at == 0 || trace[at - 1] == '\n') && ++seen == nth) {
            size_t from = trace.find(" -> ", at) + 4;
            return trace.replace(from, trace.find('\n', at) - from, std::to_string(status));
        }
    throw std::logic_error("the road makes no call " + std::to_string(nth) + " of " + call + ":\n" + trace);
}

std::vector<Road> matrix()
{
    std::vector<Road> cases;
    for (const Base &base : BASES)
        for (const Point &point : base.second)
            for (unsigned s : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 10u, 11u, 12u, 13u, 14u, 15u, 16u, 17u, 18u, 0xffffffffu}) {
                const Road &normal = road_named(base.first);
                auto found = point.on_status.find(s);
                Road fault = s == 0 ? normal : road_named(found != point.on_status.end() ? found->second : point.on_failure);
                std::string call = point.call, nth = std::to_string(point.nth), status = std::to_string(s);
                fault.name = base.first + ("_" + call) + "_" + nth + "_status_" + status;
                fault.args = normal.args;
                fault.box = normal.box;
                fault.env = {{"FTEMU_FAIL", call + ":" + nth + "=" + status}};
                fault.trace = s ? with_status(fault.trace, call, point.nth, s) : fault.trace;
                cases.push_back(fault);
            }
    return cases;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(AllStatuses, RoadTest, testing::ValuesIn(matrix()),
                         [](const testing::TestParamInfo<Road> &info) { return info.param.name; });
