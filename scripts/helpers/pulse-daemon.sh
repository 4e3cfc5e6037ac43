#!/bin/sh
# Starts or stops a private PulseAudio daemon whose null sinks stand for a
# machine's playback devices (and their monitors for recording devices), so
# that Wine's own audio stack has real endpoints to enumerate.
# usage: pulse-daemon.sh start|stop FOLDER
# Clients reach it with PULSE_SERVER=unix:FOLDER/runtime/pulse/native.
set -eu
folder=$2
export XDG_RUNTIME_DIR="$folder/runtime" HOME="$folder/home"
pidfile="$XDG_RUNTIME_DIR/pulse/pid"

case "$1" in
  start)
    mkdir -p "$XDG_RUNTIME_DIR" "$HOME"
    chmod 700 "$XDG_RUNTIME_DIR"
    cat > "$folder/sinks.pa" <<'PA'
load-module module-native-protocol-unix auth-anonymous=1
load-module module-null-sink sink_name=cable sink_properties="device.description='Cable Input - Virtual Speakers (VB-Audio Virtual Cable)'"
load-module module-null-sink sink_name=speakers sink_properties="device.description='Speakers (High Definition Audio)'"
load-module module-null-sink sink_name=foreign sink_properties="device.description='Haut-parleurs (Réaltek) 扬声器'"
PA
    pulseaudio -n -F "$folder/sinks.pa" --daemonize=yes --exit-idle-time=-1 --use-pid-file=yes \
      --log-target="file:$folder/pulseaudio.log" </dev/null >/dev/null 2>&1
    for _ in 1 2 3 4 5 6 7 8 9 10; do
      [ -S "$XDG_RUNTIME_DIR/pulse/native" ] && break
      sleep 0.5
    done
    [ -S "$XDG_RUNTIME_DIR/pulse/native" ] || { cat "$folder/pulseaudio.log"; exit 1; }
    echo "PulseAudio $(cat "$pidfile") serving $XDG_RUNTIME_DIR/pulse/native"
    ;;
  stop)
    if [ -f "$pidfile" ]; then
      pid=$(cat "$pidfile")
      kill "$pid" 2>/dev/null || true
      for _ in 1 2 3 4 5 6 7 8 9 10; do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.5
      done
      rm -f "$pidfile"
    fi
    echo "PulseAudio stopped"
    ;;
  *)
    echo "usage: pulse-daemon.sh start|stop FOLDER" >&2
    exit 64
    ;;
esac
