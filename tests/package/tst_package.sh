#!/usr/bin/env bash
# The Debian package made from this build tree: cpack builds it, lintian finds nothing to
# report, it holds what an installation needs with its dependencies computed, its desktop
# entry and metainfo pass their validators, and the binary unpacked from it starts
# (offscreen) and closes in order.
#
#   tests/package/tst_package.sh BUILD_DIR
set -euo pipefail
build="$1"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$tmp" >"$tmp/cpack.log") || { cat "$tmp/cpack.log"; fail "cpack"; }
deb=("$tmp"/volaro_*_amd64.deb)
[[ -f ${deb[0]} ]] || fail "no volaro_<version>_amd64.deb"

# This tree is built without Debian's linker hardening; scripts/package.sh adds it.
lintian --fail-on error,warning --suppress-tags hardening-no-relro,hardening-no-bindnow \
    "${deb[0]}" || fail "lintian"

dpkg-deb -c "${deb[0]}" | awk '{print $6}' >"$tmp/contents"
for f in usr/bin/volaro usr/share/applications/volaro.desktop \
    usr/share/metainfo/io.example.Volaro.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/volaro.svg \
    usr/share/icons/hicolor/48x48/apps/volaro.png usr/share/doc/volaro/copyright \
    usr/share/man/man1/volaro.1.gz; do
    grep -qx "./$f" "$tmp/contents" || fail "$f is not in the package"
done
depends="$(dpkg-deb -f "${deb[0]}" Depends)"
for lib in libqt6widgets6 libqt6dbus6 libsdl2 libmpg123 libsndfile1 libtag1v5 libebur128 libqm-dsp0; do
    [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done

dpkg-deb -x "${deb[0]}" "$tmp/root"
share="$tmp/root/usr/share"
grep -qx "Exec=/usr/bin/volaro %f" "$share/applications/volaro.desktop" ||
    fail "the desktop entry does not start /usr/bin/volaro"
# Offered for every playable kind, MP4 audio among them.
grep -qx "MimeType=audio/.*audio/mp4;.*" "$share/applications/volaro.desktop" ||
    fail "the desktop entry does not offer the playable kinds"
desktop-file-validate "$share/applications/volaro.desktop" || fail "desktop-file-validate"
metainfo="$share/metainfo/io.example.Volaro.metainfo.xml"
grep -q '<launchable type="desktop-id">volaro.desktop</launchable>' "$metainfo" &&
    ! grep -q @ "$metainfo" || fail "the metainfo does not name the desktop entry"
appstreamcli validate --no-net "$metainfo" >"$tmp/appstream.log" &&
    ! grep -qE '^(E|W):' "$tmp/appstream.log" || { cat "$tmp/appstream.log"; fail "appstreamcli"; }
home="$tmp/home"
mkdir -p "$home"
HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_STATE_HOME="$home/state" \
    QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy \
    DBUS_SESSION_BUS_ADDRESS="unix:path=/nonexistent/volaro-bus" \
    "$tmp/root/usr/bin/volaro" &
pid=$!
# Up once it has kept its (empty) list; then a logout's SIGTERM closes it in order.
for _ in $(seq 100); do
    [[ -f $home/state/Volaro/playlist.m3u8 ]] && break
    kill -0 "$pid" 2>/dev/null || fail "the unpacked binary ended at start"
    sleep 0.1
done
kill -TERM "$pid"
wait "$pid" || fail "the unpacked binary ended with status $?"
[[ -f $home/config/Volaro/Volaro.conf ]] || fail "the unpacked binary saved no settings"
echo "package OK: $(basename "${deb[0]}")"
