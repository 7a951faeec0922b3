# Shared by the scripts: say what is happening, install what is missing.

say() { printf '\n==> %s\n' "$*" >&2; }

# need_packages PKG...: installs the Debian packages that are not installed yet
# (apt-get when root), or says which to install and fails.
need_packages() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -eq 0 ]; then
    say "installing ${missing[*]}"
    if [ -z "${APT_UPDATED:-}" ]; then
      apt-get update -qq
      APT_UPDATED=1
    fi
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  else
    echo "Please install: sudo apt-get install ${missing[*]}" >&2
    return 1
  fi
}

# The native build: compiler, CMake, GoogleTest, Google Benchmark; locale sources, from which a test
# builds a decimal-comma locale to show the number formats stay in "C"; pkg-config, with which
# a test builds the examples against the installed libraries; strace, which shows a test the
# order of the syncs and renames of a capture's files.
BASE_PACKAGES=(g++ cmake make libgtest-dev libgmock-dev libbenchmark-dev locales pkgconf strace)

# The guest the driver tests boot (tests/drivers): QEMU, whose emulation needs no KVM, busybox
# for the guest's shell, cpio for its initramfs.
GUEST_PACKAGES=(qemu-system-x86 busybox-static cpio)

# configure_and_build DIR [CMAKE ARGS...]
configure_and_build() {
  local dir=$1
  shift
  cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$(nproc)"
}
