#!/usr/bin/env bash
# Installs what building and testing Kalvor and Lumeko need on Debian 12, and only what is missing.
# Safe to run again. Runs as root, or through sudo when started by another user.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO="sudo"; else
    echo "setup: run as root or install sudo" >&2; exit 1; fi
fi

PACKAGES=(
  cmake make ninja-build g++ clang libclang-rt-14-dev clang-format pkg-config
  googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  wine wine64 xvfb xauth locales
  espeak-ng libespeak-ng-dev libsoxr-dev python3 sox
  libao-dev man-db nsis procps
)

# Other builds on the machine may hold the package manager's lock for a while.
APT=(apt-get -q -o DPkg::Lock::Timeout=900)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

install_missing() {  # install_missing PACKAGE...
  local missing=() p
  for p in "$@"; do installed "$p" || missing+=("$p"); done
  [ "${#missing[@]}" -gt 0 ] || return 0
  echo "setup: installing ${missing[*]}"
  $SUDO "${APT[@]}" update
  $SUDO env DEBIAN_FRONTEND=noninteractive "${APT[@]}" install -y --no-install-recommends "${missing[@]}"
}

install_missing "${PACKAGES[@]}"

# The shipped Windows binaries are 32-bit, and so is 32-bit Wine (wine32:i386), which runs them.
# Where the kernel refuses 32-bit code (IA-32 emulation off), i386 programs run under qemu's user-mode
# emulation instead, through a binfmt_misc handler. The handler comes first: the install scripts of
# the i386 packages run i386 programs. KALVOR_I386_EMULATION=1 registers it even where the kernel
# could run them itself (to try the emulated path there); binfmt_misc then sends every i386 program
# of the machine (or of the user namespace it is mounted in) through qemu.
binfmt=/proc/sys/fs/binfmt_misc
i386_handler() {  # prints the name of an enabled binfmt_misc handler for i386 programs
  local f
  for f in "$binfmt"/*; do
    [ -f "$f" ] && grep -qx enabled "$f" 2>/dev/null && grep -q '^interpreter .*qemu-i386' "$f" &&
      { basename "$f"; return 0; }
  done
  return 1
}
runs_i386() {  # can this kernel (or a handler) run i386 code? A 93-byte i386 program that exits 0
  local probe
  probe=$(mktemp) || return 1
  base64 -d >"$probe" <<<'f0VMRgEBAQAAAAAAAAAAAAIAAwABAAAAVIAECDQAAAAAAAAAAAAAADQAIAABAAAAAAAAAAEAAAAAAAAAAIAECACABAhdAAAAXQAAAAUAAAAAEAAAuAEAAAAx282A'
  chmod +x "$probe"
  local rc=0
  "$probe" 2>/dev/null || rc=$?
  rm -f "$probe"
  return $rc
}
if ! i386_handler >/dev/null && { [ "${KALVOR_I386_EMULATION:-0}" = 1 ] || ! runs_i386; }; then
  install_missing qemu-user-static
  if [ ! -e "$binfmt/register" ]; then
    $SUDO mount -t binfmt_misc binfmt_misc "$binfmt" ||
      { echo "setup: cannot mount binfmt_misc on $binfmt" >&2; exit 1; }
  fi
  # A disabled or stale handler of the same name would make the registration fail: replace it.
  [ -e "$binfmt/qemu-i386" ] && echo -1 | $SUDO tee "$binfmt/qemu-i386" >/dev/null
  # ELF, 32-bit, little endian, executable or shared object, i386. Flag F opens the interpreter
  # now, so it also serves programs in other mount namespaces and chroots.
  echo ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' |
    $SUDO tee "$binfmt/register" >/dev/null
  i386_handler >/dev/null && runs_i386 || { echo "setup: the i386 emulation does not work" >&2; exit 1; }
  echo "setup: i386 programs run under qemu-i386-static (binfmt_misc handler qemu-i386)"
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  $SUDO "${APT[@]}" update
fi
# The preloader reserves Wine's address space before anything else is loaded; without it every
# emulated 32-bit process first spends a minute of CPU on mapping it piece by piece.
install_missing wine32:i386 wine32-preloader:i386

# Wine maps the POSIX locale onto the ANSI code page: tr_TR gives 1254, en_US gives 1252.
need_locale=()
for l in tr_TR.UTF-8 en_US.UTF-8; do
  if ! locale -a 2>/dev/null | grep -qix "${l/UTF-8/utf8}"; then need_locale+=("$l"); fi
done
if [ "${#need_locale[@]}" -gt 0 ]; then
  for l in "${need_locale[@]}"; do
    grep -q "^$l UTF-8" /etc/locale.gen 2>/dev/null || echo "$l UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
  done
  echo "setup: generating locales ${need_locale[*]}"
  $SUDO locale-gen >/dev/null
fi
echo "setup: all set"
