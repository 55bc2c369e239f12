#!/usr/bin/env bash
# Static checks of the shipped brelk.dll, made with the mingw-w64 binutils:
#   - a 32-bit (PE32, i386) dynamic-link library;
#   - one export, Analysis_1000eb, by that undecorated name at ordinal 1, in
#     an export directory that names the library brelk.dll;
#   - the export is stdcall with one 32-bit argument: its return is ret $0x4;
#   - imports from Windows system libraries only (no MinGW runtime DLL);
#   - the version resource: 1.0.0.0, a DLL, one string table 080404B0 with
#     the usual texts, and the translation entry 0x0804, 1200 (0x04B0).
# Usage: tools/check-dll.sh path/to/brelk.dll
# Prints one line per check; exits 1 when any fails.
set -uo pipefail

dll=${1:?usage: check-dll.sh path/to/brelk.dll}
prefix=${BRELK_MINGW_PREFIX:-i686-w64-mingw32-}
objdump=${prefix}objdump
windres=${prefix}windres

failures=0
pass() { echo "ok:   $1"; }
fail() { echo "FAIL: $1" >&2; failures=$((failures + 1)); }
check() { # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}

[ -f "$dll" ] || { echo "FAIL: no such file: $dll" >&2; exit 1; }
headers=$("$objdump" -f "$dll" 2>&1) || { echo "FAIL: $objdump cannot read $dll" >&2; exit 1; }
private=$("$objdump" -p "$dll" 2>&1)
resources=$("$windres" -i "$dll" -O rc 2>&1)

has() { grep -Eq -- "$2" <<<"$1"; }
count() { grep -Ec -- "$2" <<<"$1"; }

# --- The image.
check "PE32 image for i386" has "$headers" 'file format pei-i386'
check "PE32 optional header (magic 010b)" has "$private" '^Magic[[:space:]]+010b'
characteristics=$(awk '/^Characteristics/ {print $2; exit}' <<<"$private")
check "a DLL (characteristics $characteristics)" \
  test $(( ${characteristics:-0} & 0x2000 )) -ne 0

# --- The export directory. objdump prints some of its tables twice; the
# values are read from their first lines.
field() { awk -v key="$2" 'index($0, key) == 1 {print $NF; exit}' <<<"$1"; }
exportName=$(awk '/^Name[[:space:]]+[0-9a-f]+ / {print $3; exit}' <<<"$private")
check "export directory names brelk.dll (is '$exportName')" test "$exportName" = "brelk.dll"
base=$(awk '/^Ordinal Base/ {print $3; exit}' <<<"$private")
check "ordinal base 1 (is '$base')" test "$base" = "1"
addresses=$(awk '/^\tExport Address Table[[:space:]]+[0-9a-f]+$/ {print $NF; exit}' <<<"$private")
names=$(awk '/^\t\[Name Pointer\/Ordinal\] Table[[:space:]]+[0-9a-f]+$/ {print $NF; exit}' <<<"$private")
check "exactly one exported address (is '$addresses')" test "$((16#${addresses:-0}))" -eq 1
check "exactly one exported name (is '$names')" test "$((16#${names:-0}))" -eq 1
nameTable=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$private" | sort -u)
check "Analysis_1000eb, undecorated, at ordinal 1" \
  has "$nameTable" '^[[:space:]]+\[ +0\] Analysis_1000eb$'

# --- The calling convention: the first return of the export pops 4 bytes.
imageBase=$(awk '/^ImageBase/ {print $2; exit}' <<<"$private")
rva=$(awk '/^\t\[ +0\] \+base\[ +1\] [0-9a-f]+ Export RVA/ {print $5; exit}' <<<"$private")
if [ -n "$imageBase" ] && [ -n "$rva" ]; then
  start=$((16#$imageBase + 16#$rva))
  firstReturn=$("$objdump" -d --no-show-raw-insn \
      --start-address=$start --stop-address=$((start + 4096)) "$dll" |
    awk -F'\t' '$2 ~ /^ret/ {print $2; exit}')
  check "stdcall return 'ret \$0x4' (first return is '$firstReturn')" \
    has "$firstReturn" '^ret +\$0x4$'
else
  fail "stdcall return: no address for ordinal 1"
fi

# --- Imports: Windows' own libraries only, so the DLL needs nothing beside it.
system='^(kernel32|user32|advapi32|ole32|oleaut32|msvcrt|ntdll|ws2_32|shell32|shlwapi)\.dll$'
while read -r lib; do
  check "imports from $lib, a system library" \
    grep -Eqi "$system" <<<"$lib"
done < <(awk '/DLL Name:/ {print $3}' <<<"$private")

# --- The version resource, as windres writes it back as a script.
check "version resource present" has "$resources" '^1 VERSIONINFO'
check "version resource in Chinese (PRC)" has "$resources" '^LANGUAGE 4, 2$'
check "file version 1.0.0.0" has "$resources" '^ FILEVERSION 1, 0, 0, 0$'
check "product version 1.0.0.0" has "$resources" '^ PRODUCTVERSION 1, 0, 0, 0$'
check "file type VFT_DLL" has "$resources" '^ FILETYPE 0x2$'
check "one string table" test "$(count "$resources" '^    BLOCK "')" -eq 1
check "string table 080404B0" has "$resources" '^    BLOCK "080404B0"$'
for key in FileDescription FileVersion ProductName ProductVersion CompanyName \
           Comments LegalCopyright; do
  check "string $key set" has "$resources" "^      VALUE \"$key\", \"[^\"]+\""
done
check "FileVersion string 1.0.0.0" has "$resources" '^      VALUE "FileVersion", "1\.0\.0\.0"$'
check "ProductVersion string 1.0.0.0" has "$resources" '^      VALUE "ProductVersion", "1\.0\.0\.0"$'
check "translation 0x0804, 0x04B0" has "$resources" '^    VALUE "Translation", 0x804, 1200$'

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed for $dll" >&2
  exit 1
fi
echo "all checks passed for $dll"
