#!/usr/bin/env bash
# Tests of the release packages under Wine: packaging/test_packages.sh TOP_DIR
# Runs in a prefix and display the caller has started (WINEPREFIX, DISPLAY set).
# Installs and removes the x64 installer and the archive's x64 registration,
# installs and removes the x86 installer without loading its module (32-bit
# programs may not run here), reads the version resources back, and checks that
# the shipped files are stripped and name their debug files in the symbols archive.
# Ends with one line "packages: N passed, N failed"; exits non-zero on failure.
set -u -o pipefail

top=$(cd "${1:?usage: packaging/test_packages.sh TOP_DIR}" && pwd)
: "${WINEPREFIX:?WINEPREFIX must name the running Wine prefix}"
export WINEDEBUG=${WINEDEBUG:--all}
wine64=/usr/lib/wine/wine64
version=$(tr -d ' \t\r\n' <"$top/VERSION")
class='{8F4C7100-3C8F-46D6-878E-3F70A0BFBC7B}'
progid=Vexa.Server
msi_x64="$top/dist/Vexa-$version-x64.msi"
msi_x86="$top/dist/Vexa-$version-x86.msi"
zipfile="$top/dist/Vexa-$version-windows.zip"
symbols_zip="$top/dist/Vexa-$version-symbols.zip"
mapfile -t shipped <"$top/packaging/shipped.txt"

