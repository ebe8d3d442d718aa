#!/usr/bin/env bash
# The installation cases of test-installer.sh. It runs inside tools/wine-env.sh, which sets
# DISPLAY, WINEPREFIX and GLIMRA_WINE (the loader) for a fresh prefix of its own.
#   installer-driver.sh SETUP_EXE win32|win64
# A win64 prefix is a 64-bit Windows: the 64-bit saver goes to System32 and the 32-bit one to
# SysWOW64. A win32 prefix is a 32-bit Windows: the 32-bit saver goes to System32 alone.
set -uo pipefail
source "$(dirname "$0")/../../tools/checks.sh"
setup=$1
arch=${2:-win64}
wine=$GLIMRA_WINE
drive="$WINEPREFIX/drive_c"
system32="$drive/windows/system32"
syswow64="$drive/windows/syswow64"
program_folder="$drive/Program Files/GlimraCode"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\GlimraCode'
desktop_key='HKCU\Control Panel\Desktop'
settings_key='HKCU\Software\KLOV\Glimra'

registry_value() { # key, value name: prints the data, fails when there is none
    "$wine" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v name="$2" '$1 == name { $1 = ""; $2 = ""; sub(/^ +/, ""); print; found = 1 } END { exit !found }'
}
key_exists() { "$wine" reg query "$1" >/dev/null 2>&1; }

installed_files() { # where Windows lists savers, each with its font
    local folder
    if [ "$arch" = win32 ]; then
        [ -f "$system32/GlimraCode.scr" ] && [ -f "$system32/GlimraCode.TTF" ] || { echo "     missing in $system32"; return 1; }
        file -b "$system32/GlimraCode.scr" | grep -q 'PE32 .*80386' || { echo "     System32 does not hold the 32-bit saver"; return 1; }
        [ ! -e "$syswow64/GlimraCode.scr" ] || { echo "     a 32-bit Windows got a SysWOW64 saver"; return 1; }
        return 0
    fi
    for folder in "$system32" "$syswow64"; do
        [ -f "$folder/GlimraCode.scr" ] && [ -f "$folder/GlimraCode.TTF" ] || { echo "     missing in $folder"; return 1; }
    done
    file -b "$system32/GlimraCode.scr" | grep -q 'PE32+.*x86-64' || { echo "     System32 does not hold the 64-bit saver"; return 1; }
    file -b "$syswow64/GlimraCode.scr" | grep -q 'PE32 .*80386' || { echo "     SysWOW64 does not hold the 32-bit saver"; return 1; }
}
nothing_installed_left() {
    local left
    left=$(find "$system32" "$syswow64" "$drive/Program Files" "$drive/Program Files (x86)" -iname '*glimra*' 2>/dev/null)
    [ -z "$left" ] || { echo "     left behind: $left"; return 1; }
    ! key_exists "$uninstall_key" || { echo "     the uninstall entry is still there"; return 1; }
}

# The NSIS uninstaller copies itself away and returns at once; its copy does the work.
wait_until_gone() {
    for _ in $(seq 150); do
        [ -e "$program_folder/Uninstall.exe" ] || [ -e "$system32/GlimraCode.scr" ] || return 0
        sleep 0.2
    done
    return 1
}

# --- a silent install asks nothing and changes no choice of saver
"$wine" "$setup" /S
check "a silent install ends with exit code 0" is "$?" 0
check "the savers and their fonts are where Windows lists savers ($arch)" installed_files
check "the uninstaller is registered in Programs and Features" eval \
    'is "$(registry_value "$uninstall_key" QuietUninstallString)" "\"C:\\Program Files\\GlimraCode\\Uninstall.exe\" /S"'
check "the registered uninstaller exists" test -f "$program_folder/Uninstall.exe"
check "a silent install without /ACTIVE leaves the active saver alone" eval '! registry_value "$desktop_key" SCRNSAVE.EXE >/dev/null'

# --- asked to, it makes GlimraCode the active saver
"$wine" "$setup" /S /ACTIVE
check "a silent install with /ACTIVE ends with exit code 0" is "$?" 0
check "with /ACTIVE GlimraCode becomes the active saver" eval \
    'is "$(registry_value "$desktop_key" SCRNSAVE.EXE)" "C:\\windows\\System32\\GlimraCode.scr"'
check "with /ACTIVE the screen saver is switched on" eval 'is "$(registry_value "$desktop_key" ScreenSaveActive)" 1'

# --- the installed saver runs from System32 and a key wakes it
saver_shown() {
    local window
    for window in $(xdotool search --name '^glimrascreen$' 2>/dev/null); do
        xwininfo -id "$window" 2>/dev/null | grep -q 'IsViewable' && return 0
    done
    return 1
}
runs_and_wakes() {
    xdotool mousemove 300 300
    "$wine" 'C:\windows\system32\GlimraCode.scr' /s >/dev/null 2>&1 &
    local pid=$! shown=no code
    for _ in $(seq 200); do
        saver_shown && { shown=yes; break; }
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if [ $shown = no ]; then
        echo "     no saver window within 20 s"
        kill "$pid" 2>/dev/null
        return 1
    fi
    sleep 1
    xdotool key a
    for _ in $(seq 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then
        echo "     still running three seconds after a key"
        kill "$pid"
        return 1
    fi
    wait "$pid"
    code=$?
    [ $code -eq 0 ] || echo "     exit code $code"
    [ $code -eq 0 ]
}
check "the installed saver runs full screen with /s and a key ends it" runs_and_wakes

# --- uninstalling keeps the user's settings unless asked
"$wine" reg add "$settings_key" /v Delay /t REG_DWORD /d 50 /f >/dev/null 2>&1
"$wine" "$program_folder/Uninstall.exe" /S
check "a silent uninstall finishes within 30 s" wait_until_gone
check "nothing installed is left: no saver, font, uninstaller or uninstall entry" nothing_installed_left
check "the uninstaller clears the active saver it had set" eval '! registry_value "$desktop_key" SCRNSAVE.EXE >/dev/null'
check "the user's settings are kept" eval 'is "$(registry_value "$settings_key" Delay)" 0x32'

"$wine" "$setup" /S
"$wine" "$program_folder/Uninstall.exe" /S /PURGE
check "a silent uninstall with /PURGE finishes" wait_until_gone
check "with /PURGE the settings go too" eval '! key_exists "$settings_key"'
check "with /PURGE nothing installed is left either" nothing_installed_left

exit $((failures != 0))
