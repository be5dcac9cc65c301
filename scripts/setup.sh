#!/usr/bin/env bash
# Installs what building and testing Kalvor and Lumeko need on Debian 12, and only what is missing.
# Safe to run again. Runs as root, or through sudo when started by another user.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO="sudo"; else
    echo "setup: run as root or install sudo" >&2; exit 1; fi
fi

# The Windows tests run as a 64-bit Windows build under wine64: the machines we build on cannot
# execute 32-bit code, so 32-bit Wine (wine32, with the i386 architecture) is not installed.

PACKAGES=(
  cmake make ninja-build g++ clang libclang-rt-14-dev clang-format pkg-config
  googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  wine wine64 xvfb xauth locales
  espeak-ng libespeak-ng-dev libsoxr-dev python3 sox
  libao-dev man-db nsis
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get update -q
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

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
