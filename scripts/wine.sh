# Wine and the virtual display, sourced by the driver and the test wrappers.
# Expects $top (the checkout); everything stays under $top/build.
build_root="$top/build"
dist_root="$top/dist"
prefix_dir="$build_root/wineprefix"
wine32_marker="$build_root/.wine32-unavailable"

say() { printf 'vexa: %s\n' "$*"; }
die() { printf 'vexa: %s\n' "$*" >&2; exit 1; }

wine32_installed() { dpkg -s wine32:i386 >/dev/null 2>&1; }
# Installed is not enough: some kernels cannot execute 32-bit programs at all.
wine32_present() { wine32_installed && /usr/lib/wine/wine --version >/dev/null 2>&1; }

arch_runnable() { [ "$1" != x86 ] || wine32_present; }
why_not_runnable() { cat "$wine32_marker" 2>/dev/null || echo "32-bit Wine is not available"; }

# The Wine loader for a program of one architecture.
wine_loader() { if [ "$1" = x86 ]; then echo /usr/lib/wine/wine; else echo /usr/lib/wine/wine64; fi; }

display_pid=""
# A virtual display of our own, never the user's desktop; VEXA_DISPLAY names one
# already started for us (the driver starts one for a whole test run).
start_display() {
  [ -n "$display_pid" ] && return 0
  if [ -n "${VEXA_DISPLAY:-}" ]; then
    export DISPLAY=$VEXA_DISPLAY
    return 0
  fi
  local n i
  for n in $(seq 90 160); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >>"$build_root/xvfb.log" 2>&1 &
    display_pid=$!
    for i in $(seq 1 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      sleep 0.1
    done
    if kill -0 "$display_pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
      export DISPLAY=":$n" VEXA_DISPLAY=":$n"
      return 0
    fi
    display_pid=""
  done
  die "could not start a virtual display (Xvfb)"
}

stop_display() {
  [ -n "$display_pid" ] || return 0
  kill "$display_pid" 2>/dev/null
  wait "$display_pid" 2>/dev/null
  display_pid=""
  unset DISPLAY VEXA_DISPLAY
}

wine_env() {
  export WINEPREFIX="${WINEPREFIX:-$prefix_dir}" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
}

# The prefix is made once; one made before 32-bit Wine was present lacks syswow64.
prepare_prefix() {
  wine_env
  local flavour=win64
  wine32_present && flavour=wow64
  if [ -f "$WINEPREFIX/.vexa-flavour" ] && [ "$(cat "$WINEPREFIX/.vexa-flavour")" != "$flavour" ]; then
    rm -rf "$WINEPREFIX"
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    say "creating the Wine prefix ($WINEPREFIX)"
    mkdir -p "$WINEPREFIX"
    /usr/lib/wine/wine64 wineboot -i >"$build_root/wineboot.log" 2>&1 || die "wineboot failed (build/wineboot.log)"
    wineserver -w
    echo "$flavour" >"$WINEPREFIX/.vexa-flavour"
  fi
}

# The prefix's own services start with its first program and inherit its
# output; started here with none, they cannot hold a test's output open (CTest
# waits for the end of every test's output).
start_wine_services() {
  /usr/lib/wine/wine64 wineboot </dev/null >/dev/null 2>&1
}

wine_started=0
# One display and one wineserver for everything that follows.
start_wine() {
  [ "$wine_started" = 1 ] && return 0
  mkdir -p "$build_root"
  start_display
  prepare_prefix
  wineserver -p
  start_wine_services
  export VEXA_WINE_STARTED=1
  wine_started=1
}

stop_wine() {
  if [ "$wine_started" = 1 ]; then
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    wine_started=0
    unset VEXA_WINE_STARTED
  fi
  stop_display
}

# A Unix path as the Windows path Wine gives it (drive Z: is the root).
windows_path() {
  local path
  path=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
  printf 'Z:%s' "${path//\//\\}"
}

# Registers the freshly built server of one architecture in the prefix. For all
# users: Wine's script host reads classes only from there (it does not merge the
# current user's classes in, as Windows does).
install_server() {
  local arch=$1 setup="$dist_root/$1/vexa-setup.exe"
  [ -f "$setup" ] || { say "no $setup: the build did not make the installer"; return 1; }
  "$(wine_loader "$arch")" "$setup" install --machine >"$build_root/install-$arch.log" 2>&1 ||
    { cat "$build_root/install-$arch.log" >&2; say "installing the $arch server failed"; return 1; }
}

# Leaves the prefix without a registration, as the installer's tests expect it.
uninstall_server() {
  "$(wine_loader "$1")" "$dist_root/$1/vexa-setup.exe" uninstall --machine >/dev/null 2>&1
}

# Runs a script with the script host of one architecture; its exit code is the script's.
run_script() {
  local arch=$1 file=$2
  shift 2
  local host='C:\windows\system32\cscript.exe'
  [ "$arch" = x86 ] && host='C:\windows\syswow64\cscript.exe'
  env LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8 ${script_timeout:+timeout "$script_timeout"} \
    "$(wine_loader "$arch")" "$host" //nologo "$(windows_path "$file")" "$@"
}

# Runs the demo against Notepad, printing its steps as they come unless quiet, and
# takes a screenshot (out/demo.png) while Notepad still shows what was typed.
# Returns the demo script's exit status.
run_demo() {
  local arch=$1 quiet=${2:-} log="$top/out/demo.log" pause="$build_root/demo-pause"
  mkdir -p "$top/out"
  rm -f "$top/out/demo.png" "$pause" "$log"
  install_server "$arch" || return 1
  : >"$log"
  script_timeout=180 run_script "$arch" "$top/examples/demo.js" "/pause:$(windows_path "$pause")" \
    </dev/null >"$log" 2>&1 &
  local demo=$! printer=""
  if [ -z "$quiet" ]; then
    tail -n +1 -f --pid="$demo" "$log" 2>/dev/null | tr -d '\r' &
    printer=$!
  fi
  while kill -0 "$demo" 2>/dev/null; do
    if grep -q 'ready for a screenshot' "$log" 2>/dev/null; then
      import -window root "$top/out/demo.png" 2>>"$build_root/screenshot.log" ||
        say "the screenshot failed (build/screenshot.log)"
      touch "$pause"
      break
    fi
    sleep 0.2
  done
  local status=0
  wait "$demo" || status=$?
  [ -n "$printer" ] && wait "$printer" 2>/dev/null
  uninstall_server "$arch"
  if [ "$status" = 0 ] && [ ! -s "$top/out/demo.png" ]; then
    say "the demo ran but left no screenshot"
    status=1
  fi
  return "$status"
}
