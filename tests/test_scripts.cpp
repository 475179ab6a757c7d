// The scripts around the build. Each case is a shell script run in a folder of
// its own ($dir; $src is the checkout) that prints what it saw. Those that act on
// binfmt_misc run in a mount namespace over a fake one, never the machine's;
// fake_entry makes it, with its register file. Status 77: cannot be set up here.
#include "roads.h"

struct ScriptCase { std::string name, script, expected; };
class Scripts : public testing::TestWithParam<ScriptCase> {};

static const std::string PRELUDE = R"sh(exec 2>&1; cd "$dir" && chmod 755 . || exit
skip() { echo "$1"; exit 77; }
as_user() { if [ "$(id -u)" = 0 ]; then setpriv --reuid 65534 --regid 65534 --clear-groups env HOME=/nonexistent "$@"; else "$@"; fi; }
fake_entry() { mkdir binfmt shim && : > binfmt/register && printf 'enabled\ninterpreter %s\nflags: %s\n' "$@" > binfmt/qemu-i386 &&
  mkdir -p shim/lib/i386-linux-gnu shim/lib/x86_64-linux-gnu && touch shim/lib/i386-linux-gnu/qemu_wine_fix.so shim/lib/x86_64-linux-gnu/qemu_wine_fix.so &&
  { unshare -rm true || skip "no mount namespace here"; }; }
in_namespace() { WINE32_SHIM_DIR=$dir/shim unshare -rm sh -c 'mount --bind binfmt /proc/sys/fs/binfmt_misc && exec "$@"' sh "$@"; echo "status $?"; }
setup_left() { in_namespace "$src/tools/wine32/setup"; cut -d: -f2,3,7,8 binfmt/register; head -n1 binfmt/qemu-i386; }
)sh";
static const std::string OURS = "fake_entry /usr/bin/qemu-i386-static ", REGISTERED = "qemu-i386:M:/usr/bin/qemu-i386-static:F\n-1\n";

static const ScriptCase CASES[] = {
    // dpkg's status, not dpkg -s, decides: a package removed but not purged is missing.
    {"rc_package_is_missing", "printf 'Package: %s\\nVersion: 1\\nArchitecture: all\\nStatus: %s\\n\\n' g++ 'install ok installed' cmake 'deinstall ok config-files' > status\n"
     "DPKG_ADMINDIR=$dir as_user \"$src/tools/install-missing\" bench/run build; echo \"status $?\"",
     "bench/run: missing packages: cmake make; install them with:\n  sudo apt-get update && sudo apt-get install cmake make\nstatus 1\n"},
    // An enabled entry answers the question: it is read, never written, not even for a moment.
    {"enabled_entry_never_written", OURS + "F && in_namespace strace -f -qq -e trace=open,openat,creat -e signal=none -o strace.out "
     "\"$src/tools/wine32/runs-i386-natively\"\nawk '/binfmt_misc\\/qemu-i386/ { print /O_WRONLY|O_RDWR/ ? \"written\" : \"read\" }' strace.out",
     "status 1\nread\n"},
    // setup keeps its own entry and anyone else's, and replaces the one an earlier version made (FOC, shown as OCF).
    {"setup_keeps_its_entry", OURS + "F && setup_left", "status 0\nenabled\n"},
    {"setup_keeps_anothers_entry", "fake_entry /usr/libexec/qemu-binfmt/i386-binfmt-P POCF && setup_left",
     "setup: /proc/sys/fs/binfmt_misc/qemu-i386 is not this project's (interpreter /usr/libexec/qemu-binfmt/i386-binfmt-P, flags POCF): "
     "left as it is; 32-bit wine runs through it\nstatus 0\nenabled\n"},
    {"setup_replaces_its_old_entry", "[ -x /usr/bin/qemu-i386-static ] || skip 'no qemu-i386-static'\n" + OURS + "OCF && setup_left",
     "setup: removed /proc/sys/fs/binfmt_misc/qemu-i386 (interpreter /usr/bin/qemu-i386-static, flags OCF), which an earlier version registered\n"
     "setup: registered /proc/sys/fs/binfmt_misc/qemu-i386: i386 programs run through /usr/bin/qemu-i386-static\nstatus 0\n" + REGISTERED},
    // Build folders of root's in a checkout whose path has a space: the printed rm names them, word for word.
    {"rm_command_safe_to_paste", "[ \"$(id -u)\" = 0 ] || skip 'needs root, to own a build folder as another user'\n"
     "w=\"$dir/it's my work\"; mkdir \"$w\" && cp -r \"$src/run-tests\" \"$src/tools\" \"$w\" && mkdir \"$w/build-win\" && touch \"$w/build-win/x\" || exit\n"
     "as_user \"$w/run-tests\" > out 2>&1; echo \"status $?\"; eval \"set -- $(grep '^  sudo rm' out)\"; printf '%s\\n' \"$@\"",
     "status 1\nsudo\nrm\n-rf\n{dir}/it's my work/build-win\n"},
};

TEST_P(Scripts, PrintWhatTheyDid)
{
    Scratch scratch;
    Outcome run = run_program({"sh", "-c", PRELUDE + GetParam().script}, {{"dir", scratch.dir}, {"src", SOURCE_DIR}}, scratch);
    if (run.status == 77)
        GTEST_SKIP() << run.out;
    std::string expected = GetParam().expected, dir = "{dir}";
    if (expected.find(dir) != std::string::npos)
        expected.replace(expected.find(dir), dir.size(), scratch.dir);
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.status, 0);
}
INSTANTIATE_TEST_SUITE_P(, Scripts, testing::ValuesIn(CASES), [](const testing::TestParamInfo<ScriptCase> &info) { return info.param.name; });
