#!/usr/bin/env bash
# Reads the export and import tables of the Windows build with objdump -p:
# - the plug-in exports exactly GetType and InitDLL, under their plain C names;
# - it calls the system's own functions, from KERNEL32.dll: thread start, wait and close, the
#   text of an error, local time, and DisableThreadLibraryCalls (only its load entry calls it);
# - no module needs a DLL that a Windows machine lacks: besides KERNEL32.dll and the C runtime
#   msvcrt.dll, only DLLs of this build (the MinGW runtimes are linked in statically).
#
# Usage: check-modules.sh OBJDUMP PLUGIN_DLL MODULE...   (the plug-in is checked as a module too)
set -euo pipefail
objdump=$1 plugin=$2
shift 2
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

table=$("$objdump" -p "$plugin")
exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$table" |
    sed -n 's/^[[:space:]]*\[ *[0-9]*\] \(.*\)$/\1/p' | sort | tr '\n' ' ')
[ "$exports" = "GetType InitDLL " ] || fail "$plugin exports '$exports', not exactly GetType and InitDLL"

# The import lines of one DLL: from its "DLL Name:" line to the next blank line.
kernel32=$(sed -n '/DLL Name: KERNEL32.dll/,/^$/p' <<<"$table")
for function in CreateThread WaitForSingleObject CloseHandle GetLastError FormatMessageA \
    LocalFree GetLocalTime DisableThreadLibraryCalls; do
    grep -qw "$function" <<<"$kernel32" || fail "$plugin does not import $function from KERNEL32.dll"
done

own=" "
for module in "$plugin" "$@"; do
    own+="$(basename "$module") "
done
for module in "$plugin" "$@"; do
    for dll in $("$objdump" -p "$module" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
        case " KERNEL32.dll msvcrt.dll$own" in
            *" $dll "*) ;;
            *) fail "$(basename "$module") needs $dll, which a Windows machine does not have" ;;
        esac
    done
done

[ $failures -eq 0 ] && echo "exports GetType InitDLL; imports only system DLLs and: $own"
exit $((failures > 0))
