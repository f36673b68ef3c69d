#!/usr/bin/env bash
# Installs every build, test and demo dependency from Debian's packages.
# Idempotent: packages already present are skipped, so a second run is quick.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  qt6-base-dev qt6-base-dev-tools libqt6test6 libqt6svg6 qt6-qpa-plugins
  qt6-translations-l10n  # Qt's own dialog and box texts in the chosen language
  libgl-dev libxkbcommon-dev
  libcurl4-openssl-dev libssl-dev
  libgtest-dev libgmock-dev
  libcpp-httplib-dev libsimpleini-dev
  libcli11-dev nlohmann-json3-dev  # tovarin-fleet: arguments, JSON report
  iproute2 util-linux socat curl
  fonts-noto-cjk fonts-dejavu-core
  xdg-utils  # xdg-open: the web message link opens the desktop's browser
  clang-14 libclang-rt-14-dev  # libFuzzer harnesses (scripts/fuzz.sh)
  minisign  # reference signer the signature tests check against
  ansible-core  # the Ansible integration's test runs real playbooks
  openssl  # the HTTPS tests make a throwaway certificate authority (scripts/make-test-ca.sh)
  libsodium-dev  # Ed25519 and BLAKE2b for firmware signatures
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
