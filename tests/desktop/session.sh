#!/usr/bin/env bash
# Runs one command inside a private desktop: an X server (Xvfb) with a real window manager
# (openbox), a private PulseAudio server with two null sinks and a private session bus.
# Nothing of the user's own session is touched: every server lives in a fresh runtime
# folder and is stopped when the command ends. Exits with the command's status.
#
#   tests/desktop/session.sh COMMAND [ARGS...]
#
# The command sees DISPLAY, PULSE_SERVER, DBUS_SESSION_BUS_ADDRESS, XDG_RUNTIME_DIR and
# VOLARO_SINKS ("volaro_a volaro_b", the two null sinks; the first is the default) and
# VOLARO_PULSE_CONFIG (the sound server's script, to start it again after a test stops it).
set -uo pipefail

rt=$(mktemp -d "${TMPDIR:-/tmp}/volaro-desktop.XXXXXX")
chmod 700 "$rt"
pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
    rm -rf "$rt"
}
trap cleanup EXIT
trap 'exit 143' TERM INT

fail() {
    echo "desktop session: $*" >&2
    for f in "$rt"/*.log; do [[ -s $f ]] && { echo "--- $f" >&2; tail -n 20 "$f" >&2; }; done
    exit 125
}

# wait_for SECONDS COMMAND...: polls every 50 ms until the command succeeds.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < deadline)) || return 1
        sleep 0.05
    done
}

export XDG_RUNTIME_DIR="$rt/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"

# X server: Xvfb picks a free display and writes its number to the pipe; it is taken once
# a client gets an answer from it. A server that does not answer (a display number
# another server was still giving up) is stopped and another one started, twice at most.
start_x() {
    exec 3<> <(:)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$rt/xvfb.log" 2>&1 &
    local pid=$!
    local display=""
    read -r -t 10 display <&3
    exec 3<&-
    if [[ -n $display ]] && wait_for 5 xprop -display ":$display" -root; then
        pids+=("$pid")
        export DISPLAY=":$display"
        return 0
    fi
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    return 1
}
start_x || start_x || start_x || fail "Xvfb did not start"

# Session bus first, so that the window manager and the player find it.
dbus-daemon --session --nofork --nopidfile --address="unix:path=$rt/bus" \
    >"$rt/dbus.log" 2>&1 &
pids+=($!)
export DBUS_SESSION_BUS_ADDRESS="unix:path=$rt/bus"
wait_for 10 test -S "$rt/bus" || fail "the session bus did not start"

# Window manager: running once it has claimed the root window.
openbox --sm-disable >"$rt/openbox.log" 2>&1 &
pids+=($!)
wait_for 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
    fail "openbox did not start"

# Sound server with two null sinks; anonymous access on a socket of our own. As on a
# desktop, a dummy sink stands in when no other is left (SDL's PulseAudio driver crashes
# on a server without any sink).
cat >"$rt/pulse.pa" <<EOF
load-module module-native-protocol-unix auth-anonymous=1 socket=$rt/pulse.sock
load-module module-always-sink
load-module module-null-sink sink_name=volaro_a sink_properties=device.description=Volaro_Sink_A
load-module module-null-sink sink_name=volaro_b sink_properties=device.description=Volaro_Sink_B
set-default-sink volaro_a
EOF
export PULSE_SERVER="unix:$rt/pulse.sock"
export PULSE_RUNTIME_PATH="$rt/pulse"
export PULSE_STATE_PATH="$rt/pulse-state"
export PULSE_COOKIE="$rt/pulse-cookie"
pulseaudio -n -F "$rt/pulse.pa" --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
    --disallow-exit=no --log-target=stderr >"$rt/pulse.log" 2>&1 &
pids+=($!)
wait_for 10 pactl info || fail "PulseAudio did not start"
export VOLARO_SINKS="volaro_a volaro_b"
export VOLARO_PULSE_CONFIG="$rt/pulse.pa"

export QT_QPA_PLATFORM=xcb
export SDL_AUDIODRIVER=pulseaudio
unset SDL_DISKAUDIOFILE

"$@"