passed=0
failed=0
pass() { passed=$((passed + 1)); printf 'packages: ok     %s\n' "$*"; }
fail() { failed=$((failed + 1)); printf 'packages: FAILED %s\n' "$*"; }
check() { local what=$1; shift; if "$@"; then pass "$what"; else fail "$what"; fi; }
finish() {
  echo "packages: $passed passed, $failed failed"
  [ "$failed" = 0 ] && [ "$passed" -gt 0 ]
  exit $?
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A Unix path as Wine names it (drive Z: is the root).
winpath() { local p=$1; printf 'Z:%s' "${p//\//\\}"; }
# The prefix's drive C: as a Unix directory.
drive_c="$WINEPREFIX/drive_c"

# The default value of a key, or nothing when the key is absent. $3: /reg:32 or empty.
reg_default() {
  "$wine64" reg query "$1" /ve ${2:+"$2"} 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *(Default) *REG_SZ *//p'
}
reg_value() {
  "$wine64" reg query "$1" /v "$2" ${3:+"$3"} 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$2 *REG_SZ *//p"
}
key_absent() { ! "$wine64" reg query "$1" ${2:+"$2"} >/dev/null 2>&1; }

# Checks every entry of a registration against the module path $3. $1 root
# (HKLM/HKCU), $2 view flag or empty.
check_registered() {
  local root=$1 view=$2 module=$3 label=$4
  local classkey="$root\\Software\\Classes\\CLSID\\$class"
  local got
  got=$(reg_default "$classkey\\InprocServer32" "$view")
  check "$label: InprocServer32 names $module (found '$got')" [ "$got" = "$module" ]
  got=$(reg_value "$classkey\\InprocServer32" ThreadingModel "$view")
  check "$label: ThreadingModel Apartment (found '$got')" [ "$got" = Apartment ]
  got=$(reg_default "$classkey\\ProgID" "$view")
  check "$label: class names $progid (found '$got')" [ "$got" = "$progid" ]
  got=$(reg_default "$root\\Software\\Classes\\$progid\\CLSID" "$view")
  check "$label: $progid names the class (found '$got')" [ "$got" = "$class" ]
}

check_unregistered() {
  local root=$1 view=$2 label=$3
  check "$label: class key removed" key_absent "$root\\Software\\Classes\\CLSID\\$class" "$view"
  check "$label: $progid removed" key_absent "$root\\Software\\Classes\\$progid" "$view"
}

# Creates the object through the registry as a user's script does and prints
# what version() answers; a script error stops Wine's host silently, so the
# result line is what counts.
cat >"$work/version.js" <<'EOF'
try {
    var server = new ActiveXObject("Vexa.Server");
    WScript.Echo("version-result: " + server.version());
} catch (e) {
    WScript.Echo("version-error: " + e.message);
    WScript.Quit(1);
}
EOF
script_version() {
  timeout 120 "$wine64" 'C:\windows\system32\cscript.exe' //nologo "$(winpath "$work/version.js")" </dev/null 2>&1 |
    tr -d '\r' | sed -n 's/^version-result: //p'
}

# The installed products of one architecture's package, by display name.
installed_products() {
  "$wine64" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' |
    grep -c "DisplayName *REG_SZ *Vexa .*($1)"
}

msiexec() { timeout 300 "$wine64" msiexec "$@" </dev/null >/dev/null 2>&1; }

for file in "$msi_x64" "$msi_x86" "$zipfile" "$symbols_zip"; do
  [ -f "$file" ] || { fail "${file#"$top"/} is missing: run the packaging first"; finish; }
done

# ---------------------------------------------------------------- x64 installer
dir64="$drive_c/Program Files/Vexa"
msiexec /i "$(winpath "$msi_x64")" /qn
check "x64 msi: silent install exits 0" [ $? = 0 ]
for file in "${shipped[@]}"; do
  check "x64 msi: Program Files\\Vexa\\$file installed" [ -f "$dir64/$file" ]
done
check_registered HKLM "" 'C:\Program Files\Vexa\Vexa.dll' "x64 msi"
got=$(script_version)
check "x64 msi: a script creates $progid, version() is '$got'" [ "$got" = "$version" ]

# A newer package replaces the installed one instead of joining it.
minor_text=${version#*.}
newer_version=$(printf '%s.%0*d' "${version%%.*}" "${#minor_text}" $((10#$minor_text + 1)))
if (cd "$top" && wixl -a x64 -D Arch=x64 -D Version="$newer_version" -D Bin=dist/x64 \
      -D ProductCode=6A1D04E2-93B7-4C55-8F0E-2B7C41D9E380 \
      -o "$work/newer.msi" packaging/vexa.wxs) >/dev/null 2>&1; then
  msiexec /i "$(winpath "$work/newer.msi")" /qn
  check "x64 msi: upgrade to $newer_version exits 0" [ $? = 0 ]
  count=$(installed_products 64-bit)
  check "x64 msi: one product after the upgrade (found $count)" [ "$count" = 1 ]
  check "x64 msi: upgraded product is $newer_version" \
    bash -c "'$wine64' reg query 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall' /s 2>/dev/null |
             tr -d '\\r' | grep -q 'DisplayName *REG_SZ *Vexa $newer_version (64-bit)'"
  check_registered HKLM "" 'C:\Program Files\Vexa\Vexa.dll' "x64 msi after upgrade"
  msiexec /x "$(winpath "$work/newer.msi")" /qn
  check "x64 msi: silent uninstall of the upgrade exits 0" [ $? = 0 ]
else
  fail "x64 msi: wixl could not build a newer package for the upgrade test"
  msiexec /x "$(winpath "$msi_x64")" /qn
  check "x64 msi: silent uninstall exits 0" [ $? = 0 ]
fi
check_unregistered HKLM "" "x64 msi uninstalled"
check "x64 msi uninstalled: Program Files\\Vexa removed" [ ! -e "$dir64" ]
count=$(installed_products 64-bit)
check "x64 msi uninstalled: no product left (found $count)" [ "$count" = 0 ]
got=$(script_version)
check "x64 msi uninstalled: a script can no longer create $progid" [ -z "$got" ]

# ---------------------------------------------------------------- x86 installer
# Only what the installer does: a 64-bit msiexec installs the 32-bit package
# into the 32-bit folder and registry view as on Windows.
dir32="$drive_c/Program Files (x86)/Vexa"
msiexec /i "$(winpath "$msi_x86")" /qn
check "x86 msi: silent install exits 0" [ $? = 0 ]
for file in "${shipped[@]}"; do
  check "x86 msi: Program Files (x86)\\Vexa\\$file installed" [ -f "$dir32/$file" ]
done
check_registered HKLM /reg:32 'C:\Program Files (x86)\Vexa\Vexa.dll' "x86 msi (32-bit view)"
check "x86 msi: nothing in the 64-bit view" key_absent "HKLM\\Software\\Classes\\CLSID\\$class" /reg:64
msiexec /x "$(winpath "$msi_x86")" /qn
check "x86 msi: silent uninstall exits 0" [ $? = 0 ]
check_unregistered HKLM /reg:32 "x86 msi uninstalled"
check "x86 msi uninstalled: Program Files (x86)\\Vexa removed" [ ! -e "$dir32" ]

# ---------------------------------------------------------------- archive
unzip -q "$zipfile" -d "$work/zip" || fail "archive: unzip failed"
root="$work/zip/Vexa-$version"
for file in README.md install.cmd uninstall.cmd examples/demo.js "${shipped[@]/#/x86/}" "${shipped[@]/#/x64/}"; do
  check "archive: holds $file" [ -f "$root/$file" ]
done
# Per-user registrations are invisible to Wine's script hosts, so the entries
# themselves are checked.
run_cmd() { (cd "$root" && timeout 120 "$wine64" cmd /c "$1" x64 </dev/null >"$work/$1.log" 2>&1); }
run_cmd install.cmd
check "archive: install.cmd x64 exits 0" [ $? = 0 ]
check_registered HKCU "" "$(winpath "$root/x64/Vexa.dll")" "archive"
run_cmd uninstall.cmd
check "archive: uninstall.cmd x64 exits 0" [ $? = 0 ]
check_unregistered HKCU "" "archive uninstalled"

# ---------------------------------------------------------------- version resources
if x86_64-w64-mingw32-g++-posix -std=c++20 -municode -static -O1 -o "$work/version_check.exe" \
     "$top/packaging/version_check.cpp" -lversion >"$work/compile.log" 2>&1; then
  major=${version%%.*}
  minor=$((10#${version#*.}))
  for file in "${shipped[@]/#/x86/}" "${shipped[@]/#/x64/}"; do
    out=$("$wine64" "$work/version_check.exe" "$(winpath "$root/$file")" 2>&1 | tr -d '\r')
    name=${file#*/}
    check "version of $file: file version $version" grep -qx "FileVersion=$version" <<<"$out"
    check "version of $file: product version $version" grep -qx "ProductVersion=$version" <<<"$out"
    check "version of $file: fixed file and product version $major.$minor.0.0" \
      bash -c "grep -qx 'fixed $major.$minor.0.0' <<<\"\$1\" && grep -qx 'fixed-product $major.$minor.0.0' <<<\"\$1\"" _ "$out"
    check "version of $file: product name Vexa" grep -qx "ProductName=Vexa" <<<"$out"
    check "version of $file: a description" grep -qE "^FileDescription=.+" <<<"$out"
    check "version of $file: original name $name" grep -qx "OriginalFilename=$name" <<<"$out"
  done
else
  sed 's/^/    /' "$work/compile.log" | head -n 20
  fail "version_check.exe did not compile"
fi

# ---------------------------------------------------------------- stripped files and symbols
unzip -q "$symbols_zip" -d "$work/symbols" || fail "symbols: unzip failed"
symbols_root="$work/symbols/Vexa-$version-symbols"
binutils_prefix() { if [ "$1" = x86 ]; then echo i686-w64-mingw32; else echo x86_64-w64-mingw32; fi; }
# dump_debuglink ARCH BINARY OUT: the binary's debug link (a debug file's name and CRC) into OUT.
dump_debuglink() { "$(binutils_prefix "$1")-objcopy" --dump-section .gnu_debuglink="$3" "$2" "$work/discard"; }
# True when the binary's debug link names the debug file and carries its CRC:
# a link made afresh from that file must be the same bytes.
links_to() {
  local arch=$1 binary=$2 debug=$3 objcopy
  objcopy="$(binutils_prefix "$arch")-objcopy"
  "$objcopy" --remove-section=.gnu_debuglink "$binary" "$work/unlinked" &&
    "$objcopy" --add-gnu-debuglink="$debug" "$work/unlinked" "$work/relinked" &&
    dump_debuglink "$arch" "$binary" "$work/found.link" &&
    dump_debuglink "$arch" "$work/relinked" "$work/made.link" &&
    cmp -s "$work/found.link" "$work/made.link"
}
sections() { "$(binutils_prefix "$1")-objdump" -h "$2" 2>/dev/null; }
for arch in x86 x64; do
  for file in "${shipped[@]}"; do
    binary="$root/$arch/$file" debug="$symbols_root/$arch/$file.debug"
    check "symbols: holds $arch/$file.debug" [ -f "$debug" ]
    check "$arch/$file: no debug sections" bash -c '! grep -q " \.debug_" <<<"$1"' _ "$(sections "$arch" "$binary")"
    check "symbols: $arch/$file.debug holds the debug information" grep -q ' \.debug_info' \
      <<<"$(sections "$arch" "$debug")"
    check "$arch/$file: its debug link names $file.debug with that file's CRC" links_to "$arch" "$binary" "$debug"
  done
done

finish
