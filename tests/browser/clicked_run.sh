#!/usr/bin/env bash
# The real ToviDownloader.exe under Wine, driven by mouse clicks at the
# window's pixel positions against a real tovi-server on 127.0.0.1:8101 (the
# program's built-in address): start, pause, close with its confirmation and
# notice, continue through the desktop shortcut, a second copy turned away.
# Screenshots of the awaiting, downloading and paused window go to the
# artefact directory, each checked at one pixel.
#
#   clicked_run.sh <windows build dir> <setup program> <tovi-server> <artefact dir> [user]
#
# The setup program stands in for the game's: it leaves "<its path>.ran".
# With a user name, the prefix is made for that Windows user, so that the
# profile folder C:\users\<user> (its desktop, its temporary directory, the
# download folder) carries the name; the run then also checks that the log,
# ANSI code page text, names that folder in code page 1252. The program
# itself stays outside the profile: Wine 8 saves a shell link's target path
# through the ANSI code page, so a target there would not start (Windows
# keeps it in UTF-16).
#
# Uses DISPLAY when set (else a private Xvfb), always a fresh Wine prefix and
# a temporary HOME.
set -uo pipefail

[ $# -eq 4 ] || [ $# -eq 5 ] || {
  echo "usage: $0 <windows build dir> <setup program> <tovi-server> <artefact dir> [user]" >&2
  exit 2
}
bindir=$(cd "$1" && pwd)
setup_exe=$2
server=$3
artefacts=$4
user=${5:-$(id -un)}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
program=$bindir/ToviDownloader.exe
probe_exe=$bindir/tests/browser/window_probe.exe
for f in "$program" "$probe_exe" "$setup_exe" "$server"; do
  [ -x "$f" ] || { echo "missing: $f" >&2; exit 2; }
done
mkdir -p "$artefacts"
artefacts=$(cd "$artefacts" && pwd)

work=$(mktemp -d "${TMPDIR:-/tmp}/tovi-clicked.XXXXXX")
export HOME=$work/home WINEPREFIX=$work/prefix WINEDEBUG=-all WINEARCH=win64
export WINEDLLOVERRIDES="mscoree=;mshtml="
# Wine names the profile folder after the login name when it makes the prefix.
export USER=$user LOGNAME=$user USERNAME=$user
# Wine takes the ANSI code page from the locale: 1252 under this one.
[ -z "${5:-}" ] || export LC_ALL=C.UTF-8
mkdir -p "$HOME" "$work/app" "$work/parts"

