#!/usr/bin/env bash
# Builds the Debian package and checks it: lintian, the desktop entry, the AppStream metadata,
# the manual pages, the file list, and an install, a run and a purge in a throw-away root
# (an overlay of / in a mount namespace of its own; the real system is not touched).
# Needs root for the throw-away root; without root, or where it cannot be mounted, the file
# list check stands alone and the script says so.
set -euo pipefail
cd "$(dirname "$0")/.."

deb=$(scripts/package.sh | tail -n 1)
echo "package: $deb"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# lintian: errors fail, warnings are listed.
lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports errors"

# The file list the package must have.
dpkg-deb -c "$deb" | awk '{ print substr($6, 2) }' | sed 's|/$||' >"$tmp/files"
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
expected=(
  /usr/bin/qubra232 /usr/bin/qubra-cli /usr/bin/qubra-sim
  "/usr/lib/$multiarch/qubra232/qubra-iphelper.so"
  "/usr/lib/$multiarch/qubra232/qubra-arpd"
  /lib/systemd/system/qubra-arpd.socket /lib/systemd/system/qubra-arpd.service
  /usr/share/qubra232/cesky.lng.xml /usr/share/qubra232/english.lng.xml
  /usr/share/applications/org.example.qubra232.desktop
  /usr/share/metainfo/org.example.qubra232.metainfo.xml
  /usr/share/icons/hicolor/scalable/apps/org.example.qubra232.svg
  /usr/share/man/man1/qubra232.1.gz /usr/share/man/man1/qubra-cli.1.gz
  /usr/share/man/man1/qubra-sim.1.gz
  /usr/share/bash-completion/completions/qubra-cli
  /usr/share/doc/qubra232/copyright
)
for file in "${expected[@]}"; do
  grep -qxF "$file" "$tmp/files" || fail "the package lacks $file"
done
helper=/usr/lib/$multiarch/qubra232/qubra-arpd

# The files as the package holds them.
dpkg-deb -x "$deb" "$tmp/content"
desktop-file-validate "$tmp/content/usr/share/applications/org.example.qubra232.desktop" ||
  fail "desktop-file-validate"
appstreamcli validate --no-net "$tmp/content/usr/share/metainfo/org.example.qubra232.metainfo.xml" ||
  fail "appstreamcli validate"
for page in "$tmp"/content/usr/share/man/man1/*.1.gz; do
  warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man $(basename "$page"): $warnings"
  MANWIDTH=80 man -l "$page" 2>/dev/null | grep -q '^NAME' || fail "man $(basename "$page") renders no NAME"
done

# Runs inside the throw-away root: install, check, run, purge, check that nothing is left.
# Without a running systemd there, the socket is enabled but not started.
cat >"$tmp/in-root.sh" <<'INNER'
set -eu
deb=$1 helper=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
dpkg -i "$deb" >/dev/null || fail "dpkg -i"
getent group qubra232 >/dev/null || fail "no group qubra232 after the install"
for program in /usr/bin/qubra232 /usr/bin/qubra-cli /usr/bin/qubra-sim; do
  [ -z "$(getcap "$program")" ] || fail "$program carries capabilities"
done
# The service carries no file capability: systemd runs it as root, bounded to CAP_NET_ADMIN.
[ "$(stat -c '%U:%G %a' "$helper")" = "root:root 755" ] || fail "the service is $(stat -c '%U:%G %a' "$helper")"
[ -z "$(getcap "$helper")" ] || fail "the service carries capabilities"
[ -L /etc/systemd/system/sockets.target.wants/qubra-arpd.socket ] || fail "the socket unit is not enabled"
grep -qx "ExecStart=$helper" /lib/systemd/system/qubra-arpd.service || fail "the service unit names another program"
if command -v systemd-analyze >/dev/null; then
  systemd-analyze verify /lib/systemd/system/qubra-arpd.socket /lib/systemd/system/qubra-arpd.service ||
    fail "systemd-analyze verify"
else
  echo "no systemd-analyze here: the units are not verified"
fi
# Reinstalling keeps the group and does not fail on it.
dpkg -i "$deb" >/dev/null || fail "a second dpkg -i"
version=$(qubra-cli --version) || fail "qubra-cli --version"
echo "installed: $version"
dpkg -L qubra232 >/tmp/qubra232.files
dpkg --purge qubra232 >/dev/null || fail "dpkg --purge"
while IFS= read -r file; do
  [ "$file" = /. ] && continue
  # Folders the package shares with others stay; its own go.
  if [ -d "$file" ]; then
    case $file in */qubra232) fail "$file is left after the purge" ;; esac
  elif [ -e "$file" ] || [ -L "$file" ]; then
    fail "$file is left after the purge"
  fi
done </tmp/qubra232.files
echo "removed cleanly"
INNER

root_check() {
  unshare --mount --propagation private bash -euc '
    tmp=$1 deb=$2 helper=$3
    mount -t tmpfs tmpfs "$tmp/layer"
    mkdir "$tmp/layer/upper" "$tmp/layer/work"
    mount -t overlay overlay -o "lowerdir=/,upperdir=$tmp/layer/upper,workdir=$tmp/layer/work" "$tmp/root"
    mount -t proc proc "$tmp/root/proc"
    mount --rbind /dev "$tmp/root/dev"
    cp "$deb" "$tmp/in-root.sh" "$tmp/root/tmp/"
    chroot "$tmp/root" sh /tmp/in-root.sh "/tmp/$(basename "$deb")" "$helper"
  ' root-check "$tmp" "$deb" "$helper"
}

mkdir "$tmp/layer" "$tmp/root"
if [ "$(id -u)" -ne 0 ]; then
  echo "not root: no throw-away root; the file list above is the install check"
elif ! unshare --mount true 2>/dev/null; then
  echo "no mount namespace here: no throw-away root; the file list above is the install check"
else
  root_check || fail "install, run and purge in a throw-away root"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "package checks passed"
