#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop needs from it, then builds the
# Debian package from the same build and checks its control fields and contents list.
#   test_install.sh BUILD_DIR VERSION
set -euo pipefail
build="$1"
version="$2"
app_id=example.brambledyne.BDChatSlate
icon=bd-chatslate
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
desktop="$prefix/share/applications/$app_id.desktop"
metainfo="$prefix/share/metainfo/$app_id.metainfo.xml"

desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
appstreamcli validate --no-net "$metainfo" >"$work/appstream.txt" 2>&1 \
    || { cat "$work/appstream.txt" >&2; fail "appstreamcli validate $metainfo"; }

# The menu entry must start the installed executable and find its icon in the hicolor theme.
exec_line="$(sed -n 's/^Exec=//p' "$desktop")"
[ -x "$prefix/bin/${exec_line%% *}" ] || fail "Exec=$exec_line is not an installed executable"
[ "$(sed -n 's/^Icon=//p' "$desktop")" = "$icon" ] || fail "Icon= is not $icon"
icon_files=(scalable/apps/$icon.svg)
for size in 16 24 32 48 64 128 256; do
    icon_files+=("${size}x${size}/apps/$icon.png")
done
for file in "${icon_files[@]}"; do
    [ -s "$prefix/share/icons/hicolor/$file" ] || fail "icon $file not installed"
done
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" \
    || fail "metainfo does not launch $app_id.desktop"
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo release is not $version"

# The installed program answers without a display.
reported="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/${exec_line%% *}" --version)" \
    || fail "--version of the installed program failed"
[ "$reported" = "BD-ChatSlate $version" ] || fail "installed program reports '$reported'"

cpack --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.txt" 2>&1 \
    || { cat "$work/cpack.txt" >&2; fail "cpack"; }
deb="$(find "$work/package" -maxdepth 1 -name '*.deb' | head -n 1)"
if [ -z "$deb" ]; then
    fail "no .deb built"
else
    [ "$(dpkg-deb -f "$deb" Package)" = bd-chatslate ] || fail "package name"
    [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
    depends="$(dpkg-deb -f "$deb" Depends)"
    # qt6-qpa-plugins is named by hand; the Qt widgets library only comes from dpkg-shlibdeps.
    for needed in qt6-qpa-plugins libqt6widgets6 libc6; do
        grep -qE "(^|, )$needed( |,|$)" <<<"$depends" || fail "Depends lacks $needed: $depends"
    done
    dpkg-deb -c "$deb" | awk '{print $NF}' >"$work/contents.txt"
    for path in usr/bin/BD-CHATSLATE "usr/share/applications/$app_id.desktop" \
        "usr/share/metainfo/$app_id.metainfo.xml" "${icon_files[@]/#/usr/share/icons/hicolor/}"; do
        grep -qx "\./$path" "$work/contents.txt" || fail "package lacks /$path"
    done
fi

[ "$failures" -eq 0 ] || exit 1
echo "install and package checks passed"
