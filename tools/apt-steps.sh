# Sourced by tools/setup.sh (and its check): apt steps that go on with what a mirror gives.
# A Debian mirror in the middle of a sync refuses some of its indexes for hours, and often only
# those of one architecture; whatever the other indexes offer still installs, and the stages that
# need the rest say that they did not run.
#   apt_update_tolerant             apt-get update, tried GLIMRA_APT_TRIES times (3) with a pause of
#                                   GLIMRA_APT_PAUSE seconds (30); goes on with what was fetched
#                                   and says in one line which indexes failed
#   apt_install_what_can PACKAGE... installs them all or, when apt refuses the list, the
#                                   native-architecture ones first and then each foreign one on its
#                                   own; says in one line what could not be had, with apt's reason
# Both return 0 when they went on; apt_install_what_can returns 1 when a native package could not
# be had, since no stage runs without those. Extra options for every apt-get call (a scratch
# configuration, or -s to simulate) come from the array apt_options.

# Another apt (an unattended upgrade on a new machine) holding the lock is waited for, not an error.
apt_options=(-o DPkg::Lock::Timeout=600 ${apt_options[@]+"${apt_options[@]}"})

apt_update_tolerant() {
    local tries=${GLIMRA_APT_TRIES:-3} pause=${GLIMRA_APT_PAUSE:-30} try log failed
    log=$(mktemp)
    for ((try = 1; try <= tries; try++)); do
        # apt exits 0 when a source could not be reached at all and 100 when an index came torn;
        # both leave a "Failed to fetch URL" line for each index they lack.
        apt-get "${apt_options[@]}" update -qq >"$log" 2>&1 && ! grep -q 'Failed to fetch' "$log" && break
        [ "$try" -lt "$tries" ] && sleep "$pause"
    done
    if [ "$try" -gt "$tries" ]; then
        failed=$(grep -oE 'Failed to fetch [^ ]+' "$log" | awk '{print $NF}' | sort -u | paste -sd ' ')
        [ -n "$failed" ] || failed="(apt-get update failed: $(grep -m1 -E '^(E|W):' "$log" || echo 'no reason given'))"
        echo "setup: after $tries tries these package indexes could not be fetched; going on with the others: $failed"
    fi
    rm -f "$log"
    return 0
}

# apt's first reason for refusing one package: the line naming what it could not satisfy, else its
# first error.
apt_refusal() { # package
    local output
    output=$(apt-get "${apt_options[@]}" install -y --no-install-recommends "$1" 2>&1) && return 0
    { grep -m1 -E 'Depends:|Conflicts:|Breaks:|has no installation candidate|Unable to locate' <<<"$output" ||
        grep -m1 '^E:' <<<"$output" || echo "apt-get failed"; } | sed -E 's/^ +//; s/^E: //'
    return 1
}

apt_install_what_can() { # packages...
    local package reason native=() foreign=() refused=() status=0
    apt-get "${apt_options[@]}" install -y -qq --no-install-recommends "$@" >/dev/null 2>&1 && return 0
    for package in "$@"; do
        case $package in
            *:*) foreign+=("$package") ;;
            *) native+=("$package") ;;
        esac
    done
    if [ ${#native[@]} -gt 0 ] &&
        ! apt-get "${apt_options[@]}" install -y -qq --no-install-recommends "${native[@]}" >/dev/null 2>&1; then
        for package in "${native[@]}"; do
            reason=$(apt_refusal "$package") || { refused+=("$package ($reason)"); status=1; }
        done
    fi
    for package in ${foreign[@]+"${foreign[@]}"}; do
        reason=$(apt_refusal "$package") || refused+=("$package ($reason)")
    done
    [ ${#refused[@]} -eq 0 ] ||
        echo "setup: these packages could not be had: $(printf '%s; ' "${refused[@]}" | sed 's/; $//')"
    return $status
}
