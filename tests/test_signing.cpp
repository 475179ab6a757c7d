// The signed Windows program, with a throwaway certificate made for the test.
#include <gtest/gtest.h>
#include <sys/stat.h>

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

// A CA and a code-signing certificate it issued, in cert.p12, whose password is in the file
// "password" ("wrong" holds another), and an osslsigncode that writes down its arguments.
struct Signer : Scratch {
    Signer()
    {
        write_file(dir + "/password", "Sesame-4917-right\n");
        write_file(dir + "/wrong", "Sesame-4917-wrong\n");
        write_file(dir + "/osslsigncode", "#!/bin/sh\necho \"$*\" >> '" + dir + "/arguments'\nexec " OSSLSIGNCODE " \"$@\"\n");
        EXPECT_EQ(chmod((dir + "/osslsigncode").c_str(), 0700), 0);
        ran({"sh", "-ec", "cd \"$0\"; R='" OPENSSL " req -x509 -newkey rsa:2048 -nodes -days 2'\n$R -subj /CN=CA -keyout ca.key -out ca.pem\n"
             "$R -subj /CN=Signer -keyout key.pem -out cert.pem -CA ca.pem -CAkey ca.key -addext extendedKeyUsage=codeSigning\n"
             OPENSSL " pkcs12 -export -inkey key.pem -in cert.pem -out cert.p12 -passout file:password", dir}, *this);
    }
    // Configures folder to sign with these files and builds the zip, every command shown, at a set time.
    Outcome build(const std::string &folder, const std::string &pkcs12 = "cert.p12", const std::string &password = "password")
    {
        std::string shown = ran({CMAKE, "-S", SOURCE_DIR, "-B", folder, "-DCHG_TESTS=OFF", "-DCMAKE_BUILD_TYPE=Release",
                                 "-DCMAKE_TOOLCHAIN_FILE=" SOURCE_DIR "/cmake/mingw-i686.cmake", "-DOSSLSIGNCODE=" + dir + "/osslsigncode",
                                 "-DCHG_SIGN_PKCS12=" + dir + "/" + pkcs12, "-DCHG_SIGN_PASSWORD_FILE=" + dir + "/" + password}, *this);
        Outcome run = run_program({CMAKE, "--build", folder, "-j2", "--verbose", "--target", "zip"}, {{"SOURCE_DATE_EPOCH", "1234567890"}}, *this);
        EXPECT_EQ((shown + run.out + run.err + read_file(dir + "/arguments")).find("Sesame"), std::string::npos) << "a password shown";
        return run;
    }
};

// Two folders sign alike, at the zip's time, and zip the signed exe; it verifies against the CA,
// runs a road byte for byte, and is the unsigned exe once its signature is removed. A build that
// finds the exe unsigned (linked again, or its signing cut short) or signed otherwise signs it;
// one that finds it signed alike signs nothing. A missing file or a wrong password stops the
// build with one line of ours and leaves no zip.
TEST(WindowsSigning, SignsAlikeAnExeThatVerifiesAndRunsAndStopsWithOneLineAndNoZipOnAFault)
{
    Signer signer;
    const std::string one = signer.dir + "/one", two = signer.dir + "/two", dir = signer.dir;
    for (const std::string &folder : {one, two})
        ASSERT_EQ(signer.build(folder).status, 0);
    const std::string exe = read_file(one + EXE), zip = read_file(one + ZIP);
    EXPECT_TRUE(exe == read_file(two + EXE) && zip == read_file(two + ZIP));
    EXPECT_TRUE(ran({"unzip", "-p", one + ZIP, "chg_4917.exe"}, signer) == exe);
    std::string verified = ran({OSSLSIGNCODE, "verify", "-CAfile", dir + "/ca.pem", "-in", one + EXE}, signer);
    for (const char *line : {"\nMessage digest algorithm  : SHA256", "\tSigning time: Feb 13 23:31:30 2009 GMT\n", "\nSignature verification: ok\n"})
        EXPECT_NE(verified.find(line), std::string::npos) << line << " in:\n" << verified;
    ran({OSSLSIGNCODE, "remove-signature", "-in", one + EXE, "-out", dir + "/removed.exe"}, signer);
    EXPECT_TRUE(read_file(dir + "/removed.exe") == read_file(UNSIGNED));
    Road road = road_named("read");
    road.trace.erase(road.trace.size() - PAUSE5.size());  // the real program pauses instead
    std::string before = prepare(road.box, signer);
    expect_road(road, run_under_wine(one + EXE, road.args, road.env, signer), before, signer, true);

    write_file(one + EXE, read_file(UNSIGNED));
    write_file(dir + "/again", read_file(dir + "/password"));
    ASSERT_TRUE(signer.build(one).status == 0 && signer.build(two).status == 0 && signer.build(two, "cert.p12", "again").status == 0);
    EXPECT_TRUE(read_file(one + EXE) == exe && read_file(one + ZIP) == zip && read_file(two + EXE) == exe);
    EXPECT_EQ(ran({"grep", "-c", "^sign ", dir + "/arguments"}, signer), "4\n") << "one of three builds signs nothing";

    const struct {
        const char *pkcs12, *password;
        std::string line;
    } faults[] = {{"cert.p12", "wrong", "the password in " + dir + "/wrong does not open " + dir + "/cert.p12"},
                  {"cert.p12", "none", "there is no file " + dir + "/none (CHG_SIGN_PASSWORD_FILE)"},
                  {"none.p12", "password", "there is no file " + dir + "/none.p12 (CHG_SIGN_PKCS12)"}};
    for (const auto &fault : faults) {
        Outcome run = signer.build(two, fault.pkcs12, fault.password);
        EXPECT_NE(run.status, 0);
        EXPECT_NE(run.err.find("\n   chg_4917.exe cannot be signed: " + fault.line + "\n"), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(two + ZIP)) << fault.line;
    }
    ran({CMAKE, "-DCHG_SIGN_PKCS12=", "-DCHG_SIGN_PASSWORD_FILE=", two}, signer);
    ran({CMAKE, "--build", two, "--target", "zip"}, signer);
    EXPECT_TRUE(read_file(two + EXE) == read_file(UNSIGNED)) << "a folder that signs no more links its exe again";
}
