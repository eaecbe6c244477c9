#!/usr/bin/env bash
# "cmake --install" into a scratch root: the program folder with its language files and the
# command-line restore beside the service, the menu entry naming the installed executable, the
# autostart entry and the icon.
set -euo pipefail
build=$1 source=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR=$root cmake --install "$build" --prefix /opt/kx >/dev/null
fail() { echo "FAIL: $*" >&2; exit 1; }
program=$root/opt/kx/lib/korvanex-yedek
[ -x "$program/korvanex-yedek" ] || fail "no executable in the program folder"
[ -x "$program/korvanex-geri-yukle" ] || fail "no command-line restore beside the service"
help=$("$program/korvanex-geri-yukle" --help) || fail "the installed command-line restore does not run"
grep -q '^  korvanex-geri-yukle firebird ' <<<"$help" || fail "the command-line restore tells no usage"
for f in "$source"/Language/*.lng; do
  cmp -s "$f" "$program/Language/$(basename "$f")" || fail "language file $(basename "$f") not installed"
done
entry=$root/opt/kx/share/applications/korvanex-yedek.desktop
[ -f "$entry" ] || fail "no menu entry"
grep -qx 'Exec=/opt/kx/lib/korvanex-yedek/korvanex-yedek' "$entry" || fail "menu entry does not name the installed program"
grep -qx 'Icon=korvanex-yedek' "$entry" || fail "menu entry names no icon"
cmp -s "$entry" "$root/etc/xdg/autostart/korvanex-yedek.desktop" || fail "no autostart entry"
[ -s "$root/opt/kx/share/icons/hicolor/scalable/apps/korvanex-yedek.svg" ] || fail "no icon"
echo "installation complete"
