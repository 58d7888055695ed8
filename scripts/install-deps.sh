#!/usr/bin/env bash
# Installs the Debian packages the build, the servers and the tests need. Does
# nothing when all are there; otherwise runs `apt-get update` once and installs
# the missing ones (needs root).
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  googletest libgtest-dev
  libgcrypt20-dev libgcrypt-mingw-w64-dev
  libasio-dev libsqlite3-dev
  wine wine64 fonts-wine fonts-liberation
  libxrender1 libxcursor1 libxi6 libxrandr2 libxinerama1 libxcomposite1 libxfixes3
  xvfb xauth x11-utils imagemagick fonts-wqy-microhei python3-pil
  pulseaudio pulseaudio-utils locales
  sox clang libfuzzer-14-dev
)

# Wine takes the code page (936) and the encoding of host file names from this
# locale; without it generated, names with Chinese characters cannot be created.
have_locale() { locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; }

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ] && have_locale; then
  echo "install-deps: all ${#packages[@]} packages and the zh_CN.UTF-8 locale are installed"
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  [ ${#missing[@]} -gt 0 ] && echo "install-deps: these packages are missing: ${missing[*]}" >&2
  have_locale || echo "install-deps: the zh_CN.UTF-8 locale is not generated" >&2
  echo "install-deps: run this command as root (e.g. with sudo) so they can be installed" >&2
  exit 1
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if ! have_locale; then
  echo "install-deps: generating the zh_CN.UTF-8 locale"
  if grep -q '^# *zh_CN.UTF-8 UTF-8' /etc/locale.gen; then
    sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  elif ! grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen; then
    echo 'zh_CN.UTF-8 UTF-8' >>/etc/locale.gen
  fi
  locale-gen
fi
