// The hex dump, line by line: offsets, byte fields, blanks past the end and
// the character column.
#include <gtest/gtest.h>

#include "../src/hexdump.h"

struct DumpCase {
    const char *name;
    std::string bytes, expected;
};

static std::string spaces(size_t n) { return std::string(n, ' '); }
static std::string run_of(int first, int count)
{
    std::string bytes;
    for (int i = 0; i < count; i++)
        bytes += (char)(first + i);
    return bytes;
}

static const DumpCase CASES[] = {
    {"empty", "", "\n"},
    {"three_bytes", "abc", "0x000000: 61 62 63 " + spaces(29 * 3) + "abc" + spaces(29) + "\n"},
    {"one_full_line", run_of('A', 32),
     "0x000000: 41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50 51 52 53 54 55 56 57 58 59 5a 5b 5c 5d 5e 5f 60 "
     "ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`\n"},
    {"thirty_three_bytes", run_of('a', 26) + "012345Z",
     "0x000000: 61 62 63 64 65 66 67 68 69 6a 6b 6c 6d 6e 6f 70 71 72 73 74 75 76 77 78 79 7a 30 31 32 33 34 35 "
     "abcdefghijklmnopqrstuvwxyz012345\n0x000020: 5a " + spaces(31 * 3) + "Z" + spaces(31) + "\n"},
    {"non_printing_bytes", std::string("\x00\x1f\x7f\x80\xff\x20\x7e", 7),
     "0x000000: 00 1f 7f 80 ff 20 7e " + spaces(25 * 3) + "..... ~" + spaces(25) + "\n"},
};

class HexdumpTest : public testing::TestWithParam<DumpCase> {};

TEST_P(HexdumpTest, PrintsLinesOf32Bytes)
{
    testing::internal::CaptureStdout();
    hexdump(GetParam().bytes.data(), (uint32_t)GetParam().bytes.size());
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, HexdumpTest, testing::ValuesIn(CASES),
                         [](const testing::TestParamInfo<DumpCase> &info) { return info.param.name; });
