// The release builds of the Windows program: signed with a throwaway CA and certificate made for the test, alike in two
// folders, the same bytes as an unsigned build without the signature; and a whole road of the real exe under wine.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>

#include "roads.h"

Outcome run_under_wine(const std::string &exe, const Args &args, const Env &env,
                       const Scratch &scratch);  // test_windows.cpp
static const std::string EXE = "/chg_4917.exe", ZIP = "/chg_4917-" PROJECT_VERSION "-win32.zip",
                         UNSIGNED = WINDOWS_BUILD + EXE;

// Configures folder to sign with these files of s and builds the zip at a set time: no password shows, even in
// osslsigncode's arguments.
static Outcome build(const Scratch &s, const std::string &folder, const char *pkcs12 = "/cert.p12",
                     const char *pass = "/password")
{
    std::string shown = output_of(
        {CMAKE, "-S", SOURCE_DIR, "-B", folder, "-DCHG_TESTS=OFF", "-DCMAKE_BUILD_TYPE=Release",
         "-DCMAKE_TOOLCHAIN_FILE=" SOURCE_DIR "/cmake/mingw-i686.cmake", "-DOSSLSIGNCODE=" + s.dir + "/osslsigncode",
         "-DCHG_SIGN_PKCS12=" + s.dir + pkcs12, "-DCHG_SIGN_PASSWORD_FILE=" + s.dir + pass},
        120);
    Outcome run = run_program({CMAKE, "--build", folder, "-j2", "--verbose", "--target", "zip"},
                              {{"SOURCE_DATE_EPOCH", "1234567890"}}, s, "", 600);
    EXPECT_EQ((shown + run.out + run.err + read_file(s.dir + "/arguments")).find("Sesame"), std::string::npos)
        << "a password shown";
    return run;
}

// Two folders sign alike at the zip's time and zip the exe, which verifies, runs a road with its real pause and is the
// unsigned exe without its signature. Rebuilds sign only an exe found unsigned (linked again, signing cut short) or
// signed otherwise. A missing file or a wrong password stops the build with one line and leaves no zip. A folder that
// signs no more links its exe again. The vendor's FTD2XX.dll, put beside the exe, stays across every configure; our own
// is never built there.
TEST(WindowsRelease, SignsAlikeAnExeThatVerifiesAndRunsAndStopsWithOneLineAndNoZipOnAFault)
{
    Scratch s;  // cert.p12, issued by ca.pem, its password and two others, and an osslsigncode that writes down its
                // arguments
    const std::string one = s.dir + "/one", two = s.dir + "/two", dir = s.dir;
    write_file(dir + "/osslsigncode",
               "#!/bin/sh\necho \"$*\" >> '" + dir + "/arguments'\nexec " OSSLSIGNCODE " \"$@\"\n");
    output_of({"sh", "-ec",
               "cd \"$0\"; chmod 700 osslsigncode; echo Sesame-4917 > password; echo Sesame-wrong > wrong; cp password "
               "again\n"
               "R='" OPENSSL " req -x509 -newkey rsa:2048 -nodes -days 2'; $R -subj /CN=CA -keyout ca.key -out ca.pem\n"
               "$R -subj /CN=Signer -keyout key.pem -out cert.pem -CA ca.pem -CAkey ca.key -addext "
               "extendedKeyUsage=codeSigning; " OPENSSL
               " pkcs12 -export -inkey key.pem -in cert.pem -out cert.p12 -passout file:password; mkdir two",
               dir});
    write_file(two + "/FTD2XX.dll", "the vendor's");
    ASSERT_TRUE(build(s, one).status == 0 && build(s, two).status == 0);
    const std::string exe = read_file(one + EXE), zip = read_file(one + ZIP);
    EXPECT_TRUE(exe == read_file(two + EXE) && zip == read_file(two + ZIP));
    EXPECT_TRUE(output_of({"unzip", "-p", one + ZIP, "chg_4917.exe"}) == exe);
    std::string verified = output_of({OSSLSIGNCODE, "verify", "-CAfile", dir + "/ca.pem", "-in", one + EXE});
    for (const char *line : {"\nMessage digest algorithm  : SHA256\n", "\tSigning time: Feb 13 23:31:30 2009 GMT\n"})
        EXPECT_NE(verified.find(line), std::string::npos) << line << " in:\n" << verified;
    output_of({OSSLSIGNCODE, "remove-signature", "-in", one + EXE, "-out", dir + "/removed.exe"});
    EXPECT_TRUE(read_file(dir + "/removed.exe") == read_file(UNSIGNED));

    // The real exe waits 5 s from its last library call, the trace's last write, to its end; wine's start-up comes
    // before.
    Road road = road_named("auto_programmed_box");  // every call of the library, the 88-byte record, CR LF line ends
    road.trace.erase(road.trace.size() - PAUSE5.size());  // the real program pauses instead of recording it
    std::string before = prepare(road.box, s);
    Outcome run = run_under_wine(one + EXE, road.args, road.env, s);
    double end = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    struct stat trace;
    ASSERT_EQ(stat(s.trace().c_str(), &trace), 0);
    double paused = end - (double)trace.st_mtim.tv_sec - (double)trace.st_mtim.tv_nsec / 1e9;
    EXPECT_TRUE(paused >= 5.0 && paused < 6.9) << paused << " s: the end pause of 5 s, not 7";
    expect_road(road, run, before, s, true);

    write_file(one + EXE, read_file(UNSIGNED));
    ASSERT_TRUE(build(s, one).status == 0 && build(s, two).status == 0 &&
                build(s, two, "/cert.p12", "/again").status == 0);
    EXPECT_TRUE(read_file(one + EXE) == exe && read_file(one + ZIP) == zip && read_file(two + EXE) == exe);
    EXPECT_EQ(output_of({"grep", "-c", "^sign ", dir + "/arguments"}), "4\n") << "one of three builds signs nothing";

    const std::tuple<const char *, const char *, std::string> faults[] = {
        {"/cert.p12", "/wrong", "the password in " + dir + "/wrong does not open " + dir + "/cert.p12"},
        {"/cert.p12", "/none", "there is no file " + dir + "/none (CHG_SIGN_PASSWORD_FILE)"},
        {"/none.p12", "/password", "there is no file " + dir + "/none.p12 (CHG_SIGN_PKCS12)"}};
    for (const auto &[pkcs12, password, line] : faults) {
        Outcome failed = build(s, two, pkcs12, password);
        EXPECT_NE(failed.err.find("\n   chg_4917.exe cannot be signed: " + line + "\n"), std::string::npos)
            << failed.err;
        EXPECT_TRUE(failed.status != 0 && !std::filesystem::exists(two + ZIP)) << line;
    }
    output_of({"sh", "-ec",
               CMAKE " -DCHG_SIGN_PKCS12= -DCHG_SIGN_PASSWORD_FILE= \"$0\" && " CMAKE " --build \"$0\" --target zip",
               two},
              600);
    EXPECT_TRUE(read_file(two + EXE) == read_file(UNSIGNED));
    EXPECT_EQ(read_file(two + "/FTD2XX.dll"), "the vendor's");
    EXPECT_FALSE(std::filesystem::exists(one + "/FTD2XX.dll"));
}
