#!/usr/bin/env bash
# Builds the Debian package and checks it: contents against packaging/expected-contents.txt,
# lintian (no errors), desktop-file-validate, appstreamcli validate. Then unpacks it into a
# temporary root and starts orvio from its desktop entry's Exec line under Xvfb, as a user who
# cannot write the program's folder: Help, User manual must find the unpacked manual and the
# settings must land under $XDG_CONFIG_HOME after SIGTERM.
# With ORVIO_PACKAGE_INSTALL_TEST=1 and root (a disposable CI machine) it also installs the
# package with apt, runs /usr/bin/orvio the same way, removes it and checks that nothing of it
# is left in /usr.
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD

# Usage: scripts/package-check.sh [DEB]   (without DEB it builds the package first)
if [ $# -ge 1 ]; then
  deb=$(realpath "$1")
else
  deb=$src/$(scripts/package.sh | tail -n 1)
fi
echo "== package $(basename "$deb"): $(du -k "$deb" | cut -f1) KiB"

work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  chmod -R u+w "$work" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "== contents"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | LC_ALL=C sort >"$work/contents.txt"
if ! diff -u packaging/expected-contents.txt "$work/contents.txt"; then
  echo "package contents differ from packaging/expected-contents.txt" >&2
  exit 1
fi
dpkg-deb -f "$deb" Package Version Architecture Depends Recommends

echo "== lintian"
lintian --fail-on error --tag-display-limit 0 "$deb"
echo "lintian: no errors"

dpkg-deb -x "$deb" "$work/root"
echo "== desktop-file-validate"
desktop-file-validate "$work/root/usr/share/applications/orvio.desktop"
echo "desktop-file-validate: passed"
echo "== appstreamcli validate"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/"*.metainfo.xml

# A display any user may use, on a free display number.
Xvfb -displayfd 3 -ac -nolisten tcp -screen 0 1280x960x24 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
display=":$(head -n 1 "$work/display")"

# Runs the desktop entry's Exec line of $1 (with $2 prepended to PATH) as a user who cannot write
# the program's folder; Help, User manual goes to a stand-in xdg-open that notes the document.
# Fails on any missed expectation. $3: the manual it must open ("" when not installed), $4: a name.
start_from_desktop_entry() {
  local desktop=$1 bindir=$2 manual=$3 name=$4
  local home="$work/home-$name"
  mkdir -p "$home/bin" "$home/config"
  cat >"$home/bin/xdg-open" <<'OPEN'
#!/bin/sh
printf '%s\n' "$@" >>"$HOME/opened.txt"
OPEN
  chmod 755 "$home/bin/xdg-open"
  local exec_line
  exec_line=$(sed -n 's/^Exec=//p' "$desktop" | head -n 1 | sed 's/ *%[fFuUick]//g')
  local run=()
  if [ "$(id -u)" -eq 0 ]; then
    # root may write any folder; the check needs a user that cannot.
    chown -R nobody "$home"
    run=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
  fi
  "${run[@]}" env -i HOME="$home" XDG_CONFIG_HOME="$home/config" DISPLAY="$display" \
    PATH="$home/bin:$bindir:/usr/bin:/bin" LC_ALL=C QT_STYLE_OVERRIDE=windows \
    sh -c "exec $exec_line" >"$home/out.txt" 2>&1 &
  local pid=$!
  local win
  win=$(DISPLAY=$display timeout 30 xdotool search --sync --onlyvisible --name "ZELK" | head -n 1)
  [ -n "$win" ] || { echo "$name: the window did not appear" >&2; cat "$home/out.txt" >&2; return 1; }
  # Help, User manual by keyboard: Alt enters the menu bar; File, Language, Help; About, User manual.
  DISPLAY=$display xdotool windowactivate --sync "$win" 2>/dev/null || DISPLAY=$display xdotool windowfocus --sync "$win"
  sleep 0.5
  DISPLAY=$display xdotool key --delay 150 alt Right Right Down Down Return
  for _ in $(seq 50); do [ -s "$home/opened.txt" ] && break; sleep 0.1; done
  kill -TERM "$pid"
  wait "$pid" || { echo "$name: orvio ended with status $?" >&2; cat "$home/out.txt" >&2; return 1; }
  echo "$name: Help, User manual opened: $(cat "$home/opened.txt" 2>/dev/null)"
  if [ -n "$manual" ]; then
    grep -qx "file://$manual" "$home/opened.txt" ||
      { echo "$name: expected the manual $manual" >&2; return 1; }
  fi
  [ -s "$home/config/orvio/orvio.ini" ] ||
    { echo "$name: no settings in $home/config/orvio/orvio.ini" >&2; cat "$home/out.txt" >&2; return 1; }
  echo "$name: settings kept in \$XDG_CONFIG_HOME/orvio/orvio.ini ($(grep -c = "$home/config/orvio/orvio.ini") keys)"
}

echo "== unpacked package under Xvfb"
chmod 755 "$work" "$work/root"
chmod a-w "$work/root/usr/bin"
start_from_desktop_entry "$work/root/usr/share/applications/orvio.desktop" "$work/root/usr/bin" \
  "$work/root/usr/share/doc/orvio/UsrMan.pdf" unpacked
[ ! -e "$work/root/usr/bin/orvio.ini" ] || { echo "settings written beside the program" >&2; exit 1; }

if [ "${ORVIO_PACKAGE_INSTALL_TEST:-0}" = 1 ] && [ "$(id -u)" -eq 0 ]; then
  echo "== apt install, start, apt remove"
  if dpkg-query -W -f='${Status}' orvio 2>/dev/null | grep -q 'install ok installed'; then
    echo "orvio is already installed here; not touching it" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -qq --no-install-recommends "$deb" >"$work/apt-install.log" 2>&1 ||
    { cat "$work/apt-install.log"; exit 1; }
  dpkg-query -L orvio | LC_ALL=C sort >"$work/installed.txt"
  echo "installed: $(wc -l <"$work/installed.txt") paths, Installed-Size $(dpkg-query -W -f='${Installed-Size}' orvio) KiB"
  manual=/usr/share/doc/orvio/UsrMan.pdf
  if [ ! -f "$manual" ]; then
    echo "this machine's dpkg leaves /usr/share/doc out; the manual check uses the unpacked copy only"
    manual=""
  fi
  start_from_desktop_entry /usr/share/applications/orvio.desktop /usr/bin "$manual" installed
  apt-get remove -y -qq orvio >"$work/apt-remove.log" 2>&1 || { cat "$work/apt-remove.log"; exit 1; }
  left=$(while read -r p; do [ -e "$p" ] && [ ! -d "$p" ] && echo "$p"; done <"$work/installed.txt"
         find /usr -name '*orvio*' 2>/dev/null)
  if [ -n "$left" ]; then
    echo "left behind after apt remove:" >&2
    echo "$left" >&2
    exit 1
  fi
  echo "apt remove: nothing of orvio left in /usr"
fi
echo "package check passed"
