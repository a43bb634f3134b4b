#!/usr/bin/env bash
# Checks a built package the way Debian checks packages: lintian (no error, no
# warning), the menu entry (desktop-file-validate, silent), the AppStream data
# (appstreamcli), the release history (the same versions and dates in the
# Debian change log and the AppStream data), and the programs run from the
# files unpacked into a temporary folder.
set -euo pipefail
deb=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "lintian"
lintian --fail-on error,warning "$deb" 2> >(grep -v 'running with root privileges' >&2)

root=$work/root
dpkg-deb -x "$deb" "$root"

echo "desktop-file-validate"
for entry in "$root"/usr/share/applications/rk7140-panel.desktop "$root"/usr/share/applications/rk7140-panel-demo.desktop; do
  complaints=$(desktop-file-validate "$entry" 2>&1) || true
  if [ -n "$complaints" ]; then
    echo "$complaints" >&2
    exit 1
  fi
done

echo "appstreamcli validate"
metainfo=("$root"/usr/share/metainfo/*.metainfo.xml)
appstreamcli validate --no-net "${metainfo[@]}"

echo "release history"
zcat "$root/usr/share/doc/rk7140/changelog.gz" > "$work/changelog"
from_changelog=$(dpkg-parsechangelog -l "$work/changelog" --all --format rfc822 |
  awk '/^Version:/ { v = $2 } /^Date:/ { sub(/^Date: /, ""); print v, $0 }' |
  while read -r version date; do echo "$version $(date -u -d "$date" +%F)"; done)
from_metainfo=$(grep -o '<release version="[^"]*" date="[^"]*"' "${metainfo[@]}" |
  sed 's/<release version="\([^"]*\)" date="\([^"]*\)"/\1 \2/')
if [ "$from_changelog" != "$from_metainfo" ]; then
  printf 'change log and AppStream releases differ:\n%s\n--\n%s\n' "$from_changelog" "$from_metainfo" >&2
  exit 1
fi
package_version=$(dpkg-deb -f "$deb" Version)
if [ "${from_changelog%% *}" != "$package_version" ]; then
  echo "the change log's newest version is not the package's $package_version" >&2
  exit 1
fi

echo "dependencies"
# Qt's translations are not a library: shlibdeps cannot find that the panel needs them.
depends=$(dpkg-deb -f "$deb" Depends)
case ", $depends," in
  *", qt6-translations-l10n"[,\ ]*) ;;
  *) echo "the package does not depend on qt6-translations-l10n: $depends" >&2; exit 1 ;;
esac

echo "programs from the unpacked package"
"$root/usr/bin/rk7140-sim" --help >/dev/null
"$root/usr/bin/rk7140-tags" --help >/dev/null
"$root/usr/bin/rk7140ctl" --help >/dev/null
"$root/usr/bin/rk7140ctl" --version | grep -qx "rk7140ctl $package_version"
QT_QPA_PLATFORM=offscreen "$root/usr/bin/rk7140-panel" --version | grep -qx "rk7140-panel $package_version"
# The panel starts and keeps running (offscreen, with a configuration folder
# of its own); "timeout" ending it is the expected outcome.
rc=0
XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=offscreen timeout 3 "$root/usr/bin/rk7140-panel" || rc=$?
if [ "$rc" -ne 124 ]; then
  echo "rk7140-panel from the package ended with code $rc" >&2
  exit 1
fi
# The demo starts the virtual module beside the panel and ends it with the
# panel, even when the panel is ended by a signal.
rc=0
XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=offscreen timeout 3 "$root/usr/bin/rk7140-panel" --demo \
  >"$work/demo.out" || rc=$?
if [ "$rc" -ne 124 ] || ! grep -q '^Virtual RK-7140 module .* on ' "$work/demo.out"; then
  echo "rk7140-panel --demo from the package ended with code $rc without its virtual module:" >&2
  cat "$work/demo.out" >&2
  exit 1
fi
for _ in $(seq 40); do
  pgrep -f "^$root/usr/bin/rk7140-sim" >/dev/null || break
  sleep 0.05
done
if pgrep -f "^$root/usr/bin/rk7140-sim" >/dev/null; then
  echo "the demo's virtual module outlived the panel" >&2
  exit 1
fi
echo "package checks passed: $(basename "$deb")"