server_pid=
xvfb_pid=
cleanup() {
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  cp "$work/server.log" "$artefacts/" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

say() { printf '[%3d s] %s\n' "$SECONDS" "$*"; }
fail() {
  say "FAIL: $*"
  /usr/bin/import -window root "$artefacts/failure.png" 2>/dev/null
  find "$WINEPREFIX/drive_c/users" -name log.txt -exec cp {} "$artefacts/" \; 2>/dev/null
  exit 1
}

# wait_for <seconds> <command...>: polls the command every 0.3 s.
wait_for() {
  local limit=$1
  shift
  local end=$((SECONDS + limit))
  until "$@"; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.3
  done
}

if [ -z "${DISPLAY:-}" ]; then
  numfile=$work/display
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$numfile" >/dev/null 2>&1 &
  xvfb_pid=$!
  wait_for 10 test -s "$numfile" || fail "Xvfb did not start"
  export DISPLAY=:$(tr -dc 0-9 <"$numfile")
fi

say "booting a fresh Wine prefix"
"$root/scripts/wine-run" --boot || fail "wineboot"

# The installer: the stand-in setup program and two data parts.
cp "$setup_exe" "$work/parts/ToviSetup.exe"
head -c $((6 * 1024 * 1024)) /dev/urandom >"$work/parts/ToviSetup-1.bin"
head -c $((4 * 1024 * 1024)) /dev/urandom >"$work/parts/ToviSetup-2.bin"
cp "$program" "$work/app/"

port_free() { ! ss -ltn 2>/dev/null | grep -q "127.0.0.1:$1 "; }
wait_for 60 port_free 8101 || fail "127.0.0.1:8101 is taken"
# Slow enough (1.5 MB/s) to see the download and pause it midway.
rate=1500000
"$server" --bind 127.0.0.1 --port 8101 --parts "$work/parts" \
  --db "$work/events.sqlite3" --rate-limit "$rate" </dev/null >"$work/server.out" 2>"$work/server.log" &
server_pid=$!
wait_for 10 grep -q listening "$work/server.out" || fail "tovi-server did not start"

probe() { (cd "$work" && wine "$probe_exe" "$@" 2>/dev/null | tr -d '\r'); }
status_line() { probe text 20 522; }
detail_line() { probe text 20 556; }
status_is() { [ "$(status_line)" = "$1" ]; }
status_starts() { [[ "$(status_line)" == "$1"* ]]; }
percent() { detail_line | sed -n 's/.* \([0-9]\{1,3\}\) %$/\1/p'; }
percent_at_least() { local p; p=$(percent); [ -n "$p" ] && [ "$p" -ge "$1" ]; }

origin_x=0
origin_y=0
read_origin() {
  local o
  o=$(probe origin) || return 1
  read -r origin_x origin_y <<<"$o"
}
# click X Y: a left click at the client point, as the user makes it. The
# pointer comes from the middle of the page, so that every click is a move
# and a press, even a second one at the same place.
click() {
  read_origin || fail "no window to click"
  xdotool mousemove --sync $((origin_x + 300)) $((origin_y + 300))
  xdotool mousemove --sync $((origin_x + $1)) $((origin_y + $2)) click 1
}
# shot NAME: screenshot of the whole screen.
shot() { /usr/bin/import -window root "$artefacts/$1.png" || fail "screenshot $1"; }
# pixel NAME X Y: the colour at client (X, Y) of the screenshot, as RRGGBB.
pixel() {
  /usr/bin/convert "$artefacts/$1.png" -format "%[hex:p{$((origin_x + $2)),$((origin_y + $3))}]" info: |
    cut -c1-6
}
expect_pixel() {
  local got
  got=$(pixel "$1" "$2" "$3")
  [ "${got^^}" = "${4^^}" ] || fail "$1.png at ($2,$3): $got, expected $4"
  say "$1.png at ($2,$3) is #$got"
}

start_program() { (cd "$work/app" && exec wine ToviDownloader.exe "$@" >/dev/null 2>&1) & }

say "fresh run"
start_program
first_pid=$!
wait_for 90 status_is "presiona INICIAR!" || fail "never awaited the start"
read_origin
# Wine's shell makes no taskbar button; the run goes on as where one is made.
probe button || fail "could not announce the taskbar button"

say "a second copy is turned away"
(cd "$work/app" && timeout 60 wine ToviDownloader.exe >/dev/null 2>&1)
[ $? -eq 0 ] || fail "second copy did not end with 0"
status_is "presiona INICIAR!" || fail "the first copy changed"

shot awaiting
expect_pixel awaiting 10 10 10243F   # the banner's navy

say "INICIAR"
click 600 550
wait_for 60 status_starts "Descargando..." || fail "download did not start"
wait_for 60 percent_at_least 3 || fail "no progress shown"
shot downloading
expect_pixel downloading 20 574 84CDFF   # the progress bar

paused_percent=$(percent)
say "PAUSAR at $paused_percent %"
click 600 550
wait_for 20 grep -q '/pause' "$work/server.log" || fail "no pause report"
# The next progress report of the stopped transfer blanks both lines.
wait_for 20 status_is "" || fail "status line still shown after the pause"
shot paused
expect_pixel paused 300 592 000000   # the black bottom panel

say "close, confirm, notice"
click 737 16
wait_for 20 probe dialog Confirmar >/dev/null || fail "no confirmation"
xdotool key Return
wait_for 20 probe dialog Aviso >/dev/null || fail "no notice about the shortcut"
xdotool key Return
wait_for 30 bash -c "! kill -0 $first_pid 2>/dev/null" || fail "program did not end"

# The desktop as the program sees it (Wine links it to $HOME).
desktop() { echo "$WINEPREFIX/drive_c/users/$user/Desktop"; }
shortcut="$(desktop)/Continuar descargando Tovi.lnk"
[ -e "$shortcut" ] || shortcut=
[ -n "$shortcut" ] || fail "no desktop shortcut after closing"
say "shortcut: $shortcut"

say "started again by hand: the shortcut continues the download"
start_program
# The relaunched copy gets its button too, unless it is done before.
announced=1
if wait_for 60 status_starts "Descargando..." && probe button; then announced=2; fi
say "taskbar button announced to $announced of 2 runs"
folder="$(desktop)/ToviSetup"
marker_found() { [ -e "$folder/ToviSetup.exe.ran" ]; }
wait_for 180 marker_found || fail "the setup program never ran"
say "setup ran in $folder"

for part in ToviSetup.exe ToviSetup-1.bin ToviSetup-2.bin; do
  cmp -s "$work/parts/$part" "$folder/$part" || fail "$part differs from the server's"
done
grep -q '/resume' "$work/server.log" || fail "no resume request"
log=$(find -L "$WINEPREFIX/drive_c/users" -name log.txt | head -n1)
cp "$log" "$artefacts/"
grep -q 'resuming file from byte (v1): [1-9]' "$log" ||
  fail "the relaunched program did not continue a part from its bytes on disk"
grep -q '/finish' "$work/server.log" || fail "no finish request"
[ "$(grep -c 'taskbar button shows the progress' "$log")" -ge "$announced" ] ||
  fail "the taskbar button was not taken in each run it was announced to"
[ ! -e "$shortcut" ] || fail "shortcut still there after the finish"
if [ -n "${5:-}" ]; then
  [ "$log" = "$WINEPREFIX/drive_c/users/$user/Temp/log.txt" ] || fail "log not in the profile: $log"
  ! grep -q 'Failed to create directory' "$log" || fail "the download folder was not made"
  # The profile's name as the log's code page writes it: "?" for the letters
  # it lacks, never a look-alike.
  expected="received file: C:\\users\\$user\\Desktop\\ToviSetup\\ToviSetup.exe.q9tovi"
  python3 - "$log" "$expected" <<'PY' || fail "the log does not name the download folder in code page 1252"
import sys
log = open(sys.argv[1], "rb").read()
sys.exit(0 if sys.argv[2].encode("cp1252", "replace") in log else 1)
PY
  say "the log names the download folder in code page 1252"
fi
say "all parts identical; resumed from ${paused_percent:-?} %"
say "PASS"
