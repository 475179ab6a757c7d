// The real target: the 32-bit Windows program. Its import table, its version
// resource and manifest, its package, its reproducible build, its console,
// and its runs under wine on the emulated library built as FTD2XX.dll, byte
// for byte as Windows writes them.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
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

// The file properties Windows shows, from the version in CMakeLists.txt, and
// a manifest that asks for no rights and names Windows 7, 8, 8.1 and 10/11.
TEST(WindowsProgram, SaysWhatItIsAndRunsAsInvokerOnWindows7To11)
{
    using namespace std::string_literals;
    std::string exe = WINDOWS_BUILD "/chg_4917.exe", numbers = PROJECT_VERSION;
    for (size_t dot; (dot = numbers.find('.')) != std::string::npos;)
        numbers.replace(dot, 1, ", ");
    std::string rc = output_of(std::string(WINDRES) + " -J coff -O rc -i '" + exe + "'"), bytes = read_file(exe);
    for (std::string text : {"FILEVERSION " + numbers + ", 0", "PRODUCTVERSION " + numbers + ", 0",
                             "1 24 /* RT_MANIFEST */"s, "\"CompanyName\", \"DROVANE/TALUP\""s,
                             "\"FileDescription\", L\"Mise \\340 jour du type du coffret 4917\""s,
                             "\"FileVersion\", \"" PROJECT_VERSION "\""s, "\"ProductName\", \"chg_4917\""s,
                             "\"ProductVersion\", \"" PROJECT_VERSION "\""s,
                             "\"OriginalFilename\", \"chg_4917.exe\""s})
        EXPECT_NE(rc.find(text), std::string::npos) << text << " in\n" << rc;
    for (const char *text : {"<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>",
                             "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                             "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
        EXPECT_NE(bytes.find(text), std::string::npos) << text;
}

// Windows loads a DLL from the exe's own folder first: our emulated one must
// never sit there, nor in the zip. The note is UTF-8 with a BOM, which
// Notepad reads right from Windows 7 on, with CR LF line ends; it quotes the
// messages as the program prints them, in Windows-1252.
TEST(WindowsPackage, HoldsTheStrippedProgramAndItsNoteInUtf8AndNothingOfTheEmulator)
{
    std::string zip = "'" WINDOWS_BUILD "/chg_4917-" PROJECT_VERSION "-win32.zip' ";
    EXPECT_EQ(output_of("unzip -Z1 " + zip + "| sort"), "LISEZMOI.txt\nchg_4917.exe\n");
    EXPECT_EQ(output_of("unzip -p " + zip + "chg_4917.exe"), read_file(WINDOWS_BUILD "/chg_4917.exe"));
    EXPECT_EQ(output_of("ls '" WINDOWS_BUILD "' | grep -ci '^ftd2xx.dll$'"), "0\n");
    EXPECT_EQ(output_of(std::string(OBJDUMP) + " -h '" WINDOWS_BUILD "/chg_4917.exe' | grep -c debug"), "0\n");

    std::string note = output_of("unzip -p " + zip + "LISEZMOI.txt"), lf = note;
    EXPECT_EQ(output_of("unzip -p " + zip + "LISEZMOI.txt | iconv -f UTF-8 -t UTF-16 >/dev/null && echo ok"),
              "ok\n");
    lf.erase(std::remove(lf.begin(), lf.end(), '\r'), lf.end());
    EXPECT_EQ(crlf(lf), note) << "CR LF line ends only";
    EXPECT_EQ(lf.substr(0, lf.find('\n')),
              "\xef\xbb\xbf" "chg_4917 " PROJECT_VERSION " - mise \xc3\xa0 jour du type du coffret 4917");
    for (std::string message : {NO_BOX, SEVERAL_BOXES, UNREADABLE, ABSENT, ERASE_FAILED, UPDATED, WRITE_VID}) {
        std::string quote = "\"";  // in UTF-8: the Windows-1252 e acute and a grave
        for (unsigned char c : message.substr(0, message.find('\n')))
            quote += c < 0x80 ? std::string(1, (char)c) : std::string{(char)(0xc3), (char)(c - 0x40)};
        EXPECT_NE(note.find(quote + '"'), std::string::npos) << quote;
    }
}

// Two builds of one commit in two folders, one after the other, give the
// same bytes.
TEST(WindowsPackage, BuildsBitForBitAlikeInTwoFolders)
{
    Scratch one, two;
    for (const Scratch *at : {&one, &two})
        output_of(CMAKE " -S '" SOURCE_DIR "' -B '" + at->dir + "' -DCHG_TESTS=OFF -DCMAKE_BUILD_TYPE=Release"
                  " -DCMAKE_TOOLCHAIN_FILE='" SOURCE_DIR "/cmake/mingw-i686.cmake' >/dev/null && " CMAKE
                  " --build '" + at->dir + "' -j2 --target zip >/dev/null");
    for (const char *file : {"/chg_4917.exe", "/chg_4917-" PROJECT_VERSION "-win32.zip"}) {
        EXPECT_FALSE(read_file(one.dir + file).empty()) << file;
        EXPECT_TRUE(read_file(one.dir + file) == read_file(two.dir + file)) << file;
    }
}

#ifdef WINE
static Outcome run_under_wine(const char *exe, const Args &args, const Env &env, const Scratch &scratch)
{
    // The emulated FTD2XX.dll is found in its own folder, through wine's PATH.
    Env with_wine = {{"WINEDEBUG", "-all"}, {"WINEPREFIX", WINE_PREFIX}, {"WINEDLLOVERRIDES", "mscoree,mshtml="},
                     {"WINEPATH", "Z:" WINDOWS_BUILD "/emulator"}, {"FTEMU_IMAGE", "Z:" + scratch.image()}};
    with_wine.insert(with_wine.end(), env.begin(), env.end());
    return run_program({WINE, std::string(WINDOWS_BUILD) + "/" + exe}, args, with_wine, scratch, "Z:");
}

static const Road *road_named(const std::string &name)
{
    for (const Road &road : ROADS)
        if (road.name == name)
            return &road;
    return nullptr;
}

class WineRoad : public testing::TestWithParam<std::string> {};

// The same roads as on Linux; only the line ends and the record differ:
// CR LF from Windows text mode, and a record of 88 bytes with 32-bit pointers.
TEST_P(WineRoad, PrintsTheSameTextsWithWindowsLineEndsAndThe88ByteRecord)
{
    const Road *road = road_named(GetParam());
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

// The console of a run of the test build, read from outside by
// tests/console_probe.cpp: a new one of its own, the probe's own shared with
// it, or a new one with the output going to a file. Wine makes a new console
// for French Windows with code page 850, a buffer of 80x150 and a window of
// 80x25. Its null display (1024x768) fits a window of 128x46 at most: the
// window stops at 128 columns while the buffer takes the 140 of a dump line.
static const std::string FRESH = "850 80x150 80x25", FITTED = "140x150 128x40";
static const struct {
    const char *road, *console;
    std::string during, after;
} CONSOLE_CASES[] = {
    {"two_devices", "new", "1252 " + FITTED, "850 " + FITTED},
    {"probe_unreadable", "new", "1252 " + FITTED, "850 " + FITTED},  // ends through exit()
    {"two_devices", "file", FRESH, FRESH},
    {"two_devices", "shared", "1252 80x150 80x25", FRESH},
};

TEST(WindowsConsole, ShowsTheAccentsAndAWholeRunThenPutsTheCodePageBack)
{
    // Wine shows a console in a window; its null display driver needs no X.
    output_of("WINEPREFIX='" WINE_PREFIX "' '" WINE "' reg add 'HKCU\\Software\\Wine\\Drivers'"
              " /v Graphics /d null /f");
    for (const auto &c : CONSOLE_CASES) {
        SCOPED_TRACE(std::string(c.road) + " in a console: " + c.console);
        const Road *road = road_named(c.road);
        ASSERT_TRUE(road && road->args.empty());
        Scratch scratch;
        std::string out = scratch.dir + "/out";
        std::string console = c.console == std::string("file") ? "Z:" + out : c.console;
        Env env = road->env;
        env.push_back({"LC_ALL", "fr_FR.UTF-8"});

        Outcome run = run_under_wine("console_probe.exe", {console, "Z:" WINDOWS_BUILD "/chg_4917_test.exe"}, env,
                                     scratch);

        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, crlf("before " + FRESH + "\nduring " + c.during + "\nafter " + c.after + "\n"));
        EXPECT_EQ(run.trace, crlf(road->trace));
        if (console != c.console)
            EXPECT_EQ(read_file(out), crlf(road->out)) << "the exact bytes, Windows-1252";
    }
}
#endif
