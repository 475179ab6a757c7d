// The scripts around the build. Each case is a bash script run in a folder of its
// own ($dir; $src is the checkout) that prints what it saw; status 77 skips it, with
// the reason. Whatever acts on binfmt_misc runs in a mount namespace over a fake one.
#include "roads.h"

struct ScriptCase {
    std::string name, script, expected;
};
class Scripts : public testing::TestWithParam<ScriptCase> {};

static const std::string PRELUDE = R"sh(exec 2>&1; cd "$dir" || exit
skip() { echo "$1"; exit 77; }
fake_entry() { unshare -rm true || skip "no mount namespace here"; mkdir -p binfmt shim/lib/i386-linux-gnu shim/lib/x86_64-linux-gnu && touch binfmt/register \
  shim/lib/i386-linux-gnu/qemu_wine_fix.so shim/lib/x86_64-linux-gnu/qemu_wine_fix.so && printf 'enabled\ninterpreter %s\nflags: %s\n' "$@" > binfmt/qemu-i386; }
in_namespace() { WINE32_SHIM_DIR=$dir/shim unshare -rm sh -c 'mount --bind binfmt /proc/sys/fs/binfmt_misc && exec "$@"' sh "$@"; echo "status $?"; }
setup_left() { in_namespace "$src/tools/wine32/setup"; cut -d: -f2,3,7,8 binfmt/register; head -n1 binfmt/qemu-i386; }
)sh";
static const std::string OURS = "fake_entry /usr/bin/qemu-i386-static ", ENTRY = "/proc/sys/fs/binfmt_misc/qemu-i386";

static const ScriptCase CASES[] = {
    // dpkg's status decides: a package removed but not purged (rc) is missing.
    {"rc_package_is_missing",
     "printf 'Package: %s\\nVersion: 1\\nArchitecture: all\\nStatus: %s\\n\\n' g++ 'install ok installed' "
     "make 'deinstall ok config-files' > status && DPKG_ADMINDIR=$dir \"$src/tools/install-missing\" --list build",
     "cmake\nmake\n"},
    // setup, where its own entry is enabled, reads binfmt_misc, never writes to it: not for a probe, not to register
    // again. It leaves anyone else's entry as it is, and replaces the one an earlier version made (FOC, shown as OCF).
    {"setup_never_writes_where_its_entry_is",
     OURS + "F && in_namespace strace -f -qq -e trace=open,openat,creat -e signal=none -o strace.out "
            "\"$src/tools/wine32/setup\"\nawk '/binfmt_misc/ { n++; w += /O_WRONLY|O_RDWR/ } END { print n ? w \" "
            "writes\" : \"never read\" }' strace.out",
     "status 0\n0 writes\n"},
    {"setup_keeps_anothers_entry", "fake_entry /usr/libexec/qemu-binfmt/i386-binfmt-P POCF && setup_left",
     "setup: " + ENTRY +
         " is not this project's "
         "(interpreter /usr/libexec/qemu-binfmt/i386-binfmt-P, flags POCF): left as it is; 32-bit wine runs through "
         "it\nstatus 0\nenabled\n"},
    {"setup_replaces_its_old_entry",
     "[ -x /usr/bin/qemu-i386-static ] || skip 'no qemu-i386-static'\n" + OURS + "OCF && setup_left",
     "setup: removed " + ENTRY +
         " (interpreter /usr/bin/qemu-i386-static, flags OCF), which an earlier version registered\nsetup: "
         "registered " +
         ENTRY +
         ": "
         "i386 programs run through /usr/bin/qemu-i386-static\nstatus "
         "0\nqemu-i386:M:/usr/bin/qemu-i386-static:F\n-1\n"},
    // Root's build folder in a checkout whose path has a space and a quote: the printed rm, parsed by a shell, names
    // it.
    {"rm_command_safe_to_paste",
     "[ \"$(id -u)\" = 0 ] || skip 'needs root, to own a build folder as another user'\nw=\"$dir/it's my work\"; chmod "
     "755 . && "
     "mkdir \"$w\" && cp -r \"$src/run-tests\" \"$src/tools\" \"$w\" && mkdir \"$w/build-win\" && touch "
     "\"$w/build-win/x\" || exit\nsetpriv --reuid 65534 "
     "--regid 65534 --clear-groups env HOME=/ \"$w/run-tests\" > out 2>&1; echo \"status $?\"; eval \"set -- $(grep '^ "
     " sudo rm' out)\"; printf '%s\\n' \"${@#\"$dir\"}\"",
     "status 1\nsudo\nrm\n-rf\n/it's my work/build-win\n"},
};

TEST_P(Scripts, PrintWhatTheyDid)
{
    Scratch scratch;
    Outcome run =
        run_program({"bash", "-c", PRELUDE + GetParam().script}, {{"dir", scratch.dir}, {"src", SOURCE_DIR}}, scratch);
    if (run.status == 77)
        GTEST_SKIP() << run.out;
    EXPECT_EQ(run.out, GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(, Scripts, testing::ValuesIn(CASES),
                         [](const testing::TestParamInfo<ScriptCase> &info) { return info.param.name; });
