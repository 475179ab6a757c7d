// The signed Windows program, with a throwaway CA and certificate made for the test.
#include <gtest/gtest.h>

#include <filesystem>

#include "roads.h"

Outcome run_under_wine(const std::string &exe, const Args &args, const Env &env, const Scratch &scratch);  // test_windows.cpp
static const std::string EXE = "/chg_4917.exe", ZIP = "/chg_4917-" PROJECT_VERSION "-win32.zip", UNSIGNED = WINDOWS_BUILD + EXE;

// The standard output of a command that must succeed.
static std::string ran(const Args &command, const Scratch &scratch)
{
    Outcome run = run_program(command, {}, scratch);
    return run.status == 0 ? run.out : throw std::runtime_error(command[0] + " " + command[1] + " failed:\n" + run.out + run.err);
}

// Configures folder to sign with these files of s and builds the zip at a set time: no password shows, even in osslsigncode's arguments.
static Outcome build(const Scratch &s, const std::string &folder, const char *pkcs12 = "/cert.p12", const char *pass = "/password")
{
    std::string shown = ran({CMAKE, "-S", SOURCE_DIR, "-B", folder, "-DCHG_TESTS=OFF", "-DCMAKE_BUILD_TYPE=Release",
                             "-DCMAKE_TOOLCHAIN_FILE=" SOURCE_DIR "/cmake/mingw-i686.cmake", "-DOSSLSIGNCODE=" + s.dir + "/osslsigncode",
                             "-DCHG_SIGN_PKCS12=" + s.dir + pkcs12, "-DCHG_SIGN_PASSWORD_FILE=" + s.dir + pass}, s);
    Outcome run = run_program({CMAKE, "--build", folder, "-j2", "--verbose", "--target", "zip"}, {{"SOURCE_DATE_EPOCH", "1234567890"}}, s);
    EXPECT_EQ((shown + run.out + run.err + read_file(s.dir + "/arguments")).find("Sesame"), std::string::npos) << "a password shown";
    return run;
}

// Two folders sign alike at the zip's time and zip the exe, which verifies, runs a road and is the unsigned exe without its signature.
// Rebuilds sign only an exe found unsigned (linked again, signing cut short) or signed otherwise. A missing file or a wrong password
// stops the build with one line and leaves no zip. A folder that signs no more links its exe again.
TEST(WindowsSigning, SignsAlikeAnExeThatVerifiesAndRunsAndStopsWithOneLineAndNoZipOnAFault)
{
    Scratch s;  // cert.p12, issued by ca.pem, its password and two others, and an osslsigncode that writes down its arguments
    const std::string one = s.dir + "/one", two = s.dir + "/two", dir = s.dir;
    write_file(dir + "/osslsigncode", "#!/bin/sh\necho \"$*\" >> '" + dir + "/arguments'\nexec " OSSLSIGNCODE " \"$@\"\n");
    ran({"sh", "-ec", "cd \"$0\"; chmod 700 osslsigncode; echo Sesame-4917 > password; echo Sesame-wrong > wrong; cp password again\n"
         "R='" OPENSSL " req -x509 -newkey rsa:2048 -nodes -days 2'; $R -subj /CN=CA -keyout ca.key -out ca.pem\n"
         "$R -subj /CN=Signer -keyout key.pem -out cert.pem -CA ca.pem -CAkey ca.key -addext extendedKeyUsage=codeSigning; " OPENSSL
         " pkcs12 -export -inkey key.pem -in cert.pem -out cert.p12 -passout file:password", dir}, s);
    ASSERT_TRUE(build(s, one).status == 0 && build(s, two).status == 0);
    const std::string exe = read_file(one + EXE), zip = read_file(one + ZIP);
    EXPECT_TRUE(exe == read_file(two + EXE) && zip == read_file(two + ZIP));
    EXPECT_TRUE(ran({"unzip", "-p", one + ZIP, "chg_4917.exe"}, s) == exe);
    std::string verified = ran({OSSLSIGNCODE, "verify", "-CAfile", dir + "/ca.pem", "-in", one + EXE}, s);
    for (const char *line : {"\nMessage digest algorithm  : SHA256\n", "\tSigning time: Feb 13 23:31:30 2009 GMT\n"})
        EXPECT_NE(verified.find(line), std::string::npos) << line << " in:\n" << verified;
    ran({OSSLSIGNCODE, "remove-signature", "-in", one + EXE, "-out", dir + "/removed.exe"}, s);
    EXPECT_TRUE(read_file(dir + "/removed.exe") == read_file(UNSIGNED));
    Road road = road_named("read");
    road.trace.erase(road.trace.size() - PAUSE5.size());  // the real program pauses instead
    std::string before = prepare(road.box, s);
    expect_road(road, run_under_wine(one + EXE, road.args, road.env, s), before, s, true);

    write_file(one + EXE, read_file(UNSIGNED));
    ASSERT_TRUE(build(s, one).status == 0 && build(s, two).status == 0 && build(s, two, "/cert.p12", "/again").status == 0);
    EXPECT_TRUE(read_file(one + EXE) == exe && read_file(one + ZIP) == zip && read_file(two + EXE) == exe);
    EXPECT_EQ(ran({"grep", "-c", "^sign ", dir + "/arguments"}, s), "4\n") << "one of three builds signs nothing";

    const std::tuple<const char *, const char *, std::string> faults[] = {
        {"/cert.p12", "/wrong", "the password in " + dir + "/wrong does not open " + dir + "/cert.p12"},
        {"/cert.p12", "/none", "there is no file " + dir + "/none (CHG_SIGN_PASSWORD_FILE)"},
        {"/none.p12", "/password", "there is no file " + dir + "/none.p12 (CHG_SIGN_PKCS12)"}};
    for (const auto &[pkcs12, password, line] : faults) {
        Outcome run = build(s, two, pkcs12, password);
        EXPECT_NE(run.err.find("\n   chg_4917.exe cannot be signed: " + line + "\n"), std::string::npos) << run.err;
        EXPECT_TRUE(run.status != 0 && !std::filesystem::exists(two + ZIP)) << line;
    }
    ran({"sh", "-ec", CMAKE " -DCHG_SIGN_PKCS12= -DCHG_SIGN_PASSWORD_FILE= \"$0\" && " CMAKE " --build \"$0\" --target zip", two}, s);
    EXPECT_TRUE(read_file(two + EXE) == read_file(UNSIGNED));
}
