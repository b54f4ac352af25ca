#!/bin/sh
# Checks the PE headers of KestrelEx.exe with objdump: a GUI-subsystem
# program (no console window) that imports nothing but Windows' own DLLs,
# so it runs on a bare PC without the MinGW runtime.
#   check_pe_headers.sh OBJDUMP EXE
objdump="$1"
exe="$2"
headers=$("$objdump" -p "$exe") || { echo "objdump failed on $exe"; exit 1; }
echo "$headers" | grep -Eq '^Subsystem[[:space:]]+00000002[[:space:]]+\(Windows GUI\)' ||
  { echo "$exe is not a GUI-subsystem program"; exit 1; }
status=0
for dll in $(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
  case $(echo "$dll" | tr 'A-Z' 'a-z') in
    kernel32.dll|user32.dll|gdi32.dll|msimg32.dll|advapi32.dll|shell32.dll|shlwapi.dll|ole32.dll|oleaut32.dll|\
    comctl32.dll|gdiplus.dll|version.dll|msvcrt.dll|ucrtbase.dll|api-ms-win-crt-*.dll) ;;
    *) echo "$exe needs $dll, which a bare Windows PC does not have"; status=1 ;;
  esac
done
[ $status = 0 ] && echo "$exe: GUI subsystem, system DLLs only"
exit $status
