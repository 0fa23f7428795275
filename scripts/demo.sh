#!/usr/bin/env bash
# The main job on a built tree: a fresh device root with reading enabled, the
# reader simulator as COM1:, the program typing into standard output (the text
# key sink), a few sample cards and a tag, then the orderly end.
set -euo pipefail

build=${1:-build}
program=$build/host/swipetype
sim=$build/tools/swipetype-sim/swipetype-sim
send=$build/tools/swipetype-send/swipetype-send
for tool in "$program" "$sim" "$send"; do
    [[ -x $tool ]] || { echo "demo: $tool is not built" >&2; exit 1; }
done

work=$(mktemp -d /tmp/swipetype-demo-XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

say() { printf '\n== %s\n' "$*"; }

# Shows what the program typed since the last call, with ENTER as <ENTER>.
shown=0
show_typed() {
    sleep "${1:-1}"
    local text
    text=$(tail -c +$((shown + 1)) "$work/typed")
    shown=$(stat -c %s "$work/typed")
    printf 'typed: %s\n' "$(printf '%s' "$text" | sed 's/\r/<ENTER>/g')"
}

say "A fresh device root with reading enabled: MSR, prefix \"CARD:\", track 2, ENTER, beeps"
mkdir -p "$work/root/registry"
cat > "$work/root/registry/HKEY_LOCAL_MACHINE.reg" <<'HIVE'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Zelna\Swipetype]
"Enable"=dword:00000001
"UseMSR"=dword:00000001
"Beep"=dword:00000001
"Prefix"="CARD:"
"Suffix"=""
"SendTab"=dword:00000000
"SendEnter"=dword:00000001
"UseTrack1"=dword:00000000
"UseTrack2"=dword:00000001
"UseTrack3"=dword:00000000
"TrackSeparator"="|"
"AutoStart"=dword:00000000
"MSRInterval"=dword:00000145
"RFIDInterval"=dword:0000015e
HIVE
echo "root: $work/root"

say "The MSR simulator on a pseudo-terminal, linked as $work/com1"
mkfifo "$work/swipes"
"$sim" msr --quiet --link "$work/com1" --input "$work/swipes" > "$work/sim.out" &
pids+=($!)
exec 3> "$work/swipes"
until [[ -L $work/com1 ]]; do sleep 0.05; done
echo "COM1: is $(head -1 "$work/sim.out")"

say "The program, typing into standard output, with its event log"
: > "$work/typed"
"$program" --root "$work/root" --port "COM1:=$work/com1" --keys text --ui headless \
    --log "$work/events.jsonl" > "$work/typed" 2> "$work/program.err" &
program_pid=$!
pids+=("$program_pid")
until "$send" --root "$work/root" --control 1003 BM_GETCHECK > /dev/null 2>&1; do sleep 0.05; done
echo "running (pid $program_pid); reading enabled: $("$send" --root "$work/root" --control 1003 BM_GETCHECK)"

say "A good card"
echo '%B4111111111111111^DOE/JOHN^2512101?;4111111111111111=2512101?' >&3
show_typed

say "A card whose track 2 reads \"E\": a beep (type 4), nothing typed"
echo '%B4111111111111111^DOE/JOHN^2512101?;E?' >&3
show_typed
grep '"event":"beep"' "$work/events.jsonl" | sed 's/^/log: /'

say "Switching to the RFID reader with swipetype-send, a tag presented"
exec 3>&-
kill "${pids[0]}"; wait "${pids[0]}" 2>/dev/null || true
"$sim" rfid --quiet --link "$work/com1" --tag 12A4C8F0 > "$work/sim.out" &
pids[0]=$!
until [[ -L $work/com1 ]]; do sleep 0.05; done
"$send" --root "$work/root" --control 1010 BM_CLICK > /dev/null
show_typed 2
echo "(each tick with the tag present types it again)"

say "The orderly end: SIGTERM, as \"Exit\" does"
kill -TERM "$program_pid"
wait "$program_pid" && echo "exit code 0"
grep '"event":"tray"' "$work/events.jsonl" | sed 's/^/log: /'
echo "saved: $(grep -c '=' "$work/root/registry/HKEY_LOCAL_MACHINE.reg") values in the hive"
