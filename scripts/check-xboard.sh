#!/usr/bin/env bash
# Installs the Debian package into this machine and checks it as a new user
# of XBoard meets it: XBoard, started without any settings of its own under
# Xvfb, lists ostrel64 and ostrel32 in its "Load New Engine" dialogs; chosen
# there as first and second engine they play a short game (Two Machines),
# named Ostrel 2.2e and Ostrel 2.3. Also "man ostrel64" and the programs in
# /usr/games. At the end the package is removed and purged, and nothing of
# it may be left. Screenshots, the game and the logs go to build/xboard-check/.
#
#   sudo ./scripts/check-xboard.sh [package.deb]
#
# The package defaults to dist/ostrel_*_amd64.deb (scripts/package.sh makes it
# when it is missing). Needs root: it installs the package and adds a
# throwaway user for XBoard, and takes both away again. It refuses to run
# while a package "ostrel" is installed. It clicks XBoard's menus at their
# places in Debian's XBoard 4.9 with its standard fonts.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -ne 0 ]; then exec sudo "$0" "$@"; fi
./scripts/ensure-tools.sh --with-packages --with-xboard
deb=${1:-}
if [ -z "$deb" ]; then
  compgen -G "dist/ostrel_*_amd64.deb" >/dev/null || ./scripts/package.sh
  deb=$(ls dist/ostrel_*_amd64.deb)
fi
deb=$(realpath "$deb")
if dpkg-query -W ostrel >/dev/null 2>&1; then
  echo "check-xboard: the package ostrel is installed (or not purged) here; remove it first" >&2
  exit 1
fi

out=$PWD/build/xboard-check
rm -rf "$out"
mkdir -p "$out"
work=$(mktemp -d)
chmod 755 "$work"   # the new user's home is inside
user=ostrelxb$$
home=$work/home
xvfb_pid=
installed=0

fail() {
  echo "check-xboard failed: $*" >&2
  [ -z "${DISPLAY:-}" ] || import -window root "$out/failure.png" 2>/dev/null || true
  exit 1
}
# What the package could touch, listed before and after.
listing() {
  { find /usr/games /usr/share/games /usr/share/man/man6 /usr/share/doc -xdev 2>/dev/null
    find /usr /etc /var/lib/dpkg -xdev -name '*ostrel*' 2>/dev/null; } | sort
}
# XBoard and what it started run as the throwaway user; each is ended by its id.
end_user_processes() {
  id "$user" >/dev/null 2>&1 || return 0
  for pid in $(pgrep -u "$user" -x xboard) $(pgrep -u "$user"); do kill "$pid" 2>/dev/null || true; done
  for _ in $(seq 50); do pgrep -u "$user" >/dev/null || return 0; sleep 0.1; done
  for pid in $(pgrep -u "$user"); do kill -KILL "$pid" 2>/dev/null || true; done
  sleep 0.5
}
cleanup() {
  status=$?
  end_user_processes
  [ ! -f "$home/xboard.out" ] || cp "$home/xboard.out" "$out/"
  if id "$user" >/dev/null 2>&1; then userdel -r "$user" >/dev/null 2>&1 || userdel "$user" || true; fi
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  if [ $installed = 1 ]; then dpkg -P ostrel >/dev/null 2>&1 || true; fi
  rm -rf "$work"
  exit $status
}
trap cleanup EXIT

# Installed: the files of the package, the programs run, the manual page.
listing >"$work/before.txt"
echo "== dpkg -i $deb"
dpkg -i "$deb" >/dev/null
installed=1
dpkg -L ostrel | sort >"$out/installed-files.txt"
cat "$out/installed-files.txt"
for program in ostrel64 ostrel32; do
  (cd "$work" && /usr/games/$program bench 1) | grep -q "^Nodes searched: " || fail "/usr/games/$program does not run"
  [ "$(man -w $program)" = "/usr/share/man/man6/$program.6.gz" ] || fail "man finds no page $program(6)"
  MANWIDTH=80 man $program 2>/dev/null >"$out/man-$program.txt"
  grep -q "^UCI OPTIONS" "$out/man-$program.txt" || fail "man $program shows no options"
done

# An X server without a screen, on a display it picks itself.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$out/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=:$(cat "$work/display")

# A new user: no settings file, the login PATH of a user (/usr/games in it).
useradd -m -d "$home" -s /bin/bash "$user"
[ ! -e "$home/.xboardrc" ] || fail "the new user already has XBoard settings"
as_user() { su - "$user" -c "$1"; }

