#!/usr/bin/env bash
# The Windows package as a user gets it: cpack's .zip holds one folder with sentak.exe and,
# beside it, Resources/ and the compiled catalogues of every po/<lang>.po, and nothing else.
# Usage: zip.sh BUILD_DIR CPACK SOURCE_DIR
set -euo pipefail
build=$1
cpack=$2
source_dir=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

"$cpack" -G ZIP --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; fail "cpack made no .zip"; }
zip=$(ls "$work"/sentak-*.zip)
folder=$(basename "$zip" .zip)
expected=("$folder/sentak.exe" "$folder/Resources/brand.json" "$folder/Resources/Icons/dvr.ico")
for catalogue in "$source_dir"/po/*.po; do
    expected+=("$folder/languages/$(basename "$catalogue" .po)/main.mo")
done
diff <(printf '%s\n' "${expected[@]}" | sort) \
    <(unzip -Z1 "$zip" | grep -v '/$' | sort) || fail "$(basename "$zip") holds other files"
unzip -q "$zip" -d "$work/unpacked"
file "$work/unpacked/$folder/sentak.exe" | grep -q 'PE32+ executable (GUI) x86-64' ||
    fail "the packed sentak.exe is not the 64-bit Windows program"
echo "zip: $(basename "$zip") holds ${#expected[@]} files, sentak.exe with Resources/ and languages/"
