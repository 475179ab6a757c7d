// The 32-bit Windows program: its files and zip, the real exe under wine on the emulated
// FTD2XX.dll, and its console.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "roads.h"

using namespace std::string_literals;
static const std::string EXE = WINDOWS_BUILD "/chg_4917.exe",
                         ZIP = WINDOWS_BUILD "/chg_4917-" PROJECT_VERSION "-win32.zip",
                         RECETTE_ZIP = WINDOWS_BUILD "/chg_4917-" PROJECT_VERSION "-win32-recette.zip";
// As on a French PC, finding the emulated FTD2XX.dll through WINEPATH (CHG_WINE quiets wine), from
// copies of the exes: wine loads a DLL beside the exe first, and build-win/ may hold the vendor's.
static const Env WINE_ENV = {
    {"WINEPREFIX", WINE_PREFIX}, {"LC_ALL", "fr_FR.UTF-8"}, {"WINEPATH", "Z:" WINDOWS_BUILD "/emulator"}};

// Run with pipefail: every tool in it must succeed.
static std::string shell(const std::string &command)
{
    return output_of({"bash", "-o", "pipefail", "-c", command});
}

// The exe's imports, version, manifest and sections; each zip holds it, its note, and nothing of the
// emulator: the technicians' zip, and the kit's with the kit.
TEST(WindowsPackage, HoldsTheProgramThatSaysWhatItIsAndItsNoteAndNothingOfTheEmulator)
{
    // An import is a line that starts with its address and ends with its name. The accents go to
    // the console as characters, and its code page is never changed.
    auto imports = [&](const std::string &awk) {
        return shell(shell_word(OBJDUMP) + " -p " + shell_word(EXE) +
                     " | awk '/DLL Name:/ { dll = $3 } /^$/ { dll = \"\" } " + awk + "' | LC_ALL=C sort");
    };
    EXPECT_EQ(imports("/DLL Name:/ { print dll }"), "FTD2XX.dll\nKERNEL32.dll\nUSER32.dll\nmsvcrt.dll\n");
    EXPECT_EQ(imports("dll == \"FTD2XX.dll\" && $1 ~ /^[0-9a-f]+$/ { print $NF }"),
              "FT_Close\nFT_EE_Program\nFT_EE_Read\nFT_EraseEE\nFT_ListDevices\nFT_Open\n");
    EXPECT_EQ(imports("$1 ~ /^[0-9a-f]+$/ && $NF ~ /^(WriteConsoleW|SetConsoleOutputCP)$/ { print $NF }"),
              "WriteConsoleW\n");
    std::string numbers = PROJECT_VERSION, rc = output_of({WINDRES, "-J", "coff", "-O", "rc", EXE});
    std::replace(numbers.begin(), numbers.end(), '.', ',');
    rc.erase(std::remove(rc.begin(), rc.end(), ' '), rc.end());
    for (std::string text : {"FILEVERSION" + numbers + ",0", "\n124/*RT_MANIFEST*/\n"s,
                             "\"FileDescription\",L\"Mise\\340jourdutypeducoffret4917\""s})
        EXPECT_NE(rc.find(text), std::string::npos) << text;
    std::smatch level;  // Windows reads it from the manifest, resource 1 of type 24
    EXPECT_TRUE(std::regex_search(rc, level, std::regex("<requestedExecutionLevellevel=\"\"(\\w+)\"\"")));
    EXPECT_EQ(level[1], "asInvoker");
    EXPECT_EQ(output_of({OBJDUMP, "-h", EXE}).find("debug"), std::string::npos);
    // Each zip: its files, the very exe, and its note in UTF-8 with a BOM and CR LF line ends.
    const std::string notes[][3] = {
        {RECETTE_ZIP, "RECETTE.txt\nchg_4917.exe\nrecette.exe\n",
         "recette sur un PC et un coffret r\xc3\xa9"
         "els"},
        {ZIP, "LISEZMOI.txt\nchg_4917.exe\n", "mise \xc3\xa0 jour du type du coffret 4917"}};
    std::string note, bom = "\xef\xbb\xbf";
    for (const auto &[zip, files, title] : notes) {
        EXPECT_EQ(shell("unzip -Z1 " + shell_word(zip) + " | LC_ALL=C sort"), files);
        EXPECT_EQ(output_of({"unzip", "-p", zip, "chg_4917.exe"}), read_file(EXE));
        note = output_of({"unzip", "-p", zip, files.substr(0, files.find('\n'))});
        EXPECT_EQ(crlf(replaced(note, {{"\r", ""}})), note) << "CR LF line ends only";
        EXPECT_EQ(note.substr(0, note.find('\r')), bom + "chg_4917 " PROJECT_VERSION " - " + title);
    }
    // Where a maintainer puts the vendor's DLL, the build never puts ours.
    EXPECT_NE(read_file(WINDOWS_BUILD "/FTD2XX.dll"), read_file(WINDOWS_BUILD "/emulator/FTD2XX.dll"));
    for (std::string message : {NO_BOX, SEVERAL_BOXES, UNREADABLE, ABSENT, ERASE_FAILED, UPDATED, WRITE_VID}) {
        std::string quote = "\"" + utf8(message.substr(0, message.find('\n'))) + "\"";
        EXPECT_NE(note.find(quote), std::string::npos) << quote;
    }
}

