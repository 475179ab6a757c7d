// The real target: the 32-bit Windows program. Its import table, its package,
// and its runs under wine on the emulated library built as FTD2XX.dll, byte
// for byte as Windows writes them.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <chrono>
#include <map>
#include <set>
#include <sstream>

#include "roads.h"

static std::string output_of(const std::string &command)
{
    std::string out;
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char buffer[512];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    pclose(pipe);
    return out;
}

// DLL name -> the names imported from it, as objdump -p lists them.
static std::map<std::string, std::set<std::string>> imports_of(const std::string &exe)
{
    std::map<std::string, std::set<std::string>> imports;
    std::istringstream lines(output_of(std::string(OBJDUMP) + " -p '" + exe + "'"));
    std::string line, dll;
    while (std::getline(lines, line)) {
        size_t at = line.find("DLL Name: ");
        if (at != std::string::npos) {
            dll = line.substr(at + 10);
            imports[dll];
            continue;
        }
        unsigned vma, hint;
        char name[256];
        if (!dll.empty() && sscanf(line.c_str(), " %x %u %255s", &vma, &hint, name) == 3)
            imports[dll].insert(name);
        else if (line.empty() || line[0] != '\t')
            dll.clear();
    }
    return imports;
}

static const std::set<std::string> SIX_CALLS = {"FT_Close", "FT_EE_Program", "FT_EE_Read",
                                                "FT_EraseEE", "FT_ListDevices", "FT_Open"};

TEST(WindowsProgram, ImportsTheSixCallsFromFTD2XXAndOnlySystemDlls)
{
    for (const char *exe : {"chg_4917.exe", "chg_4917_test.exe"}) {
        auto imports = imports_of(std::string(WINDOWS_BUILD) + "/" + exe);
        ASSERT_EQ(imports.count("FTD2XX.dll"), 1u) << exe;
        EXPECT_EQ(imports["FTD2XX.dll"], SIX_CALLS) << exe;
        for (const auto &dll : imports)
            EXPECT_TRUE(dll.first == "FTD2XX.dll" || dll.first == "KERNEL32.dll" || dll.first == "msvcrt.dll")
                << exe << " imports " << dll.first;
    }
}

TEST(WindowsProgram, TheEmulatedDllExportsTheSameSixNamesUndecorated)
{
    std::string dump = output_of(std::string(OBJDUMP) + " -p '" + WINDOWS_BUILD + "/FTD2XX.dll'");
    std::set<std::string> exported;
    size_t table = dump.find("[Ordinal/Name Pointer] Table");
    ASSERT_NE(table, std::string::npos);
    std::istringstream lines(dump.substr(table));
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line) && line.find(']') != std::string::npos)
        exported.insert(line.substr(line.find(']') + 2));
    EXPECT_EQ(exported, SIX_CALLS);
}

TEST(WindowsPackage, HoldsTheProgramAndItsNoteAndNothingOfTheEmulator)
{
    Scratch scratch;
    std::string made = output_of("cd '" + scratch.dir + "' && cpack --config '" + WINDOWS_BUILD +
                                 "/CPackConfig.cmake' 2>&1");
    std::string listing = output_of("unzip -Z1 '" + scratch.dir + "/chg_4917-windows.zip' | sort");
    EXPECT_EQ(listing, "LISEZMOI.txt\nchg_4917.exe\n") << made;
    std::string note = output_of("unzip -p '" + scratch.dir + "/chg_4917-windows.zip' LISEZMOI.txt");
    EXPECT_NE(note.find("FTD2XX.dll"), std::string::npos);
    EXPECT_NE(note.find("pilote USB du fabricant"), std::string::npos);
}

#ifdef WINE
static Outcome run_under_wine(const char *exe, const Args &args, const Env &env, const Scratch &scratch)
{
    Env with_wine = {{"WINEDEBUG", "-all"}, {"WINEPREFIX", WINE_PREFIX}, {"WINEDLLOVERRIDES", "mscoree,mshtml="},
                     {"FTEMU_IMAGE", "Z:" + scratch.image()}};
    with_wine.insert(with_wine.end(), env.begin(), env.end());
    return run_program({WINE, std::string(WINDOWS_BUILD) + "/" + exe}, args, with_wine, scratch, "Z:");
}

class WineRoad : public testing::TestWithParam<std::string> {};

// The same roads as on Linux; only the line ends and the record differ:
// CR LF from Windows text mode, and a record of 88 bytes with 32-bit pointers.
TEST_P(WineRoad, PrintsTheSameTextsWithWindowsLineEndsAndThe88ByteRecord)
{
    const Road *road = nullptr;
    for (const Road &r : ROADS)
        if (r.name == GetParam())
            road = &r;
    ASSERT_NE(road, nullptr);
    Scratch scratch;
    for (const Args &args : road->before)
        ASSERT_EQ(run_under_wine("chg_4917_test.exe", args, {}, scratch).status, 0);

    Outcome run = run_under_wine("chg_4917_test.exe", road->args, road->env, scratch);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(mask_pointers(run.out, 4), crlf(road->out + DUMPS32[road->dump]));
    EXPECT_EQ(run.trace, crlf(road->trace));
    EXPECT_EQ(run.err, "");
}

INSTANTIATE_TEST_SUITE_P(Windows, WineRoad,
                         testing::Values("auto_programmed_box", "read", "read_after_update", "two_devices",
                                         "probe_unreadable", "unknown_argument"),
                         [](const testing::TestParamInfo<std::string> &info) { return info.param; });

TEST(WindowsBytes, SeveralBoxesTextIsWindows1252AndTheRecordDumpsInThreeLines)
{
    Scratch scratch;
    Outcome several = run_under_wine("chg_4917_test.exe", {}, {{"FTEMU_DEVICES", "2"}}, scratch);
    EXPECT_NE(several.out.find("periph\xe9riques USB connect\xe9s ont \xe9t\xe9 d\xe9tect\xe9s.\r\n\r\n"),
              std::string::npos);
    EXPECT_NE(several.out.find("mettre \xe0 jour le type.\r\n"), std::string::npos);

    Outcome read = run_under_wine("chg_4917_test.exe", {"WRITE"}, {}, scratch);
    size_t dump = read.out.find("0x000000: ");
    ASSERT_NE(dump, std::string::npos);
    std::string lines = read.out.substr(dump);
    EXPECT_EQ(lines.size(), 3 * 140u) << "three lines of 138 characters and CR LF";
    EXPECT_EQ(lines.substr(10, 48), "00 00 00 00 ff ff ff ff 02 00 00 00 03 04 01 60 ");
    EXPECT_EQ(lines.substr(2 * 140, 10 + 24 * 3 + 8 * 3).substr(10 + 24 * 3), std::string(24, ' '))
        << "the third line holds 24 bytes";
}

// The real exe waits with Sleep: its run lasts 5 seconds longer than the
// same run of the test build, whose pause only records itself.
TEST(WindowsPause, TheRealProgramWaitsFiveSeconds)
{
    Scratch scratch;
    auto seconds = [&](const char *exe) {
        auto start = std::chrono::steady_clock::now();
        Outcome run = run_under_wine(exe, {}, {{"FTEMU_DEVICES", "2"}}, scratch);
        EXPECT_EQ(run.status, 0);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    seconds("chg_4917_test.exe");  // starts wine's server, if it is not running
    double recorded = seconds("chg_4917_test.exe");
    double real = seconds("chg_4917.exe");
    EXPECT_GE(real - recorded, 4.9);
    EXPECT_LE(real - recorded, 5.8);
}
#endif
