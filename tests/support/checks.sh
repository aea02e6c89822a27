# Sourced by the test scripts: counted checks in TAP-like lines ("ok - ...", "not ok - ...").
# The caller prints "$passed passed, $failed failed" at the end and exits with the outcome.
passed=0
failed=0
ok() { echo "ok - $*"; passed=$((passed + 1)); }
not_ok() { echo "not ok - $*"; failed=$((failed + 1)); }
# check WHAT COMMAND...: one check that passes when the command succeeds.
check() {
    local what=$1
    shift
    if "$@"; then ok "$what"; else not_ok "$what"; fi
}
