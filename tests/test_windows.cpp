// The 32-bit Windows program: its files and zip, its reproducible build, and
// its runs under wine on the emulated FTD2XX.dll, byte for byte and in a console.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "roads.h"

using namespace std::string_literals;
static const std::string EXE = WINDOWS_BUILD "/chg_4917.exe", ZIP = WINDOWS_BUILD "/chg_4917-" PROJECT_VERSION "-win32.zip";

static std::string output_of(const std::string &command)
{
    Scratch scratch;
    if (system((command + " > " + scratch.dir + "/out").c_str()) == -1)
        throw std::runtime_error("cannot run " + command);
    return read_file(scratch.dir + "/out");
}

// The exe imports the six calls from FTD2XX.dll and only Windows' own DLLs
// besides; its file properties carry the version of CMakeLists.txt; its
// manifest asks for no rights and names Windows 7 to 11; it has no debug
// sections, and our emulated DLL is neither beside it nor in the zip. The note
// is UTF-8 with a BOM, with CR LF line ends, and quotes the messages.
TEST(WindowsPackage, HoldsTheProgramThatSaysWhatItIsAndItsNoteAndNothingOfTheEmulator)
{
    for (const std::string exe : {EXE, WINDOWS_BUILD "/chg_4917_test.exe"s}) {
        std::string objdump = OBJDUMP " -p '" + exe + "'";
        EXPECT_EQ(output_of(objdump + " | grep -o 'DLL Name: .*' | sort"),
                  "DLL Name: FTD2XX.dll\nDLL Name: KERNEL32.dll\nDLL Name: USER32.dll\nDLL Name: msvcrt.dll\n") << exe;
        // The accents go to the console as characters; its code page is never changed.
        EXPECT_EQ(output_of(objdump + " | grep -ow -e WriteConsoleW -e SetConsoleOutputCP"), "WriteConsoleW\n") << exe;
        EXPECT_EQ(output_of(objdump + " | awk '/DLL Name/ { dll = $3 } dll == \"FTD2XX.dll\" && /^\t[0-9a-f]+\t +[0-9]+ / { print $3 }' | sort"),
                  "FT_Close\nFT_EE_Program\nFT_EE_Read\nFT_EraseEE\nFT_ListDevices\nFT_Open\n") << exe;
    }
    std::string numbers = PROJECT_VERSION, rc = output_of(WINDRES " -J coff -O rc -i '" + EXE + "'") + read_file(EXE);
    std::replace(numbers.begin(), numbers.end(), '.', ',');
    rc.erase(std::remove(rc.begin(), rc.end(), ' '), rc.end());
    for (std::string text : {"FILEVERSION" + numbers + ",0", "PRODUCTVERSION" + numbers + ",0", "124/*RT_MANIFEST*/"s,
                             "\"CompanyName\",\"DROVANE/TALUP\""s, "\"FileDescription\",L\"Mise\\340jourdutypeducoffret4917\""s,
                             "\"FileVersion\",\"" PROJECT_VERSION "\""s, "\"ProductName\",\"chg_4917\""s,
                             "\"ProductVersion\",\"" PROJECT_VERSION "\""s, "\"OriginalFilename\",\"chg_4917.exe\""s,
                             "<requestedExecutionLevellevel=\"asInvoker\"uiAccess=\"false\"/>"s,
                             "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"s, "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"s,
                             "{1f676c76-80e1-4239-95bb-83d0f6d0da78}"s, "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"s})
        EXPECT_NE(rc.find(text), std::string::npos) << text;
    EXPECT_EQ(output_of(OBJDUMP " -h '" + EXE + "' | grep -c debug"), "0\n");
    EXPECT_EQ(output_of("ls '" WINDOWS_BUILD "' | grep -ci '^ftd2xx.dll$'"), "0\n");
    EXPECT_EQ(output_of("unzip -Z1 '" + ZIP + "' | sort"), "LISEZMOI.txt\nchg_4917.exe\n");
    EXPECT_EQ(output_of("unzip -p '" + ZIP + "' chg_4917.exe"), read_file(EXE));
    std::string note = output_of("unzip -p '" + ZIP + "' LISEZMOI.txt"), lf = note;
    lf.erase(std::remove(lf.begin(), lf.end(), '\r'), lf.end());
    EXPECT_EQ(crlf(lf), note) << "CR LF line ends only";
    EXPECT_EQ(lf.substr(0, lf.find('\n')), "\xef\xbb\xbf" "chg_4917 " PROJECT_VERSION " - mise \xc3\xa0 jour du type du coffret 4917");
    for (std::string message : {NO_BOX, SEVERAL_BOXES, UNREADABLE, ABSENT, ERASE_FAILED, UPDATED, WRITE_VID}) {
        std::string quote = "\"" + utf8(message.substr(0, message.find('\n'))) + "\"";
        EXPECT_NE(note.find(quote), std::string::npos) << quote;
    }
}

