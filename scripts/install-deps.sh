#!/usr/bin/env bash
# Installs the Debian packages needed to build, run and test Lumetra Tools.
# Idempotent: only packages that are missing are installed.
#   scripts/install-deps.sh          what the build and the demo need
#   scripts/install-deps.sh --test   and what the tests and checks need (scripts/test.sh)
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config
  # libraries
  nlohmann-json3-dev libcli11-dev libjpeg62-turbo-dev zlib1g-dev
  # the desktop program, and a display server for its tests and screenshots
  qt6-base-dev libgl-dev xvfb xauth fonts-dejavu-core
  # tests, fuzzing and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-dev
  # the format check and the static analysis (scripts/format.sh, scripts/tidy.sh)
  clang-format clang-tidy
  # end-to-end tests: network namespaces, a JSON reader
  iproute2 jq procps
  # a real telnet device for the operations' end-to-end test (Debian's plain busybox has no telnetd)
  busybox-static
  # TFTP: a real client for the server's tests (the benchmark also compares with tftpd-hpa when
  # it is installed; it is not installed here, as its service would take port 69)
  tftp-hpa
  # installing and packaging: man pages, the icon's bitmaps, the desktop entry's check, the package
  groff-base man-db librsvg2-bin desktop-file-utils dpkg-dev file
  # the all-devices page rendered in a headless browser, driven over WebDriver; the desktop
  # program's "Telnet" command
  chromium chromium-driver curl telnet
)
# For the tests alone: the checks of the package (lintian) and of its AppStream metainfo, which
# the installed tree's test runs too; nmap, the peer of the range-scan benchmark; nftables, the
# packet loss of the loss benchmark where the kernel has no netem.
case "${1:-}" in
  "") ;;
  --test) packages+=(lintian appstream nmap nftables) ;;
  *) echo "usage: $0 [--test]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
