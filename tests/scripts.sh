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
# The root step's installs of each NEED (none of their packages installed), one call each as run-tests makes
# them, as root, against a fake apt-get whose update fails UPDATE_FAILS times as a mirror in sync does and
# whose install answers INSTALL: ok, held (unresolvable while the security suite is among its sources) or
# nowhere (no source has make, nor cmake 3.25). Prints the root step's own lines, the status of each call,
# the apt commands and sleeps in their order, with the sources given to apt, and the temporary folders left.
apt_root_step() {
  mkdir path admin tmp
  : >admin/status
  cat >path/apt-get <<'FAKE'
#!/bin/bash
parts=""
for arg; do case $arg in Dir::Etc::SourceParts=*) parts=${arg#*=} ;; esac; done
echo "apt-get $*" | sed "s|$TMPDIR/[^ ]*|TMP|g" >>"$APT_LOG"
[ -z "$parts" ] || sed 's/^/  | /' "$parts"/* >>"$APT_LOG"
case $* in
update)
  [ "$(grep -c '^apt-get update$' "$APT_LOG")" -gt "$UPDATE_FAILS" ] && exit 0
  echo "Err:6 http://mirror.invalid/debian-security bookworm-security/main i386 Packages"
  echo "  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 192.0.2.1 80]"
  echo "E: Some index files failed to download. They have been ignored, or old ones used instead." >&2
  exit 100 ;;
indextargets)
  for target in "debian bookworm main amd64" "debian bookworm main i386" "debian bookworm main amd64 Translations" \
    "debian-security bookworm-security main amd64"; do
    set -- $target
    printf '%s\n' "Description: http://mirror.invalid/$1 $2/$3 $4 ${5:-Packages}" "Identifier: ${5:-Packages}" \
      "Trusted: yes" "Architecture: $4" "Component: $3" "Release: $2" "Repo-URI: http://mirror.invalid/$1/" \
      "Site: http://mirror.invalid/$1" "Target-Of: deb" ""
  done ;;
*install*)
  case $INSTALL in
  held) [ -n "$parts" ] && ! grep -q security "$parts"/* && exit 0
    echo "E: Unable to correct problems, you have held broken packages." >&2 ;;
  nowhere) printf '%s\n' "E: Unable to locate package make" "E: Version '3.25' for 'cmake' was not found" >&2 ;;
  *) exit 0 ;;
  esac
  exit 100 ;;
esac
FAKE
  printf '#!/bin/sh\necho "sleep $*" >>"$APT_LOG"\n' >path/sleep
  printf '#!/bin/sh\n[ "$*" = -u ] && echo 0 || exec %q "$@"\n' "$(command -v id)" >path/id
  chmod +x path/*
  local fails=$1 install=$2 need status
  shift 2
  for need; do
    status=0
    PATH=$dir/path:$PATH DPKG_ADMINDIR=$dir/admin TMPDIR=$dir/tmp APT_LOG=$dir/log UPDATE_FAILS=$fails \
      INSTALL=$install "$src/tools/install-missing" --update-once "$dir/updated" run-tests "$need" >out 2>&1 ||
      status=$?
    grep '^run-tests: ' out
    echo "status $status"
  done
  cat log
  echo "left in TMPDIR: $(ls tmp)"
}

# What the root step says and runs where the update fails as a mirror in sync does, and where it leaves a source out.
updates_failing=$'apt-get update\nsleep 20\napt-get update\nsleep 20\napt-get update\nsleep 20\napt-get update'
fetch_failed="run-tests: apt could not fetch these indexes:
run-tests:   http://mirror.invalid/debian-security bookworm-security/main i386 Packages (File has unexpected size \
(374820 != 376004). Mirror sync in progress?)
run-tests: installing from the lists that apt has"
left_out="run-tests: apt cannot install from those lists; once more, leaving out http://mirror.invalid/debian-security \
bookworm-security, whose index could not be fetched, for this one install
run-tests: installed without http://mirror.invalid/debian-security bookworm-security; once the mirror is whole, \
bring in its updates with: sudo apt-get update && sudo apt-get upgrade"
installs() {  # the apt commands of an install that the lists apt has cannot resolve
  echo "apt-get install -y --no-install-recommends $*"
  echo "apt-get indextargets"
  echo "apt-get -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts=TMP -o Dir::Cache::pkgcache= \
-o Dir::Cache::srcpkgcache= install -y --no-install-recommends $*"
}

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
# A mirror in sync: the update is tried 4 times, 20 s apart, then the install goes on with the lists apt has.
apt_mirror_in_sync)
  apt_root_step 9 ok build | expect "run-tests: installing g++ cmake make
run-tests: apt-get update failed (status 100); trying again in 20 s (2 of 4)
run-tests: apt-get update failed (status 100); trying again in 20 s (3 of 4)
run-tests: apt-get update failed (status 100); trying again in 20 s (4 of 4)
run-tests: apt-get update failed 4 times, 20 s apart (status 100)
$fetch_failed
run-tests: once the mirror is whole, bring in what the update missed with: sudo apt-get update && sudo apt-get upgrade
status 0
$updates_failing
apt-get install -y --no-install-recommends g++ cmake make
left in TMPDIR: " ;;
# A mirror that recovers within the tries: nothing is left out, nothing more is said.
apt_mirror_recovers)
  apt_root_step 1 ok build qemu | expect "run-tests: installing g++ cmake make
run-tests: apt-get update failed (status 100); trying again in 20 s (2 of 4)
status 0
run-tests: installing qemu-user-static gcc-multilib
status 0
apt-get update
sleep 20
apt-get update
apt-get install -y --no-install-recommends g++ cmake make
apt-get install -y --no-install-recommends qemu-user-static gcc-multilib
left in TMPDIR: " ;;
# An install that the remaining lists cannot resolve: once more, without the source whose index failed;
# the second call of the run knows it without updating again.
apt_source_left_out)
  apt_root_step 9 held build qemu | grep -v -e 'update failed' -e '^  | ' | expect "run-tests: installing g++ cmake make
$fetch_failed
$left_out
status 0
run-tests: installing qemu-user-static gcc-multilib
$left_out
status 0
$updates_failing
$(installs g++ cmake make)
$(installs qemu-user-static gcc-multilib)
left in TMPDIR: " ;;
# A package that no source has: the root step stops with its own words and status 1. The sources given to
# apt for the install that leaves a source out: apt's own, less the security suite, whatever its architectures.
apt_package_in_no_source)
  apt_root_step 9 nowhere build | sed -n '/once more/,$p' | expect "${left_out%%$'\n'*}
run-tests: cannot install g++ cmake make:
run-tests:   make: no source that apt can read has it
run-tests:   cmake 3.25: no source that apt can read has this version
status 1
$updates_failing
$(installs g++ cmake make)
  | Types: deb
  | URIs: http://mirror.invalid/debian/
  | Suites: bookworm
  | Components: main
  | Architectures: amd64 i386
  | Trusted: yes
  | 
left in TMPDIR: " ;;
*) echo "scripts.sh: no case $1" >&2; exit 2 ;;
esac
