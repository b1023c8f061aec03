#!/usr/bin/env bash
# Installs the build into a scratch prefix and builds the Debian package,
# then checks what an operator would meet: the manual page renders without
# warnings, the package's fields are right, lintian finds no error, and its
# binary runs.
set -euo pipefail
build=$1
scratch=$(mktemp -d "${TMPDIR:-/tmp}/rodozerez-install-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The install into a prefix.
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
[ -x "$scratch/prefix/bin/rodozerez" ] || fail "no binary in bin/"
page="$scratch/prefix/share/man/man1/rodozerez.1.gz"
[ -f "$page" ] || fail "no manual page in share/man/man1"
warnings=$(zcat "$page" | groff -ww -z -man 2>&1) || fail "groff failed"
[ -z "$warnings" ] || fail "groff warns: $warnings"
MANWIDTH=80 man -l "$page" >"$scratch/page.txt" 2>"$scratch/man.err" || fail "man -l failed"
[ ! -s "$scratch/man.err" ] || fail "man -l warns: $(cat "$scratch/man.err")"
for section in NAME SYNOPSIS DESCRIPTION FILES "EXIT STATUS" EXAMPLES NOTES; do
  grep -q "^$section" "$scratch/page.txt" || fail "manual page lacks $section"
done

# The package.
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/package" >/dev/null
deb=$(ls "$scratch"/package/*.deb)
[ "$(dpkg-deb -f "$deb" Package)" = rodozerez ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = 1.0 ] || fail "package version"
# Fields are read whole first: grep -q would close the pipe early.
[[ "$(dpkg-deb -f "$deb" Maintainer)" == *@* ]] || fail "maintainer field"
[[ "$(dpkg-deb -f "$deb" Depends)" == *libc6*libexpat1* || "$(dpkg-deb -f "$deb" Depends)" == *libexpat1*libc6* ]] || fail "dependencies not computed"
[[ "$(dpkg-deb -f "$deb" Description)" == *metadata* ]] || fail "description"
dpkg-deb -x "$deb" "$scratch/root"
[ -f "$scratch/root/usr/share/man/man1/rodozerez.1.gz" ] || fail "package lacks the manual page"
for doc in changelog.gz copyright; do
  [ -f "$scratch/root/usr/share/doc/rodozerez/$doc" ] || fail "package lacks its $doc"
done
# Debian's own checks, where lintian is installed (CI installs it).
if command -v lintian >/dev/null; then
  lintian "$deb" >"$scratch/lintian.txt" 2>&1 || true
  ! grep -q "^E:" "$scratch/lintian.txt" || fail "lintian: $(grep "^E:" "$scratch/lintian.txt")"
fi

# The packaged binary's information screen, on a pseudo-terminal.
script -qec "$scratch/root/usr/bin/rodozerez --version" /dev/null </dev/null >"$scratch/screen.txt"
grep -q "Rodozerez Version 1.0     (15-Apr-2004)" "$scratch/screen.txt" || fail "no information screen"
echo "install and package: ok"
