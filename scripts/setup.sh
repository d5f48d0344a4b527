#!/usr/bin/env bash
# Installs what the build and the tests need (Debian packages through apt-get,
# nothing else); quiet and idempotent when everything is there. Finds out whether
# this machine can execute 32-bit programs and records it when it cannot.
set -u -o pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$top/scripts/wine.sh"

host_packages=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 xvfb googletest
               cmake make x11-apps imagemagick wixl msitools zip unzip
               clang libclang-rt-14-dev)
i386_packages=(wine32:i386 libx11-6:i386 libxext6:i386 libxcomposite1:i386
               libxcursor1:i386 libxfixes3:i386 libxi6:i386 libxinerama1:i386
               libxrandr2:i386 libxrender1:i386)

host_tools_present() {
  command -v i686-w64-mingw32-g++-posix >/dev/null &&
  command -v x86_64-w64-mingw32-g++-posix >/dev/null &&
  command -v wine >/dev/null && [ -x /usr/lib/wine/wine64 ] &&
  command -v Xvfb >/dev/null && command -v xwd >/dev/null &&
  command -v convert >/dev/null &&
  command -v wixl >/dev/null && command -v zip >/dev/null && command -v unzip >/dev/null &&
  [ -f /usr/src/googletest/CMakeLists.txt ] &&
  command -v cmake >/dev/null && command -v make >/dev/null &&
  command -v clang++ >/dev/null && fuzzer_runtime_present
}

# libFuzzer and the sanitizer runtimes of the native build come with clang's runtime package.
fuzzer_runtime_present() {
  compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null
}

note_wine32_unrunnable() {
  echo "this machine's kernel cannot execute 32-bit programs, so 32-bit Wine cannot start" >"$wine32_marker"
}

# The security suite's i386 index has been seen out of sync with the main
# suite; pinning it down lets amd64 and i386 copies of a library come from the
# same suite for the install.
pin_file=/etc/apt/preferences.d/vexa-pin-security
pin_security() {
  printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' >"$pin_file"
}
unpin_security() { rm -f "$pin_file"; }

# dpkg has been seen refusing a shared conffile of libpulse0 that is identical
# for both architectures; forcing that one package over it finishes the install.
repair_pulse_overwrite() {
  local deb
  deb=$(ls /var/cache/apt/archives/libpulse0_*_i386.deb 2>/dev/null | head -n 1)
  [ -n "$deb" ] || return 1
  dpkg -i --force-overwrite "$deb" >/dev/null 2>&1
  DEBIAN_FRONTEND=noninteractive apt-get -f install -y -q >/dev/null 2>&1
}

apt_install() {
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@"
}

install_packages() {
  local need_32=$1 log="$build_root/setup.log"
  [ "$(id -u)" = 0 ] || die "setup needs root to install packages with apt-get"
  say "installing missing packages (log: build/setup.log)"
  if [ "$need_32" = 1 ]; then
    dpkg --add-architecture i386
    apt-get update -q >>"$log" 2>&1 || true   # a stale index elsewhere does not stop us
    pin_security
    if ! apt_install "${host_packages[@]}" "${i386_packages[@]}" >>"$log" 2>&1; then
      repair_pulse_overwrite >>"$log" 2>&1 || true
    fi
    unpin_security
    if wine32_installed && ! wine32_present; then
      note_wine32_unrunnable
    elif ! wine32_present; then
      echo "wine32:i386 could not be installed from the package archive (see build/setup.log)" >"$wine32_marker"
    fi
  else
    apt-get update -q >>"$log" 2>&1 || true
  fi
  if ! host_tools_present; then
    apt_install "${host_packages[@]}" >>"$log" 2>&1 ||
      die "apt-get could not install the build tools; see build/setup.log"
  fi
  host_tools_present || die "build tools still missing after install; see build/setup.log"
}

main() {
  local need_host=0 need_32=0
  # Every command's logs go here, also on a machine that needs nothing installed.
  mkdir -p "$build_root"
  host_tools_present || need_host=1
  if ! wine32_present && [ ! -f "$wine32_marker" ]; then
    if wine32_installed; then note_wine32_unrunnable; else need_32=1; fi
  fi
  if [ "$need_host" = 1 ] || [ "$need_32" = 1 ]; then
    install_packages "$need_32"
  fi
  [ -f "$wine32_marker" ] && say "32-bit tests skipped: $(cat "$wine32_marker")"
  return 0
}

main "$@"