# Waits until a window of that name exists and prints its id.
window() {
  for _ in $(seq "${2:-300}"); do
    xdotool search --name "$1" 2>/dev/null | head -1 | grep . && return 0
    sleep 0.1
  done
  fail "no window \"$1\""
}
shot() { import -window root "$out/$1.png"; echo "screenshot $out/$1.png"; }
# A menu item of XBoard's main window, by the places of the menu and item.
menu() {
  xdotool mousemove --window "$main" "$1" 14 click 1
  sleep 1
  xdotool mousemove --window "$main" "$2" "$3" click 1
}
# In a "Load New Engine" dialog: picks the engine from the list by typing its
# name (GTK's search in the list), then OK.
choose_engine() {
  local dialog
  dialog=$(window "$1")
  sleep 1
  [ -z "${3:-}" ] || shot "$3"
  xdotool mousemove --window "$dialog" 60 35 click 1
  sleep 0.3
  xdotool type --delay 80 "$2"
  sleep 0.5
  xdotool key Return
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$dialog")"
  xdotool mousemove --window "$dialog" $((WIDTH - 152)) $((HEIGHT - 24)) click 1
}

# No settings but a clock of 20 seconds for every 40 moves, for a game of a
# minute or two; one still going at move 80 is adjudicated a draw.
echo "== XBoard on $DISPLAY as the new user $user"
as_user "DISPLAY=$DISPLAY nohup xboard -tc 0:20 -adjudicateDrawMoves 80 -sgf game.pgn >xboard.out 2>&1 &"
main=$(window "^xboard: ")
sleep 2
shot 01-xboard-started
menu 272 330 68   # Engine > Load New 1st Engine...
choose_engine "Load first engine" ostrel64 02-engine-list
window "^xboard: Ostrel 2.2e$" 200 >/dev/null
menu 272 330 89   # Engine > Load New 2nd Engine...
choose_engine "Load second engine" ostrel32
sleep 2
xdotool mousemove --window "$main" 200 300 key ctrl+t   # Mode > Two Machines
window "^Ostrel 2.2e vs. Ostrel 2.3" 200 >/dev/null
sleep 15
shot 03-game
for _ in $(seq 300); do grep -q '^\[Result ' "$home/game.pgn" 2>/dev/null && break; sleep 1; done
grep -q '^\[Result "\(1-0\|0-1\|1/2-1/2\)"\]' "$home/game.pgn" 2>/dev/null || fail "the game did not end"
sleep 1
shot 04-game-over
cp "$home/game.pgn" "$out/"
grep -q '^\[White "Ostrel 2.2e"\]' "$out/game.pgn" || fail "White is not Ostrel 2.2e"
grep -q '^\[Black "Ostrel 2.3"\]' "$out/game.pgn" || fail "Black is not Ostrel 2.3"
grep -Eq '(^| )10\. ' "$out/game.pgn" || fail "the game ended before move 10"

# Quitting saves XBoard's settings: its engine list holds both programs,
# which it runs through polyglot (-fUCI).
xdotool mousemove --window "$main" 200 300 key ctrl+q
for _ in $(seq 100); do pgrep -u "$user" -x xboard >/dev/null || break; sleep 0.1; done
cp "$home/.xboardrc" "$out/xboardrc"
for program in ostrel64 ostrel32; do
  grep -qx "/usr/games/$program -fUCI" "$out/xboardrc" || fail "XBoard's engine list lacks $program"
done
# Each engine logged its game in the user's working directory, and nowhere else.
banners=$(cd "$home" && for log in 20*.log; do head -1 "$log"; done | sort -u | tr '\n' ' ')
[ "$banners" = "OUT: Ostrel 2.0 - source\\UCI 251 UCI::SendMsg OUT: Ostrel 2.3 - source\\UCI 251 UCI::SendMsg " ] ||
  fail "the engines' logs in the user's directory begin: $banners"
cp "$home"/20*.log "$out/"
compgen -G "/usr/games/*.log" >/dev/null && fail "an engine wrote its log into /usr/games"
end_user_processes
userdel -r "$user" >/dev/null 2>&1 || userdel "$user"

# Removed and purged: nothing of the package left.
echo "== dpkg -r ostrel, dpkg -P ostrel"
dpkg -r ostrel >/dev/null
listing >"$work/removed.txt"
diff "$work/before.txt" "$work/removed.txt" || fail "dpkg -r leaves files behind"
# (With no configuration files, removing has purged it already.)
dpkg -P ostrel 2>&1 >/dev/null | grep -v "isn't installed" >&2 || true
installed=0
listing >"$work/purged.txt"
diff "$work/before.txt" "$work/purged.txt" || fail "dpkg -P leaves files behind"
dpkg-query -W ostrel >/dev/null 2>&1 && fail "dpkg still knows the package"
echo "== XBoard check passed: screenshots, game, logs and XBoard's settings in $out"
