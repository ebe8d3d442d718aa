# Sourced by the Wayland scripts: a headless sway session of the unprivileged user glimratest, and
# programs started in it. sway refuses to run as root, so the caller is root and everything here
# runs as that user (made here when missing), in a runtime folder of its own, from copies of the
# build's programs (the build folder may not be readable by that user).
#   session_begin BUILD_FOLDER PROGRAM...   copies the programs (paths in the build) into $work/bin
#   start_sway WxH                          sway with the output HEADLESS-1 of that size
#   as_user COMMAND...                      runs COMMAND in the session
#   spawn NAME COMMAND...                   starts COMMAND in the background: $spawned is runuser's
#                                           id (its exit status is COMMAND's), $spawned_own COMMAND's
#   wait_until TENTHS CONDITION...          polls CONDITION every tenth of a second
# Everything started is ended, and $work removed, when the calling script exits.

user=glimratest
work=
display=
sock=
pids=()      # runuser's process ids: our children
own_pids=()  # the programs' own
spawned=0
spawned_own=0

session_begin() { # build folder, programs...
    local build=$1 file; shift
    [ "$(id -u)" = 0 ] || { echo "wayland: must run as root (it starts sway as $user)" >&2; return 1; }
    for tool in sway swaymsg runuser; do
        command -v "$tool" >/dev/null || { echo "wayland: needs $tool (tools/setup.sh installs it)" >&2; return 1; }
    done
    id -u "$user" >/dev/null 2>&1 || useradd --system --create-home --shell /usr/sbin/nologin "$user"
    work=$(mktemp -d /tmp/glimra-wayland.XXXXXX)
    trap session_end EXIT
    chmod 755 "$work"
    mkdir -p "$work/bin" "$work/run" "$work/home" "$work/shots"
    for file in "$@"; do
        [ -f "$build/$file" ] || { echo "wayland: missing $build/$file (build first)" >&2; return 1; }
        cp "$build/$file" "$work/bin/"
    done
    chmod -R a+rX "$work/bin"
    chown "$user" "$work/run" "$work/home" "$work/shots"
    chmod 700 "$work/run"
}

session_end() {
    local pid
    for pid in "${own_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${own_pids[@]}"; do wait_until 30 gone "$pid" || kill -KILL "$pid" 2>/dev/null || true; done
    # runuser stops itself when its child is stopped (run.sh stalls sway so), and reaps nothing then.
    for pid in "${pids[@]}"; do pkill -CONT -P "$pid" runuser || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}

# Nothing of root's environment but what a session has, and the sanitizers' options for a
# sanitizer build. Until sway runs there is no display to name, and sway itself must not be told of one.
as_user() {
    local session=() name
    [ -z "$display" ] || session=(WAYLAND_DISPLAY="$display" SWAYSOCK="$sock")
    for name in ASAN_OPTIONS UBSAN_OPTIONS; do
        [ -z "${!name:-}" ] || session+=("$name=${!name}")
    done
    runuser -u "$user" -- env -i PATH=/usr/bin:/bin HOME="$work/home" XDG_RUNTIME_DIR="$work/run" \
        "${session[@]}" "$@"
}

spawn() { # name, command...
    local name=$1; shift
    rm -f "$work/run/$name.pid"
    as_user sh -c 'echo $$ > "$0"; exec "$@"' "$work/run/$name.pid" "$@" >"$work/$name.log" 2>&1 &
    spawned=$!
    pids+=("$spawned")
    wait_until 50 test -s "$work/run/$name.pid" || return 1
    spawned_own=$(cat "$work/run/$name.pid")
    own_pids+=("$spawned_own")
}

wait_until() { # tenths of a second, condition...
    local tenths=$1; shift
    while ! "$@"; do
        tenths=$((tenths - 1))
        [ "$tenths" -gt 0 ] || return 1
        sleep 0.1
    done
}

# A child that has ended stays a zombie until waited for, so these take the program's own id.
alive() { kill -0 "$1" 2>/dev/null; }
gone() { ! kill -0 "$1" 2>/dev/null; }

start_sway() { # WxH of HEADLESS-1
    printf 'output HEADLESS-1 resolution %s position 0 0\ndefault_border none\n' "$1" >"$work/sway.conf"
    chmod 644 "$work/sway.conf"
    spawn sway env WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        sway -c "$work/sway.conf" || return 1
    wait_until 100 compgen -G "$work/run/sway-ipc.*.sock" >/dev/null || { cat "$work/sway.log"; return 1; }
    sock=$(compgen -G "$work/run/sway-ipc.*.sock" | head -1)
    display=$(cd "$work/run" && ls wayland-[0-9] 2>/dev/null | head -1)
    [ -n "$display" ]
}