// Every library call and the 88-byte record, then 5 s from the last call to the end.
TEST(WindowsRelease, UpdatesABoxAndWaitsFiveSeconds)
{
    Road road = road_named("auto_programmed_box");
    road.trace.erase(road.trace.size() - PAUSE5.size());  // it pauses instead of recording it
    Scratch copy;
    output_of({"cp", EXE, copy.dir});
    double paused = expect_road(road, {WINE, copy.dir + "/chg_4917.exe"}, WINE_ENV, true);
    EXPECT_TRUE(paused >= 5.0 && paused < 6.9) << paused << " s: the end pause of 5 s, not 7";
}

// The console, read from outside by console_probe on a French PC (850, ANSI 1252) and a Russian
// one (866, 1251). Under wine a console opens at 80x150 and 80x25, and can grow to 128x46.
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
        Env env = WINE_ENV;
        env.insert(env.end(), {{"FTEMU_DEVICES", "2"}, {"LC_ALL", c.locale}, {"WINEDEBUG", "trace+console"}});
        output_of({"cp", WINDOWS_BUILD "/console_probe.exe", WINDOWS_BUILD "/chg_4917_test.exe", scratch.dir});
        Outcome run =
            run_program({WINE, scratch.dir + "/console_probe.exe", console, "Z:" + scratch.dir + "/chg_4917_test.exe"},
                        env, scratch, "Z:", 120);  // the probe waits up to 60 s for its console
        // 5: the probe's own console never answered; 3: the program did not start.
        EXPECT_EQ(run.status, 0) << run.out;
        // Wine traces each WriteConsoleW: the accented lines, with CR LF line ends.
        std::string written = std::regex_replace(run.err, std::regex(R"(\\r\\n)"), "");
        EXPECT_EQ(written.find(R"(,L"ERREUR : Plusieurs periph\00e9riques)") != std::string::npos,
                  c.console != "file"s);
        EXPECT_FALSE(std::regex_search(written, std::regex(R"(WriteConsoleW[^\n]*\\n)"))) << "bare LF";
        std::string cp = c.code_page,
                    screen = c.console == "new"s || c.console == "large"s ? utf8(START + road.out) : "";
        EXPECT_EQ(run.out, crlf("before " + cp + FRESH + "\nduring " + cp + c.during + "\n" + screen + "after " + cp +
                                (c.console == "shared"s ? FRESH : c.during) + "\n"));
        EXPECT_EQ(run.trace, windows_trace(road.trace));
        if (c.console == "file"s)  // the exact bytes, in Windows-1252
            EXPECT_EQ(read_file(file), crlf(START + road.out));
    }
}
