# Sourced by the shell tests that start the real programs.
# free_ports: prints the first of 25 ports nobody listens on, below the range the C++ tests
# reserve (20000-32700) and the ephemeral ports, tried at random so that runs side by side differ.
free_ports() {
    local base port taken
    for _ in $(seq 20); do
        base=$((10000 + RANDOM % 9975)) taken=""
        for port in $(seq "$base" $((base + 24))); do
            (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && taken=yes && break
        done
        [ -z "$taken" ] && break
    done
    echo "$base"
}
