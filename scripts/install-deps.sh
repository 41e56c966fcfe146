#!/usr/bin/env bash
# Installs the Debian 12 packages Velarix needs to build, test and run its demo.
# Does nothing when everything is already there.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang-format
    qt6-base-dev libqt6sql6-sqlite qt6-translations-l10n
    # Qt HTTP Server finds its CMake package only with the WebSockets module's beside it.
    qt6-websockets-dev
    libgtest-dev libbenchmark-dev
    poppler-utils fonts-liberation
    xvfb xauth imagemagick
    cups cups-client printer-driver-cups-pdf
    samba smbclient mdbtools procps
    file time
    # The wall clock moved under the real server (tests/endtoend/tst_printretry).
    faketime
    # The package tests: Debian's checks, the service sandbox's rating, users in a scratch /etc.
    lintian devscripts systemd passwd util-linux
    # The web page: Qt's HTTP server, the package's certificate, the page in a real browser.
    qt6-httpserver-dev openssl python3 chromium chromium-driver python3-selenium
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
