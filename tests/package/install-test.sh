#!/usr/bin/env bash
# Installs the package the way users do (apt-get install ./linlangok_*.deb) in a scratch copy of
# this system's root, an overlay over / in a mount namespace of its own, so the system itself is
# never touched: the programs run from /usr/bin, find their data under /usr/share/linlangok and
# keep their files under ~/.local/share/linlangok; then apt-get remove takes every file of the
# package away again. Needs root, as CI has; exits 77 (skipped) otherwise.
#
#   tests/package/install-test.sh PACKAGE.deb
set -euo pipefail

if (($# != 1)) || [[ ! -f $1 ]]; then
  echo "usage: tests/package/install-test.sh PACKAGE.deb" >&2
  exit 2
fi
if (($(id -u) != 0)); then
  echo "install-test: installing a package in a scratch root needs root: skipped"
  exit 77
fi
package=$(realpath "$1")
scratch=$(mktemp -d "${TMPDIR:-/tmp}/linlangok-install.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/upper" "$scratch/work" "$scratch/root"
# The overlay shows only the root file system, not what is mounted on it: the package goes in its
# upper layer.
cp "$package" "$scratch/upper/linlangok.deb"

cat >"$scratch/upper/install-test-inside.sh" <<'INSIDE'
set -euo pipefail
fail() { echo "install-test: $*" >&2; exit 1; }
export DEBIAN_FRONTEND=noninteractive HOME=/tmp/user QT_QPA_PLATFORM=offscreen
unset LINLANGOK_HOME XDG_DATA_HOME XDG_CONFIG_HOME LINLANGOK_EFFECT_HOST LINLANGOK_SOUNDFONT
mkdir -p "$HOME"
apt-get install -y -q --no-install-recommends /linlangok.deb >/tmp/apt.log 2>&1 || { cat /tmp/apt.log; fail "apt-get install failed"; }
mapfile -t files < <(dpkg -L linlangok | while read -r path; do [[ -f $path ]] && echo "$path"; done)
((${#files[@]} > 20)) || fail "the package holds only ${#files[@]} files"

[[ $(command -v linlangok) == /usr/bin/linlangok && $(command -v linlangok-tool) == /usr/bin/linlangok-tool ]] ||
  fail "the programs are not on the PATH from /usr/bin"
cd "$HOME"
linlangok-tool info /usr/share/linlangok/demo/jasmine.mid | grep -q '"tracks"' || fail "the tool cannot read the demo song"
LINLANGOK_AUDIO_OUT=null linlangok-tool render /usr/share/linlangok/demo/jasmine.mid "$HOME/jasmine.wav" >/dev/null ||
  fail "the demo song does not render through the SoundFont"
[[ $(stat -c %s "$HOME/jasmine.wav") -gt 1000000 ]] || fail "the render is empty"
linlangok-tool effects | grep -q '"urn:dragonfly:room"' || fail "the effects are not found"
[[ -d $HOME/.local/share/linlangok && ! -e /usr/bin/OKSetting.ini ]] ||
  fail "the program folder is not ~/.local/share/linlangok"
code=0
timeout -s TERM 4 linlangok /usr/share/linlangok/demo/jasmine.mid >/tmp/app.log 2>&1 || code=$?
((code == 124 || code == 143 || code == 0)) || { cat /tmp/app.log; fail "the program ended with $code"; }
[[ -f $HOME/.local/share/linlangok/OKSetting.ini ]] || { cat /tmp/app.log; fail "the program kept no settings"; }
man -w linlangok linlangok-tool >/dev/null || fail "the manual pages are not found"
grep -q '^text/x-ultrastar$' /usr/share/mime/types || fail "the MIME types are not registered"
desktop-file-validate /usr/share/applications/linlangok.desktop || fail "the desktop entry is not valid"
appstreamcli validate --no-net /usr/share/metainfo/org.lyrabooth.linlangok.metainfo.xml >/dev/null ||
  fail "the metainfo is not valid"

apt-get remove -y -q linlangok >/tmp/apt.log 2>&1 || { cat /tmp/apt.log; fail "apt-get remove failed"; }
for file in "${files[@]}"; do
  [[ ! -e $file ]] || fail "$file is left after apt-get remove"
done
! grep -q '^text/x-ultrastar$' /usr/share/mime/types || fail "the MIME types are left after apt-get remove"
echo "install-test: installed ${#files[@]} files, ran from /usr/bin, removed them all"
INSIDE

unshare --mount --fork bash -c '
  set -euo pipefail
  scratch=$1
  mount -t overlay overlay -o "lowerdir=/,upperdir=$scratch/upper,workdir=$scratch/work" "$scratch/root"
  mount --bind /proc "$scratch/root/proc"
  mount --bind /dev "$scratch/root/dev"
  mount -t tmpfs tmpfs "$scratch/root/tmp"
  mount -t tmpfs tmpfs "$scratch/root/run"
  chroot "$scratch/root" bash /install-test-inside.sh
' install-test "$scratch"
