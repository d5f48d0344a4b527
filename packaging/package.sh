#!/usr/bin/env bash
# Release packages from a finished build: packaging/package.sh TOP_DIR
# Writes into TOP_DIR/dist/:
#   Vexa-<version>-x86.msi, Vexa-<version>-x64.msi   (wixl, from packaging/vexa.wxs)
#   Vexa-<version>-windows.zip                       (both architectures, README,
#                                                     examples, install/uninstall.cmd)
#   Vexa-<version>-symbols.zip                       (the shipped files' FILE.debug,
#                                                     by architecture)
# The shipped files (packaging/shipped.txt), stripped, and their debug files are
# taken from dist/x86 and dist/x64, as ./vexa build leaves them.
set -eu -o pipefail

top=$(cd "${1:?usage: packaging/package.sh TOP_DIR}" && pwd)
dist="$top/dist"
here="$top/packaging"
mapfile -t shipped <"$here/shipped.txt"

fail() { printf 'package: %s\n' "$*" >&2; exit 1; }

command -v wixl >/dev/null || fail "wixl is missing (Debian package wixl, from msitools)"
command -v zip >/dev/null || fail "zip is missing (Debian package zip)"

version=$(tr -d ' \t\r\n' <"$top/VERSION")
[[ "$version" =~ ^[0-9]+\.[0-9]+$ ]] || fail "VERSION must hold MAJOR.MINOR, not '$version'"

for arch in x86 x64; do
  for file in "${shipped[@]}"; do
    [ -f "$dist/$arch/$file" ] || fail "dist/$arch/$file is missing: build first"
    [ -f "$dist/$arch/$file.debug" ] || fail "dist/$arch/$file.debug is missing: build first"
  done
done

# The product code follows from version and architecture, so that every build
# of one version is the same product: "msiexec /x" of a rebuilt package removes
# it, and a rebuild never installs beside it.
product_code() {
  local h
  h=$(printf 'Vexa product %s %s' "$1" "$2" | sha1sum | cut -c1-32)
  # A name-based GUID: version 5, RFC 4122 variant.
  local variant=$(( (16#${h:16:1} & 3) | 8 ))
  printf '%s-%s-5%s-%x%s-%s' "${h:0:8}" "${h:8:4}" "${h:13:3}" "$variant" "${h:17:3}" "${h:20:12}" |
    tr 'a-f' 'A-F'
}

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

# ---------------------------------------------------------------- installers
# wixl takes file sources relative to the working directory only.
for arch in x86 x64; do
  out="$dist/Vexa-$version-$arch.msi"
  rm -f "$out"
  (cd "$top" && wixl -a "$arch" -D Arch="$arch" -D Version="$version" -D Bin="dist/$arch" \
      -D ProductCode="$(product_code "$version" "$arch")" \
      -o "$stage/Vexa-$version-$arch.msi" packaging/vexa.wxs) >"$stage/wixl-$arch.log" 2>&1 ||
    { grep -v CRITICAL "$stage/wixl-$arch.log" >&2; fail "wixl failed for $arch"; }
  mv "$stage/Vexa-$version-$arch.msi" "$out"
  printf 'package: %s\n' "${out#"$top"/}"
done

# ---------------------------------------------------------------- archive
# One top folder, so that unpacking it never scatters files.
folder="Vexa-$version"
root="$stage/$folder"
mkdir -p "$root/x86" "$root/x64" "$root/examples"
for arch in x86 x64; do
  cp "${shipped[@]/#/$dist/$arch/}" "$root/$arch/"
done
cp "$top/README.md" "$root/"
cp -R "$top/examples/." "$root/examples/"
# cmd.exe wants CRLF line ends whatever the checkout did to them.
for script in install.cmd uninstall.cmd; do
  sed 's/\r*$/\r/' "$here/$script" >"$root/$script"
done

zipfile="$dist/Vexa-$version-windows.zip"
rm -f "$zipfile"
(cd "$stage" && zip -q -r -X "$zipfile" "$folder") || fail "zip failed"
printf 'package: %s\n' "${zipfile#"$top"/}"

# ---------------------------------------------------------------- symbols
# Not for users: what a debugger needs beside the shipped files of one build.
folder="Vexa-$version-symbols"
mkdir -p "$stage/$folder/x86" "$stage/$folder/x64"
for arch in x86 x64; do
  for file in "${shipped[@]}"; do
    cp "$dist/$arch/$file.debug" "$stage/$folder/$arch/"
  done
done
symbols="$dist/Vexa-$version-symbols.zip"
rm -f "$symbols"
(cd "$stage" && zip -q -r -X "$symbols" "$folder") || fail "zip of the symbols failed"
printf 'package: %s\n' "${symbols#"$top"/}"
