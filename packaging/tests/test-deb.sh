#!/usr/bin/env bash
# Builds the Debian package from a Release build, unpacks it into a scratch root and checks it as
# a user and a screen-saver daemon would meet it.
#   packaging/tests/test-deb.sh BUILD_FOLDER
# Needs cmake, ninja, dpkg-dev, lintian, xvfb, x11-utils, xdotool, imagemagick, python3, man-db and
# desktop-file-utils.
set -uo pipefail
[ $# -eq 1 ] || { echo "usage: $0 BUILD_FOLDER" >&2; exit 2; }
top=$(cd "$(dirname "$0")/../.." && pwd)
source "$top/tools/checks.sh"
mkdir -p "$1"
build=$(cd "$1" && pwd)
work=$(mktemp -d)
xvfb=
cleanup() { [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

for tool in cmake ninja cpack dpkg-shlibdeps lintian Xvfb xwininfo xdotool import identify /usr/bin/python3 man \
    desktop-file-validate; do
    command -v "$tool" >/dev/null || { echo "test-deb: needs $tool" >&2; exit 1; }
done

# Debian's own hardening flags, so that lintian judges the binaries a Debian build would make.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags() { dpkg-buildflags --get "$1"; }
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DGLIMRA_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr \
    "-DCMAKE_C_FLAGS=$(flags CFLAGS) $(flags CPPFLAGS)" "-DCMAKE_CXX_FLAGS=$(flags CXXFLAGS) $(flags CPPFLAGS)" \
    "-DCMAKE_EXE_LINKER_FLAGS=$(flags LDFLAGS)" >/dev/null || exit 1
cmake --build "$build" -j "${GLIMRA_JOBS:-2}" >/dev/null || { echo "test-deb: the build failed" >&2; exit 1; }
rm -f "$build"/glimracode_*.deb
(cd "$build" && cpack -G DEB >/dev/null) || { echo "test-deb: cpack failed" >&2; exit 1; }
deb=$(ls "$build"/glimracode_*.deb)
echo "package: $deb"

root="$work/root"
dpkg -x "$deb" "$root" || exit 1
hack="$root/usr/libexec/xscreensaver/glimracode"
entry="$root/usr/share/applications/glimracode.desktop"
render="$root/usr/bin/glimracode-render"
config="$root/usr/share/xscreensaver/config/glimracode.xml"

# --- where things are
is_program() { [ -f "$1" ] && [ -x "$1" ]; }
# The programs load the font from the folder their executable really lives in.
font_beside_real_program() { [ -f "$(dirname "$(readlink -f "$1")")/GlimraCode.TTF" ]; }
check "the saver is where XScreenSaver looks for hacks" is_program "$hack"
check "glimracode is in /usr/bin, the same program as the hack" test "$(readlink -f "$root/usr/bin/glimracode")" = \
    "$(readlink -f "$hack")"
check "glimracode-render is in /usr/bin" is_program "$render"
check "the saver finds the font beside its real executable" font_beside_real_program "$hack"
check "glimracode-render finds the font beside its real executable" font_beside_real_program "$render"
check "the font ships in the package's data folder" test -f "$root/usr/share/glimracode/GlimraCode.TTF"
check "the programs' licence, MIT, ships in the copyright file" grep -q "SPDX-License-Identifier: MIT" \
    "$root/usr/share/doc/glimracode/copyright"
check "the font's licence ships in the copyright file" grep -q "IPA Font License Agreement v1.0" \
    "$root/usr/share/doc/glimracode/copyright"
check "the settings program's description is installed" test -f "$config"
for page in glimracode glimracode-render; do
    check "manual page $page(6) is installed" test -f "$root/usr/share/man/man6/$page.6.gz"
done
links_stay_inside() {
    local link
    while read -r link; do
        case $(readlink "$link") in /*) echo "     $link is absolute"; return 1 ;; esac
        [ -e "$link" ] || { echo "     $link is dangling"; return 1; }
    done < <(find "$root" -type l)
}
check "every link in the package is relative and resolves inside it" links_stay_inside

# --- the menu entry
check "desktop-file-validate accepts the menu entry" desktop-file-validate "$entry"
entry_value() { sed -n "s/^$1=//p" "$entry" | head -1; }
check "the entry's icon is in the hicolor theme" is "$(cd "$root/usr/share/icons/hicolor" && identify -format \
    '%d:%wx%h ' ./*/apps/"$(entry_value Icon)".png)" "./16x16/apps:16x16 ./32x32/apps:32x32 ./48x48/apps:48x48 "

# --- the manual pages document what the programs accept
help=$("$hack" --help)
render_usage=$("$render" --no-such-option x 2>&1 >/dev/null)
page_text() { MANWIDTH=200 man -l "$root/usr/share/man/man6/$1.6.gz" 2>/dev/null; }
documents_every_word() { # page, words...
    local page=$1 text word missing=; shift
    text=$(page_text "$page")
    for word in "$@"; do grep -qF -- "$word" <<<"$text" || missing+=" $word"; done
    [ -z "$missing" ] || echo "     not in $page(6):$missing"
    [ -z "$missing" ]
}
mapfile -t help_words < <(grep -oE -- '(--[a-z-]+|/[a-z]\b|\$[A-Z_]+)' <<<"$help" | tr -d '$' | sort -u)
# The usage follows the complaint about the unknown option, which must not count as one.
mapfile -t render_words < <(grep -E -- '^(usage:|  --)' <<<"$render_usage" | grep -oE -- '--[a-z-]+' | sort -u)
check "glimracode --help names switches, options and variables (${#help_words[@]})" test "${#help_words[@]}" -ge 9
check "glimracode(6) documents every one of them" documents_every_word glimracode "${help_words[@]}" \
    settings.reg glimracode.lock XDG_CONFIG_HOME XDG_RUNTIME_DIR HOME DISPLAY GlimraCode.TTF
check "glimracode-render's usage names its options (${#render_words[@]})" test "${#render_words[@]}" -ge 6
check "glimracode-render(6) documents every one of them" documents_every_word glimracode-render \
    "${render_words[@]}" settings.reg XDG_CONFIG_HOME HOME GlimraCode.TTF
man_is_clean() {
    local page warnings=
    for page in "$@"; do
        warnings+=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
            "$root/usr/share/man/man6/$page.6.gz" 2>&1 >/dev/null)
    done
    [ -z "$warnings" ] || echo "$warnings" | sed 's/^/     /'
    [ -z "$warnings" ]
}
check "groff finds nothing wrong in either page" man_is_clean glimracode glimracode-render
release_date=$(dpkg-parsechangelog -l "$top/packaging/linux/changelog" -S Date | xargs -0 date -u +%F -d)
check "both manual pages carry the release's date, $release_date" is \
    "$(zcat "$root"/usr/share/man/man6/*.6.gz | sed -n 's/^\.TH [^ ]* 6 "\([^"]*\)".*/\1/p' | uniq)" "$release_date"

# --- the description that XScreenSaver's settings program reads
# Its format: one <screensaver name= _label=> holding one <command arg=...>, widgets that turn
# into options (arg, arg-set, arg-unset, with % for a value), and a _description. The settings
# program runs the command with --window-id for its preview; the daemon with the command as is.
validate_config() {
    /usr/bin/python3 - "$config" "$help" <<'EOF'
import re, sys
import xml.etree.ElementTree as ET
path, help_text = sys.argv[1], sys.argv[2]
known = {"command", "boolean", "number", "select", "option", "string", "file", "hgroup", "vgroup",
         "_description", "xscreensaver-text", "xscreensaver-image", "xscreensaver-updater", "video"}
problems = []
try:
    root = ET.parse(path).getroot()
except ET.ParseError as error:
    sys.exit(f"     not well-formed XML: {error}")
if root.tag != "screensaver":
    problems.append(f"the root element is <{root.tag}>, not <screensaver>")
if root.get("name") != "glimracode":
    problems.append(f"name=\"{root.get('name')}\" is not the hack's file name, glimracode")
if not root.get("_label"):
    problems.append("no _label for the list")
if len(root.findall("command")) != 1:
    problems.append("not exactly one <command>")
if root.find("_description") is None or not (root.find("_description").text or "").strip():
    problems.append("no _description")
accepted = {re.sub(r"^-+", "", word) for word in re.findall(r"(?<![\w-])--?[a-z][a-z-]*", help_text)}
named = []
for element in root.iter():
    if element is not root and element.tag not in known:
        problems.append(f"<{element.tag}> is not an element of the format")
    for attribute in ("arg", "arg-set", "arg-unset"):
        for word in (element.get(attribute) or "").split():
            if word.startswith("-"):
                named.append(word)
if not named:
    problems.append("names no option at all")
for word in named:
    if re.sub(r"^-+", "", word) not in accepted:
        problems.append(f"names {word}, which glimracode --help does not list")
for problem in problems:
    print("     " + problem)
sys.exit(1 if problems else 0)
EOF
}
check "the description is well-formed and names only options glimracode accepts" validate_config
check "the installed description is the one built from the settings table" cmp -s "$config" "$build/glimracode.xml"

# --- the installed programs run
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
renders() {
    "$render" --size 160x120 --ticks 5 --every 5 --seed 7 --out "$work/frames" >/dev/null &&
        [ -s "$work/frames/frame-000005.png" ]
}
check "the installed glimracode-render draws a frame through its link in /usr/bin" renders

display_number=$((100 + RANDOM % 100))
while [ -e "/tmp/.X11-unix/X$display_number" ]; do display_number=$((display_number + 1)); done
Xvfb ":$display_number" -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$display_number"
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display_number" ] && break; sleep 0.1; done
unset XSCREENSAVER_WINDOW
screenshot() { import -window root rgb:- 2>/dev/null | md5sum | cut -d' ' -f1; }

# Runs a command line for two seconds, with the package's programs first on the PATH, then stops it
# as a daemon does; the shell gives way to the program, so that the signal reaches the program.
user_path="$root/usr/bin:$PATH"
runs_two_seconds_and_ends_on_sigterm() { # command
    local before after pid code
    before=$(screenshot)
    PATH=$user_path bash -c "exec $1" 2>"$work/stderr" &
    pid=$!
    sleep 2
    if ! kill -0 "$pid" 2>/dev/null; then
        wait "$pid"
        echo "     ended by itself after less than two seconds, exit code $?: $(cat "$work/stderr")"
        return 1
    fi
    after=$(screenshot)
    kill -TERM "$pid"
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then
        kill -KILL "$pid"
        echo "     still running five seconds after SIGTERM"
        return 1
    fi
    wait "$pid"
    code=$?
    [ "$code" -eq 0 ] || echo "     exit code $code after SIGTERM: $(cat "$work/stderr")"
    [ "$before" != "$after" ] || echo "     the root window did not change"
    [ "$code" -eq 0 ] && [ "$before" != "$after" ]
}
check "the installed hack, as the daemon starts it (--root), draws and ends on SIGTERM with 0" \
    runs_two_seconds_and_ends_on_sigterm "'$hack' --root"
root_id=$(xwininfo -root | awk '/Window id:/ {print $4}')
check "the installed hack, as the settings program previews it (--window-id), does the same" \
    runs_two_seconds_and_ends_on_sigterm "'$hack' --window-id $root_id"

# --- every Linux command line the README and glimracode(6) give in code (the quoted command of a
# daemon's line, such as swayidle's, too), run as written against the package, judged by its kind
mapfile -t documented < <({ tr '\n' ' ' <"$top/README.md" | grep -oE "\`glimracode( [^\`]*)?\`|'glimracode [^']*'"
    page_text glimracode | grep -oE "'glimracode [^']*'"; } | sed "s/^.//; s/.\$//; s/  */ /g; s/ \$//" | sort -u)
check "the README and glimracode(6) give Linux command lines (${#documented[@]})" test "${#documented[@]}" -ge 5
prints_and_succeeds() { PATH=$user_path bash -c "$1" 2>&1 | grep . >/dev/null; }
shows_the_dialog() { # command
    PATH=$user_path bash -c "exec $1" 2>"$work/stderr" &
    local pid=$! shown=0
    timeout 10 sh -c "until xdotool search --onlyvisible --name '^vGlimra Screen Saver\$'; do sleep 0.1; done" \
        >/dev/null 2>&1 || { shown=1; echo "     no dialog within ten seconds: $(cat "$work/stderr")"; }
    kill -TERM "$pid" 2>/dev/null
    wait "$pid"
    return "$shown"
}
# The autostart entry goes to a configuration folder of the test's own, and is removed again.
writes_and_removes_the_entry() { # command
    local config="$work/autostart-config" entry
    entry="$config/autostart/glimracode.desktop"
    XDG_CONFIG_HOME=$config PATH=$user_path bash -c "$1" 2>"$work/stderr" &&
        grep -q -- '--idle' "$entry" &&
        XDG_CONFIG_HOME=$config PATH=$user_path glimracode --autostart off && [ ! -e "$entry" ] ||
        { echo "     $(cat "$work/stderr")"; return 1; }
}
# The watcher waits, draws nothing while input is recent, and ends on SIGTERM with 0.
waits_and_ends_on_sigterm() { # command
    PATH=$user_path XDG_RUNTIME_DIR=$work bash -c "exec $1" 2>"$work/stderr" &
    local pid=$! code
    sleep 2
    kill -0 "$pid" 2>/dev/null || { wait "$pid"; echo "     ended by itself: $(cat "$work/stderr")"; return 1; }
    kill -TERM "$pid"
    wait "$pid"
    code=$?
    [ "$code" -eq 0 ] || echo "     exit code $code after SIGTERM: $(cat "$work/stderr")"
    [ "$code" -eq 0 ]
}
for command in "${documented[@]}"; do
    case " $command " in
    *" --help "* | *" -h "* | *" --version "*) check "\`$command\` prints and succeeds" prints_and_succeeds "$command" ;;
    *" --autostart "*)
        check "\`$command\` writes the autostart entry, and --autostart off removes it" \
            writes_and_removes_the_entry "$command" ;;
    *" --idle "*) check "\`$command\` waits and ends on SIGTERM with 0" waits_and_ends_on_sigterm "$command" ;;
    *" /s "* | *" --root "* | *" --window"*)
        check "\`$command\` draws and ends on SIGTERM with 0" runs_two_seconds_and_ends_on_sigterm "$command" ;;
    " glimracode " | *" /c "*) check "\`$command\` shows the settings dialog" shows_the_dialog "$command" ;;
    *) check "\`$command\` is a kind of command line this test knows" false ;;
    esac
done
check "the menu entry's command, \`$(entry_value Exec)\`, shows the settings dialog" shows_the_dialog "$(entry_value Exec)"
man_finds_the_page() { MANPATH="$root/usr/share/man" man -P cat glimracode 2>&1 | grep -q 'glyph-rain screen saver'; }
check "\`man glimracode\` shows the page" man_finds_the_page

# --- lintian: errors fail; warnings are shown for the record
lintian_report=$(lintian --pedantic --display-info "$deb" 2>&1 | grep -v '^running with root privileges')
[ -z "$lintian_report" ] || echo "$lintian_report" | sed 's/^/     lintian: /'
no_lintian_errors() { ! grep -q '^E:' <<<"$lintian_report"; }
check "lintian reports no error" no_lintian_errors

if [ "$failures" -ne 0 ]; then
    echo "test-deb: $failures check(s) failed"
    exit 1
fi
echo "test-deb: all checks passed"
