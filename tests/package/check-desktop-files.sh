#!/usr/bin/env bash
# The files that make the program a desktop citizen, as the desktop's own tools read them: the
# desktop entry, the AppStream metainfo, the MIME types, the manual pages and the tool's bash
# completion.
#
#   tests/package/check-desktop-files.sh RESOURCES_FOLDER MANUALS_FOLDER
set -euo pipefail
resources=$1
manuals=$2
fail() { echo "check-desktop-files: $*" >&2; exit 1; }

desktop-file-validate "$resources/desktop/linlangok.desktop"
appstreamcli validate --no-net --pedantic "$resources/desktop/org.lyrabooth.linlangok.metainfo.xml"

mime=$(mktemp -d)
trap 'rm -rf "$mime"' EXIT
mkdir "$mime/packages"
cp /usr/share/mime/packages/freedesktop.org.xml "$resources/desktop/linlangok-mime.xml" "$mime/packages/"
XDG_DATA_DIRS=$(dirname "$mime") update-mime-database "$mime" 2>&1 | { ! grep .; } ||
  fail "update-mime-database complains"
for type in text/x-ultrastar application/x-mp3g+zip; do
  grep -qx "$type" "$mime/types" || fail "$type is not registered"
done

for page in linlangok.1.gz linlangok-tool.1.gz; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$manuals/$page" 2>&1 >/dev/null)
  [[ -z $warnings ]] || fail "$page: $warnings"
done
zcat "$manuals/linlangok-tool.1.gz" | grep -q '^\.B sing SONG' || fail "the tool's page does not list sing"

# shellcheck source=/dev/null
source "$manuals/linlangok-tool"
complete_words() {
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  _linlangok_tool
  echo "${COMPREPLY[*]}"
}
[[ $(complete_words linlangok-tool si) == sing ]] || fail "the completion does not offer sing"
[[ $(complete_words linlangok-tool sing song.mid --ef) == --effect ]] || fail "the completion does not offer --effect"
[[ $(complete_words linlangok-tool catalog s) == search ]] || fail "the completion does not offer catalog search"
echo "check-desktop-files: all valid"
