// The roads of the table and the fault matrix; a terminal; the hex dump on its own.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <sstream>

#include "../src/hexdump.h"
#include "roads.h"

TEST_P(RoadTest, PrintsCallsPausesAndLeavesTheBoxAsExpected)
{
    expect_road(*GetParam(), {CHG_TEST_PROGRAM});
}

INSTANTIATE_TEST_SUITE_P(Roads, RoadTest, testing::ValuesIn(addresses(ROADS)), road_name);

// A terminal gets the accents in its locale's character set, or the Windows-1252 bytes where it has none.
// The real program, run so, waits 5 seconds before it ends, not 7.
TEST(Terminal, ShowsTheAccentsInTheCharacterSetOfItsLocaleAndTheRealPause)
{
    const Road &road = road_named("two_devices");
    for (std::string program : {CHG_REAL_PROGRAM, CHG_TEST_PROGRAM}) {
        bool real = program == CHG_REAL_PROGRAM;
        Scratch scratch;
        Env env = {{"FTEMU_DEVICES", "2"}, {"LC_ALL", real ? "C.UTF-8" : "C"}};
        auto start = std::chrono::steady_clock::now();
        Outcome run =
            run_program({"script", "--quiet", "--return", "--command", shell_word(program), "/dev/null"}, env, scratch);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(run.out, crlf(START + (real ? utf8(road.out) : road.out))) << program;
        EXPECT_EQ(run.trace + (real ? PAUSE5 : ""), road.trace) << program;
        EXPECT_TRUE(!real || (seconds >= 5.0 && seconds < 6.9)) << seconds << " s: the end pause of 5 s, not 7";
    }
}

namespace {

// The fault matrix: each call of six roads returns every status from 0 to 18 and 0xffffffff in turn,
// and the run takes the road of the table that the status leads to, with that status in its trace. A
// point: CALL:N, the road a failure leads to, then STATUS=ROAD where a status leads elsewhere. The
// list, the open, the close and the probe's 11 and 14 are every road's.
const std::pair<std::string, std::string> BASES[] = {
    {"auto_programmed_box", "FT_EE_Read:1 probe_other_status 15=auto_blank_box, FT_EE_Read:2 auto_blank_test_fails "
                            "15=auto_blank_test_reads_blank, FT_EraseEE:1 auto_erase_fails 15=auto_erase_fails_blank, "
                            "FT_EE_Program:1 auto_program_fails, FT_EE_Read:3 auto_readback_fails"},
    {"auto_blank_box", "FT_EE_Read:1 probe_other_status 15=auto_blank_box, FT_EE_Program:1 auto_blank_program_fails, "
                       "FT_EE_Read:2 auto_blank_readback_fails"},
    {"read", "FT_EE_Read:1 read 15=read_probe_reads_blank, FT_EE_Read:2 read_fails"},
    {"erase", "FT_EE_Read:1 erase_probe_other_status 15=erase_probe_reads_blank, FT_EraseEE:1 erase_fails, "
              "FT_EE_Read:2 erase"},
    {"write", "FT_EE_Read:1 write_probe_other_status 15=write_blank_box, FT_EraseEE:1 write_erase_fails, "
              "FT_EE_Program:1 write_program_fails, FT_EE_Read:2 write_readback_fails"},
    {"unknown_argument", "FT_EE_Read:1 unknown_argument 15=unknown_argument_blank_box"},
};

std::string with_status(std::string trace, const std::string &call, int nth, unsigned status)  // of its nth call
{
    size_t at = 0;
    for (int seen = 0; (at = trace.find(call + " ", at)) != std::string::npos; at++)
        if ((at == 0 || trace[at - 1] == '\n') && ++seen == nth) {
            size_t from = trace.find(" -> ", at) + 4;
            return trace.replace(from, trace.find('\n', at) - from, std::to_string(status));
        }
    throw std::logic_error("the road makes no call " + std::to_string(nth) + " of " + call + ":\n" + trace);
}

const std::vector<Road> &matrix()
{
    static std::vector<Road> cases;
    for (const auto &[normal, own] : BASES) {
        std::istringstream points("FT_ListDevices:1 list_fails 4=" + normal + ", FT_ListDevices:2 full_list_fails 4=" +
                                  normal + ", FT_Open:1 open_fails, " + own + ", FT_Close:1 " + normal);
        for (std::string point; std::getline(points >> std::ws, point, ',');) {
            std::istringstream words(point);
            std::string call, on_failure, exception;
            words >> call >> on_failure;
            std::map<unsigned, std::string> on_status;
            if (call == "FT_EE_Read:1")
                on_status = {{11, "probe_unreadable"}, {14, "probe_absent"}};
            while (words >> exception)
                on_status[std::stoul(exception)] = exception.substr(exception.find('=') + 1);
            std::string function = call.substr(0, call.find(':')), nth = call.substr(call.find(':') + 1);
            for (unsigned s = 0; s <= 19; s++) {
                unsigned status = s < 19 ? s : 0xffffffffu;
                auto found = on_status.find(status);
                Road fault = road_named(!status ? normal : found != on_status.end() ? found->second : on_failure);
                fault.name = normal + "_" + function + "_" + nth + "_status_" + std::to_string(status);
                fault.args = road_named(normal).args;
                fault.box = road_named(normal).box;
                fault.env = "FTEMU_FAIL=" + call + "=" + std::to_string(status);
                fault.trace = status ? with_status(fault.trace, function, std::stoi(nth), status) : fault.trace;
                cases.push_back(fault);
            }
        }
    }
    return cases;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(AllStatuses, RoadTest, testing::ValuesIn(addresses(matrix())), road_name);

// 0, 33 and 10 bytes, and the character column.
TEST(Hexdump, PrintsLinesOf32BytesWithOffsetsBlanksAndCharacters)
{
    auto spaces = [](size_t n) { return std::string(n, ' '); };
    std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`", line = "0x000000: 41 42 43 44 45 46 47 48 49 4a 4b "
                                                                      "4c 4d 4e 4f 50 51 52 53 54 55 56 57 58 59 5a "
                                                                      "5b 5c 5d 5e 5f 60 " +
                                                                      letters + "\n";
    const std::pair<std::string, std::string> cases[] = {
        {"", "\n"},
        {letters + "Z", line + "0x000020: 5a " + spaces(31 * 3) + "Z" + spaces(31) + "\n"},
        {std::string("abc\x00\x1f\x7f\x80\xff\x20\x7e", 10),
         "0x000000: 61 62 63 00 1f 7f 80 ff 20 7e " + spaces(22 * 3) + "abc..... ~" + spaces(22) + "\n"},
    };
    for (const auto &[bytes, lines] : cases) {
        testing::internal::CaptureStdout();
        hexdump(bytes.data(), (uint32_t)bytes.size());
        fflush(stdout);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), lines) << bytes.size() << " bytes";
    }
}
