# Shared by the package tests: where the two packages are, and how a check fails.
# Sourced with: DEBS (folder of the .deb files) and VERSION set.
ARCH=$(dpkg --print-architecture)
SERVER_DEB=$DEBS/velarix-server_${VERSION}_${ARCH}.deb
CLIENT_DEB=$DEBS/velarix-client_${VERSION}_${ARCH}.deb

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# wait_for SECONDS DESCRIPTION COMMAND...: polls the condition every 0.1 s.
wait_for() {
    local seconds=$1 what=$2
    shift 2
    local tries=$((seconds * 10))
    while ! "$@" 2>/dev/null; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || fail "timed out waiting for: $what"
        sleep 0.1
    done
}

[ -f "$SERVER_DEB" ] || fail "no $SERVER_DEB"
[ -f "$CLIENT_DEB" ] || fail "no $CLIENT_DEB"
