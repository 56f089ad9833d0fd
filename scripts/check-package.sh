#!/usr/bin/env bash
# Builds the Debian package from a build folder, unpacks it into a temporary
# root and runs the unpacked program there, as an installed one would run:
# a dry run over the unpacked samples, then a copy of them. lintian must
# report no errors. Installs the packaging tools first when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}

scripts/install-deps.sh dpkg-dev lintian

rm -f "$build_dir"/quorvex_*.deb
(cd "$build_dir" && cpack -G DEB > /dev/null)
package=$(ls "$build_dir"/quorvex_*.deb)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$package" "$root"

program=$root/usr/bin/quorvex
samples=$root/usr/share/quorvex/Samples
fail() { echo "package check: $*" >&2; exit 1; }
[ -f "$root/usr/share/man/man1/quorvex.1.gz" ] || fail "no manual page"
# A destination must be there, in a dry run too: the program never makes one.
mkdir "$root/copies"
rows=$("$program" -q --seed 1 -n 5 -s "$samples" -d "$root/copies" --dry-run)
[ "$(printf '%s\n' "$rows" | grep -c " will be copied to $root/copies/")" -eq 5 ] || fail "the dry run gave: $rows"
"$program" -q --seed 1 -n 5 -s "$samples" -d "$root/copies" || fail "the copy failed"
for copy in "$root"/copies/*; do
    cmp -s "$copy" "$samples/$(basename "$copy")" || fail "$copy differs from its sample"
done
[ "$(ls "$root/copies" | wc -l)" -eq 5 ] || fail "the copy left $(ls "$root/copies" | wc -l) files, not 5"
lintian --fail-on error "$package"
echo "package check: $(basename "$package") unpacks, runs its samples and passes lintian"