// Two builds of one commit, in two folders one after the other, give the same bytes.
TEST(WindowsPackage, BuildsBitForBitAlikeInTwoFolders)
{
    Scratch one, two;
    for (const Scratch *at : {&one, &two})
        output_of(CMAKE " -S '" SOURCE_DIR "' -B '" + at->dir + "' -DCHG_TESTS=OFF -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE='"
                  SOURCE_DIR "/cmake/mingw-i686.cmake' >/dev/null && " CMAKE " --build '" + at->dir + "' -j2 --target zip >/dev/null");
    for (const char *file : {"/chg_4917.exe", "/chg_4917-" PROJECT_VERSION "-win32.zip"}) {
        EXPECT_FALSE(read_file(one.dir + file).empty()) << file;
        EXPECT_TRUE(read_file(one.dir + file) == read_file(two.dir + file)) << file;
    }
}

// A run under wine of a program of the build folder, or a path, as on a French PC, finding the emulated FTD2XX.dll through WINEPATH.
Outcome run_under_wine(const std::string &exe, const Args &args, const Env &env, const Scratch &scratch)
{
    Env settings = {{"WINEDEBUG", "-all"}, {"WINEPREFIX", WINE_PREFIX}, {"WINEDLLOVERRIDES", "mscoree,mshtml="}, {"LC_ALL", "fr_FR.UTF-8"},
                    {"WINEPATH", "Z:" WINDOWS_BUILD "/emulator"}, {"FTEMU_IMAGE", "Z:" + scratch.image()}};
    settings.insert(settings.end(), env.begin(), env.end());
    Args command = {WINE, exe.find('/') == std::string::npos ? WINDOWS_BUILD "/" + exe : exe};
    command.insert(command.end(), args.begin(), args.end());
    return run_program(command, settings, scratch, "Z:");
}

// The same roads as on Linux, with CR LF line ends and the 88-byte record.
TEST(WindowsRoads, PrintTheSameTextsWithWindowsLineEndsAndThe88ByteRecord)
{
    for (const char *name : {"auto_programmed_box", "read", "read_after_update", "two_devices", "probe_unreadable", "unknown_argument"}) {
        SCOPED_TRACE(name);
        const Road &road = road_named(name);
        Scratch scratch;
        std::string before = prepare(road.box, scratch);
        expect_road(road, run_under_wine("chg_4917_test.exe", road.args, road.env, scratch), before, scratch, true);
    }
}

// The real exe waits with Sleep: its run lasts 5 seconds and wine's start-up.
TEST(WindowsPause, TheRealProgramWaitsFiveSeconds)
{
    Scratch scratch;
    run_under_wine("chg_4917_test.exe", {}, {}, scratch);  // starts wine's server, if it is not running
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(run_under_wine("chg_4917.exe", {}, {{"FTEMU_DEVICES", "2"}}, scratch).status, 0);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(seconds, 5.0);
    EXPECT_LT(seconds, 6.9) << "not the 7-second pause";
}

// The console of a run, read from outside by console_probe, on a French PC (console 850, ANSI 1252)
// and a Russian one (866, 1251). The accents reach a new console as letters, whatever its code
// pages, which never change. Under wine a console opens at 80x150 and 80x25, and the null display
// driver (1024x768) allows a window of 128x46 at most. A new console (a double-click) grows to hold
// a whole run, but never shrinks; a shared one (a command prompt) and one whose output goes to a
// file keep their size.
TEST(WindowsConsole, ShowsTheAccentsAsLettersAndAWholeRunAndKeepsItsCodePage)
{
    const std::string FRESH = " 80x150 80x25", FITTED = " 140x150 128x40";
    const struct {
        const char *locale, *code_page, *console;
        std::string during;
    } cases[] = {{"fr_FR.UTF-8", "850", "new", FITTED},
                 {"ru_RU.UTF-8", "866", "new", FITTED},
                 {"fr_FR.UTF-8", "850", "large", " 200x300 128x45"},
                 {"fr_FR.UTF-8", "850", "shared", FRESH},
                 {"fr_FR.UTF-8", "850", "file", FRESH}};
    const Road &road = road_named("two_devices");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.locale + " in a console: "s + c.console);
        Scratch scratch;
        std::string file = scratch.dir + "/out", console = c.console == "file"s ? "Z:" + file : c.console;
        Env env = road.env;
        env.push_back({"LC_ALL", c.locale});
        Outcome run = run_under_wine("console_probe.exe", {console, "Z:" WINDOWS_BUILD "/chg_4917_test.exe"}, env, scratch);
        std::string cp = c.code_page, screen = c.console == "new"s || c.console == "large"s ? utf8(START + road.out) : "";
        EXPECT_EQ(run.out, crlf("before " + cp + FRESH + "\nduring " + cp + c.during + "\n" + screen + "after " + cp +
                                (c.console == "shared"s ? FRESH : c.during) + "\n"));
        EXPECT_EQ(run.trace, windows_trace(road.trace));
        if (c.console == "file"s)
            EXPECT_EQ(read_file(file), crlf(START + road.out)) << "the exact bytes, in Windows-1252";
    }
}
