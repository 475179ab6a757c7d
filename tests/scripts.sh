#!/usr/bin/env bash
# tests/scripts.sh CASE: what the scripts around the build print and leave, in a folder of its own;
# status 77 skips it. Whatever acts on binfmt_misc runs in a mount namespace over a fake one.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
entry=/proc/sys/fs/binfmt_misc/qemu-i386

skip() { echo "skipped: $1"; exit 77; }
expect() {  # standard input must be $1
  local got
  got=$(cat)
  [ "$got" = "$1" ] || { printf 'expected:\n%s\nbut got:\n%s\n' "$1" "$got"; exit 1; }
}
fake_entry() {  # INTERPRETER FLAGS, with the preloaded library already built
  unshare -rm true || skip "no mount namespace here"
  mkdir -p binfmt shim/lib/i386-linux-gnu shim/lib/x86_64-linux-gnu
  touch binfmt/register shim/lib/{i386,x86_64}-linux-gnu/qemu_wine_fix.so
  printf 'enabled\ninterpreter %s\nflags: %s\n' "$@" >binfmt/qemu-i386
}
in_namespace() {
  WINE32_SHIM_DIR=$dir/shim unshare -rm sh -c 'mount --bind binfmt /proc/sys/fs/binfmt_misc && exec "$@"' \
    sh "$@" 2>&1 && echo "status 0" || echo "status $?"
}
setup_left() { in_namespace "$src/tools/wine32/setup"; cut -d: -f2,3,7,8 binfmt/register; head -n1 binfmt/qemu-i386; }

case $1 in
# dpkg's status decides: a package removed but not purged (rc) is missing.
rc_package_is_missing)
  printf 'Package: %s\nVersion: 1\nArchitecture: all\nStatus: %s\n\n' g++ 'install ok installed' \
    make 'deinstall ok config-files' >status
  DPKG_ADMINDIR=$dir "$src/tools/install-missing" --list build | expect $'cmake\nmake' ;;
# Without dpkg, the build's commands are looked for instead, and a missing one is named.
no_dpkg)
  mkdir path
  ln -s "$(command -v bash)" "$(command -v g++)" "$(command -v make)" path
  status=0
  PATH=$dir/path "$src/tools/install-missing" run-on-emulator build >out 2>&1 || status=$?
  expect "status 1: run-on-emulator: missing commands: cmake; install them with your system's package manager" \
    < <(echo "status $status: $(cat out)")
  ln -s "$(command -v cmake)" path
  PATH=$dir/path "$src/tools/install-missing" run-on-emulator build 2>&1 | expect "" ;;
# setup, where its own entry is enabled, reads binfmt_misc and never writes to it.
setup_never_writes_where_its_entry_is)
  fake_entry /usr/bin/qemu-i386-static F
  in_namespace strace -f -qq -e trace=open,openat,creat -e signal=none -o strace.out "$src/tools/wine32/setup" |
    expect "status 0"
  awk '/binfmt_misc/ { n++; w += /O_WRONLY|O_RDWR/ } END { print n ? w " writes" : "never read" }' strace.out |
    expect "0 writes" ;;
# Anyone else's entry stays as it is.
setup_keeps_anothers_entry)
  fake_entry /usr/libexec/qemu-binfmt/i386-binfmt-P POCF
  setup_left | expect "setup: $entry is not this project's (interpreter /usr/libexec/qemu-binfmt/i386-binfmt-P, \
flags POCF): left as it is; 32-bit wine runs through it
status 0
enabled" ;;
# The entry an earlier version registered (FOC, which the kernel shows as OCF) is replaced.
setup_replaces_its_old_entry)
  [ -x /usr/bin/qemu-i386-static ] || skip "no qemu-i386-static"
  fake_entry /usr/bin/qemu-i386-static OCF
  setup_left | expect "setup: removed $entry (interpreter /usr/bin/qemu-i386-static, flags OCF), which an earlier \
version registered
setup: registered $entry: i386 programs run through /usr/bin/qemu-i386-static
status 0
qemu-i386:M:/usr/bin/qemu-i386-static:F
-1" ;;
# Root's build folders at a path with a space and a quote: the rm each script prints, parsed by a shell, names its own.
rm_command_safe_to_paste)
  [ "$(id -u)" = 0 ] || skip "needs root, to own a build folder as another user"
  work="$dir/it's my work"
  chmod 755 .
  mkdir "$work" "$work/build-win" "$work/build"
  cp -r "$src/run-tests" "$src/run-on-emulator" "$src/tools" "$work"
  touch "$work/build-win/x" "$work/build/x"
  for script in run-tests run-on-emulator; do
    status=0
    setpriv --reuid 65534 --regid 65534 --clear-groups env HOME=/ "$work/$script" >out 2>&1 || status=$?
    eval "set -- $(grep '^  sudo rm' out)"
    printf '%s\n' "status $status" "${@#"$dir"}"
  done | expect $'status 1\nsudo\nrm\n-rf\n/it\'s my work/build-win\nstatus 1\nsudo\nrm\n-rf\n/it\'s my work/build' ;;
# CI proves each Debian stable that the machine is not: its choice on a Debian 12, a 13 and another Linux.
ci_choice)
  release() { printf '%s\n' "$@" >os-release; CI_OS_RELEASE=$dir/os-release bash "$src/.ci/run" --choice; }
  {
    release 'PRETTY_NAME="Debian GNU/Linux 12 (bookworm)"' 'VERSION_ID="12"' ID=debian
    release "ID='debian'" VERSION_ID=13
    release 'PRETTY_NAME="Debian GNU/Linux trixie/sid"' ID=debian
  } | expect "ci: the tests run on this machine, then in a fresh Debian 13 (trixie), as this machine is Debian 12 \
(bookworm)
ci: the tests run on this machine, then in a fresh Debian 12 (bookworm), as this machine is Debian 13 (trixie)
ci: the tests run on this machine, then in a fresh Debian 12 (bookworm) and Debian 13 (trixie), as this machine is \
Debian GNU/Linux trixie/sid, neither Debian 12 nor 13" ;;
*) echo "scripts.sh: no case $1" >&2; exit 2 ;;
esac
