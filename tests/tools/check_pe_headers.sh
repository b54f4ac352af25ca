#!/bin/sh
# Checks the PE headers of the shipped programs with objdump: each is of the
# build's processor (pei-i386 for the shipped 32-bit build), of its
# subsystem (KestrelEx.exe a GUI program, without a console window), and
# imports nothing but Windows' own DLLs, so it runs on a bare PC without
# the MinGW runtime.
#   check_pe_headers.sh OBJDUMP FORMAT gui:EXE console:EXE ...
objdump="$1"
format="$2"
shift 2
status=0
for program in "$@"; do
  subsystem=${program%%:*}
  exe=${program#*:}
  case $subsystem in
    gui) subsystem_line='00000002[[:space:]]+\(Windows GUI\)' ;;
    console) subsystem_line='00000003[[:space:]]+\(Windows CUI\)' ;;
    *) echo "unknown subsystem in $program"; exit 2 ;;
  esac
  headers=$("$objdump" -p "$exe") || { echo "objdump failed on $exe"; status=1; continue; }
  echo "$headers" | grep -Eq "file format $format\$" ||
    { echo "$exe is not of format $format: $(echo "$headers" | grep -m1 'file format')"; status=1; }
  echo "$headers" | grep -Eq "^Subsystem[[:space:]]+$subsystem_line" ||
    { echo "$exe is not a $subsystem-subsystem program"; status=1; }
  for dll in $(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
    case $(echo "$dll" | tr 'A-Z' 'a-z') in
      kernel32.dll|user32.dll|gdi32.dll|msimg32.dll|advapi32.dll|shell32.dll|shlwapi.dll|ole32.dll|oleaut32.dll|\
      comctl32.dll|gdiplus.dll|version.dll|msvcrt.dll|ucrtbase.dll|api-ms-win-crt-*.dll) ;;
      *) echo "$exe needs $dll, which a bare Windows PC does not have"; status=1 ;;
    esac
  done
  [ $status = 0 ] && echo "$exe: $format, $subsystem subsystem, system DLLs only"
done
exit $status
