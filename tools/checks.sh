# Sourced by the end-to-end and packaging test scripts: one way to count and report their checks.
#   check NAME COMMAND...   runs COMMAND; prints "ok   NAME" or "FAIL NAME" and counts the failure;
#                           returns COMMAND's verdict, so that `check ... || return` skips what
#                           cannot go on (a dialog that never showed must not be measured)
#   is ACTUAL EXPECTED      true when equal; otherwise says what it got
#   windows_path PATH       the path as Wine's Z: drive shows it
# A script ends with `exit $((failures != 0))` or its own summary of $failures.

failures=0

check() { # name, condition...
    local name=$1; shift
    if "$@"; then
        echo "ok   $name"
    else
        echo "FAIL $name"
        failures=$((failures + 1))
        return 1
    fi
}

is() { [ "$1" = "$2" ] || echo "     got '$1', expected '$2'"; [ "$1" = "$2" ]; }

windows_path() { local path=$1; echo "Z:${path//\//\\}"; }
