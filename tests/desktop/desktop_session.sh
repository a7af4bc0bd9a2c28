#!/usr/bin/env bash
# Drives the real nvlkelvarn binary from outside, as a person at the desktop would: a private X
# server (Xvfb) with a window manager (openbox), keys typed with xdotool, windows closed through the
# window manager. Usage: desktop_session.sh <path of nvlkelvarn>
#
# Exit status: 0 passed, 1 failed, 77 skipped (a desktop tool is missing).
set -uo pipefail

readonly SKIP=77
APP="${1:-}"
STEP_TIMEOUT="${KELVARN_DESKTOP_STEP_TIMEOUT:-20}"
readonly PASSWORD='Kelvarn desk 7'
readonly MAIN_TITLE='NVL Kelvarn 2.3'
readonly BOX_TITLE='NVL Kelvarn'
readonly SET_TITLE=' Set Password'
readonly ENTER_TITLE='Enter Password'
readonly UPDATE_TITLE=' NVL Kelvarn'
# ImageMagick by full path: an earlier "convert" on the PATH may be a stand-in.
readonly IMPORT=/usr/bin/import
readonly CONVERT=/usr/bin/convert

if [ -z "$APP" ] || [ ! -x "$APP" ]; then
    echo "usage: $0 <path of nvlkelvarn> (got '${APP}')" >&2
    exit 1
fi
for Tool in Xvfb openbox xdotool wmctrl xwininfo python3 "$IMPORT" "$CONVERT"; do
    if ! command -v "$Tool" >/dev/null 2>&1; then
        echo "SKIP: $Tool is not installed (script/bootstrap installs the desktop tools)"
        exit "$SKIP"
    fi
done

WORK="$(mktemp -d "${TMPDIR:-/tmp}/kelvarn-desktop.XXXXXX")"
mkdir -p "$WORK/home" "$WORK/config" "$WORK/runtime" "$WORK/cache" "$WORK/shots"
chmod 700 "$WORK/home" "$WORK/config" "$WORK/runtime" "$WORK/cache"
SETTINGS="$WORK/config/NVL Kelvarn/settings.dt"

# Nothing of the caller's session may leak in: not its display, its desktop, its bus or its files.
unset DISPLAY WAYLAND_DISPLAY XAUTHORITY XDG_CURRENT_DESKTOP XDG_SESSION_TYPE DESKTOP_SESSION \
    QT_QPA_PLATFORMTHEME QT_STYLE_OVERRIDE QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS SESSION_MANAGER
export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK/runtime" XDG_CACHE_HOME="$WORK/cache"
export QT_QPA_PLATFORM=xcb
export DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent
# A sanitizer build reports leaks at exit; those that system libraries keep for the life of the
# process are listed in the repository's suppressions.
if [ -z "${LSAN_OPTIONS:-}" ] && [ -n "${KELVARN_SOURCE_DIR:-}" ] && [ -f "$KELVARN_SOURCE_DIR/tests/lsan.supp" ]; then
    export LSAN_OPTIONS="suppressions=$KELVARN_SOURCE_DIR/tests/lsan.supp:print_suppressions=0"
fi

XVFB_PID=""
WM_PID=""
HTTP_PID=""
APP_PIDS=()
STEP="setting up the desktop"
PASSED=0

cleanup() {
    local Pid
    for Pid in "${APP_PIDS[@]}" "$HTTP_PID" "$WM_PID" "$XVFB_PID"; do
        [ -n "$Pid" ] && kill "$Pid" 2>/dev/null
    done
    for Pid in "${APP_PIDS[@]}" "$HTTP_PID" "$WM_PID" "$XVFB_PID"; do
        [ -n "$Pid" ] && wait "$Pid" 2>/dev/null
    done
    if [ "$PASSED" = 1 ] && [ -z "${KELVARN_DESKTOP_KEEP:-}" ]; then
        rm -rf "$WORK"
    else
        echo "Logs and screenshots kept in $WORK"
    fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

fail() {
    echo "FAIL while $STEP: $*" >&2
    if [ -n "${DISPLAY:-}" ]; then
        echo "-- windows on the display:" >&2
        wmctrl -l >&2 2>/dev/null
        "$IMPORT" -window root "$WORK/shots/failure.png" 2>/dev/null && echo "-- screenshot: $WORK/shots/failure.png" >&2
    fi
    local Log
    for Log in "$WORK"/app-*.log; do
        [ -s "$Log" ] || continue
        echo "-- $(basename "$Log") (last lines):" >&2
        tail -n 40 "$Log" >&2
    done
    exit 1
}

now_ms() { date +%s%3N; }

# wait_until SECONDS COMMAND...: polls COMMAND every 0.1 s until it succeeds; false at the deadline.
wait_until() {
    local Deadline=$(($(now_ms) + $1 * 1000))
    shift
    until "$@"; do
        [ "$(now_ms)" -ge "$Deadline" ] && return 1
        sleep 0.1
    done
    return 0
}

# True once the process has ended (it is gone, or a zombie waiting for us to collect its status).
process_ended() {
    local State
    State="$(ps -o stat= -p "$1" 2>/dev/null)" || return 0
    [ -z "$State" ] || [[ "$State" == Z* ]]
}

process_running() { ! process_ended "$1"; }

# Starts the program; sets APP_PID.
start_app() {
    local Log="$WORK/app-$1.log"
    "$APP" >"$Log" 2>&1 &
    APP_PID=$!
    APP_PIDS+=("$APP_PID")
}

# Waits for the program to end and checks its exit status.
expect_exit() {
    local Pid=$1 Expected=$2 Status
    wait_until "$STEP_TIMEOUT" process_ended "$Pid" || fail "process $Pid did not end within ${STEP_TIMEOUT} s"
    wait "$Pid"
    Status=$?
    # Collected: the number may now go to another process, which the clean-up must not touch.
    local Others=() Other
    for Other in "${APP_PIDS[@]}"; do
        [ "$Other" != "$Pid" ] && Others+=("$Other")
    done
    APP_PIDS=("${Others[@]}")
    [ "$Status" = "$Expected" ] || fail "process $Pid ended with status $Status, expected $Expected"
}

# The visible windows of process PID whose title is exactly TITLE, one id a line.
windows_of() {
    local Pid=$1 Title=$2 Id
    for Id in $(xdotool search --all --onlyvisible --pid "$Pid" --name '.' 2>/dev/null); do
        [ "$(xdotool getwindowname "$Id" 2>/dev/null)" = "$Title" ] && echo "$Id"
    done
}

has_window() { [ -n "$(windows_of "$1" "$2")" ]; }
has_no_window() { [ -z "$(windows_of "$1" "$2")" ]; }

# Waits for exactly one window TITLE of process PID; sets WINDOW.
wait_for_window() {
    local Pid=$1 Title=$2 Found
    wait_until "$STEP_TIMEOUT" has_window "$Pid" "$Title" ||
        fail "no window titled '$Title' appeared within ${STEP_TIMEOUT} s"
    Found="$(windows_of "$Pid" "$Title")"
    [ "$(wc -l <<<"$Found")" = 1 ] || fail "more than one window titled '$Title': $Found"
    WINDOW="$Found"
}

window_is_active() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ]; }

# Gives WINDOW the keyboard, as a click on it would, and waits until the window manager agrees.
focus_window() {
    xdotool windowactivate "$1" 2>/dev/null
    wait_until "$STEP_TIMEOUT" window_is_active "$1" || fail "window $1 did not get the keyboard focus"
}

type_text() { xdotool type --delay 25 -- "$1"; }
press() { xdotool key --delay 25 "$@"; }

shot() { "$IMPORT" -window root "$WORK/shots/$1.png" || fail "could not take the screenshot $1"; }

# Width and height of a window as the X server has them.
window_size() {
    xwininfo -id "$1" | awk '/^ *Width:/ {W=$2} /^ *Height:/ {H=$2} END {print W, H}'
}

# Pixels of a PNG that are clearly red: the error icon of a message box.
red_pixels() {
    "$CONVERT" "$1" -fx '(r>0.7 && g<0.3 && b<0.3)' -format '%[fx:round(mean*w*h)]' info:
}

# Pixels of a PNG that are dark enough to be text.
dark_pixels() {
    "$CONVERT" "$1" -colorspace Gray -fx '(r<0.35)' -format '%[fx:round(mean*w*h)]' info:
}

# --- The private desktop -------------------------------------------------------------------------

STEP="starting Xvfb"
exec {DisplayFd}>"$WORK/display"
Xvfb -displayfd "$DisplayFd" -screen 0 1280x800x24 -nolisten tcp -noreset >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
exec {DisplayFd}>&-
display_ready() { grep -q '^[0-9][0-9]*$' "$WORK/display" 2>/dev/null; }
wait_until "$STEP_TIMEOUT" display_ready || { cat "$WORK/xvfb.log" >&2; fail "Xvfb reported no display"; }
DISPLAY=":$(head -n 1 "$WORK/display")"
export DISPLAY

STEP="starting openbox"
openbox >"$WORK/openbox.log" 2>&1 &
WM_PID=$!
wm_ready() { wmctrl -m >/dev/null 2>&1; }
wait_until "$STEP_TIMEOUT" wm_ready || fail "openbox did not take over the display"
echo "desktop ready on $DISPLAY"

# --- The update server: a local one, never the maker's -------------------------------------------

STEP="starting the local update server"
SITE="$WORK/site"
mkdir -p "$SITE/download/version"
printf -- '- One change\r\n\r\n- Another\r\n' >"$SITE/download/version/nvlkelvarn-changes.html"
python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$SITE" >"$WORK/http.log" 2>&1 &
HTTP_PID=$!
http_ready() { grep -q 'port [0-9]' "$WORK/http.log" 2>/dev/null; }
wait_until "$STEP_TIMEOUT" http_ready || fail "the local update server did not start"
HTTP_PORT="$(sed -n 's/.* port \([0-9][0-9]*\).*/\1/p' "$WORK/http.log" | head -n 1)"
# A port on which nothing listens, for starts without an update server.
REFUSED_PORT="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
offer_version() { printf '%s\r\n' "$1" >"$SITE/download/version/nvlkelvarn-version.html"; }

# --- u1. An optional update: closing the offer (Skip) goes on to the first start -------------------

STEP="optional update offered"
export KELVARN_UPDATE_URL="http://127.0.0.1:$HTTP_PORT"
offer_version 24/23
start_app offer
OFFER=$APP_PID
wait_for_window "$OFFER" "$UPDATE_TITLE"
shot update-offer
has_no_window "$OFFER" "$SET_TITLE" || fail "the set-password dialog appeared before the offer was answered"
wmctrl -F -c "$UPDATE_TITLE" || fail "wmctrl found no window '$UPDATE_TITLE' to close"
wait_for_window "$OFFER" "$SET_TITLE"
wmctrl -F -c "$SET_TITLE" || fail "wmctrl found no window '$SET_TITLE' to close"
expect_exit "$OFFER" 0
[ ! -e "$SETTINGS" ] || fail "settings.dt was written although no password was set"
echo "ok u1: the offer of 2.4 was skipped and the start went on to the set-password dialog"

# --- u2. A mandatory update: closing the demand ends before the settings are read -----------------

STEP="mandatory update demanded"
offer_version 24/24
mkdir -p "$(dirname "$SETTINGS")"
# Reading this link fails (EIO) and would end the program with status 1 and an error box.
ln -s /proc/self/mem "$SETTINGS"
start_app demand
DEMAND=$APP_PID
wait_for_window "$DEMAND" "$UPDATE_TITLE"
shot update-demand
wmctrl -F -c "$UPDATE_TITLE" || fail "wmctrl found no window '$UPDATE_TITLE' to close"
expect_exit "$DEMAND" 0
[ -L "$SETTINGS" ] || fail "settings.dt was replaced"
rm -f "$SETTINGS"
echo "ok u2: closing the demand for 2.4 ended the program with status 0 before the settings were read"

# Nothing listens from here on: every start checks, finds no server and goes on.
export KELVARN_UPDATE_URL="http://127.0.0.1:$REFUSED_PORT"

# --- a. First start: the password is set, the main window stays ---------------------------------

STEP="first start (set password)"
[ ! -e "$SETTINGS" ] || fail "the fresh home already holds settings"
STARTED_MS=$(now_ms)
start_app first
FIRST=$APP_PID
wait_for_window "$FIRST" "$SET_TITLE"
SET_WINDOW=$WINDOW
# Without an update server the check costs no time-out (10 s): the first window comes at once.
WAITED_MS=$(($(now_ms) - STARTED_MS))
echo "   no update server: the first window came after ${WAITED_MS} ms"
[ "$WAITED_MS" -lt 5000 ] || fail "the first window took ${WAITED_MS} ms without an update server"
shot first-set-password
focus_window "$SET_WINDOW"
type_text "$PASSWORD"
press Tab
type_text "$PASSWORD"
press Return
wait_until "$STEP_TIMEOUT" has_no_window "$FIRST" "$SET_TITLE" || fail "the set-password dialog stayed open"
wait_until "$STEP_TIMEOUT" test -s "$SETTINGS" || fail "settings.dt was not written"
wait_for_window "$FIRST" "$MAIN_TITLE"
has_no_window "$FIRST" "$BOX_TITLE" || fail "a message box appeared after setting the password"
process_running "$FIRST" || fail "the program ended after the password was set"
shot first-main
echo "ok a: first start set the password and shows the main window"

# --- b. A second start hands over to the first and ends --------------------------------------------

STEP="second start while the first runs"
start_app second
SECOND=$APP_PID
expect_exit "$SECOND" 0
process_running "$FIRST" || fail "the first program ended when the second started"
has_window "$FIRST" "$MAIN_TITLE" || fail "the first program's main window went away"
echo "ok b: a second start ended with status 0; the first still runs"

# --- c. The close box ends the program --------------------------------------------------------------

STEP="closing the main window"
wmctrl -F -c "$MAIN_TITLE" || fail "wmctrl found no window '$MAIN_TITLE' to close"
expect_exit "$FIRST" 0
[ -s "$SETTINGS" ] || fail "settings.dt is gone after closing"
echo "ok c: the close box ended the program with status 0"

# --- d. A wrong password: the error box, then the end ------------------------------------------------

STEP="start with a wrong password"
start_app wrong
WRONG=$APP_PID
wait_for_window "$WRONG" "$ENTER_TITLE"
ENTER_WINDOW=$WINDOW
has_no_window "$WRONG" "$SET_TITLE" || fail "the set-password dialog appeared although a password is set"
has_no_window "$WRONG" "$MAIN_TITLE" || fail "the main window appeared before the password was entered"
focus_window "$ENTER_WINDOW"
type_text "not the $PASSWORD"
press Return
wait_for_window "$WRONG" "$BOX_TITLE"
BOX=$WINDOW
has_no_window "$WRONG" "$ENTER_TITLE" || fail "the password dialog stayed open behind the error box"
has_no_window "$WRONG" "$MAIN_TITLE" || fail "the main window appeared after a wrong password"
shot invalid-password-screen
"$IMPORT" -window "$BOX" "$WORK/shots/invalid-password-box.png" || fail "could not take the error box's screenshot"
read -r BOX_W BOX_H <<<"$(window_size "$BOX")"
# One short line, an icon and an OK button: a small box, not a window holding anything else.
{ [ "$BOX_W" -ge 120 ] && [ "$BOX_W" -le 500 ] && [ "$BOX_H" -ge 60 ] && [ "$BOX_H" -le 250 ]; } ||
    fail "the error box is ${BOX_W}x${BOX_H}, not the size of a one-line message"
RED="$(red_pixels "$WORK/shots/invalid-password-box.png")"
[ "$RED" -ge 100 ] || fail "the box shows no error icon ($RED red pixels)"
DARK="$(dark_pixels "$WORK/shots/invalid-password-box.png")"
[ "$DARK" -ge 50 ] || fail "the box shows no text ($DARK dark pixels)"
echo "   error box ${BOX_W}x${BOX_H}, error icon $RED red pixels, text $DARK dark pixels"
focus_window "$BOX"
press Return
expect_exit "$WRONG" 0
echo "ok d: a wrong password showed the error box; after it the program ended with status 0"

# --- e. The right password opens the main window ----------------------------------------------------

STEP="start with the right password"
start_app right
RIGHT=$APP_PID
wait_for_window "$RIGHT" "$ENTER_TITLE"
ENTER_WINDOW=$WINDOW
has_no_window "$RIGHT" "$SET_TITLE" || fail "the set-password dialog appeared although a password is set"
focus_window "$ENTER_WINDOW"
type_text "$PASSWORD"
press Return
wait_for_window "$RIGHT" "$MAIN_TITLE"
has_no_window "$RIGHT" "$ENTER_TITLE" || fail "the password dialog stayed open"
has_no_window "$RIGHT" "$BOX_TITLE" || fail "a message box appeared after the right password"
shot right-main
wmctrl -F -c "$MAIN_TITLE" || fail "wmctrl found no window '$MAIN_TITLE' to close"
expect_exit "$RIGHT" 0
echo "ok e: the right password opened the main window; closing it ended the program with status 0"

# --- f. The whole path: add a folder from the menu, hide it, start again, unhide it -------------------

# Opens the menu bar with Alt, walks RIGHT menus to the right and DOWN items down, and chooses.
choose_menu_item() {
    local Right=$1 Down=$2 I
    press alt
    sleep 0.3
    for ((I = 0; I < Right; I++)); do press Right; done
    press Down
    sleep 0.3
    for ((I = 0; I < Down; I++)); do press Down; done
    press Return
}

# Starts the program, types the password and waits for the main window; sets APP_PID and WINDOW.
start_unlocked() {
    start_app "$1"
    wait_for_window "$APP_PID" "$ENTER_TITLE"
    focus_window "$WINDOW"
    type_text "$PASSWORD"
    press Return
    wait_for_window "$APP_PID" "$MAIN_TITLE"
    focus_window "$WINDOW"
}

STEP="preparing a folder to protect"
DATA="$WORK/home/Private papers"
mkdir -p "$DATA/letters/2026" "$DATA/empty"
printf 'Dear diary,\n' >"$DATA/letters/2026/diary.txt"
head -c 3000000 /dev/urandom >"$DATA/scan.bin"
printf 'keep me' >"$DATA/.dotfile"
chmod 600 "$DATA/letters/2026/diary.txt"
cp -a "$DATA" "$WORK/original"

STEP="adding the folder through File > Add Folder..."
start_unlocked hide
HIDER=$APP_PID
choose_menu_item 0 0
wait_for_window "$HIDER" "Select folder to add"
CHOOSER=$WINDOW
focus_window "$CHOOSER"
shot add-folder-chooser
type_text "$DATA"
press Return
wait_until "$STEP_TIMEOUT" has_no_window "$HIDER" "Select folder to add" || fail "the folder chooser stayed open"
wait_for_window "$HIDER" "$MAIN_TITLE"
focus_window "$WINDOW"

STEP="hiding it through Encrypt > Encrypt & Hide All"
choose_menu_item 1 2
locker_made() { [ -f "$DATA.kvlocker" ] && [ ! -e "$DATA" ]; }
wait_until "$STEP_TIMEOUT" locker_made || fail "the folder was not turned into its locker"
has_no_window "$HIDER" "$BOX_TITLE" || fail "a message box appeared while hiding"
shot hidden-main
wmctrl -F -c "$MAIN_TITLE" || fail "wmctrl found no window '$MAIN_TITLE' to close"
expect_exit "$HIDER" 0
[ -z "$(find "$(dirname "$DATA")" -maxdepth 1 -name '.kvlocker-*' -print -quit)" ] ||
    fail "a temporary file or an item set aside was left behind"
grep -qx "Private papers.kvlocker" "$WORK/home/.hidden" || fail "the locker is not listed in .hidden"
echo "ok f1: the folder was added from the menu and hidden; the program ended with status 0"

STEP="unhiding it after a new start"
start_unlocked unhide
UNHIDER=$APP_PID
shot unhide-main
choose_menu_item 1 3
folder_back() { [ -d "$DATA" ] && [ ! -e "$DATA.kvlocker" ]; }
wait_until "$STEP_TIMEOUT" folder_back || fail "the folder did not come back from its locker"
has_no_window "$UNHIDER" "$BOX_TITLE" || fail "a message box appeared while unhiding"
wmctrl -F -c "$MAIN_TITLE" || fail "wmctrl found no window '$MAIN_TITLE' to close"
expect_exit "$UNHIDER" 0
diff -r "$WORK/original" "$DATA" >&2 || fail "the folder came back different"
[ "$(cd "$WORK/original" && find . -printf '%p %m %s\n' | sort)" = "$(cd "$DATA" && find . -printf '%p %m %s\n' | sort)" ] ||
    fail "names, permissions or sizes came back different"
echo "ok f2: after a new start and the password, the folder came back byte for byte"

# --- g. Closing the window while Remove unhides a large folder -----------------------------------

# One digest of the names, permissions, sizes and contents below a folder.
tree_digest() {
    (cd "$1" && find . -printf '%p %m %s\n' | LC_ALL=C sort && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum) |
        sha256sum
}

STEP="preparing a large folder"
BIG="$WORK/home/Large archive"
mkdir -p "$BIG/parts" "$BIG/notes"
# Enough that the restore lasts a moment (a second or two here) while the close comes in.
for I in $(seq 1 12); do head -c 32M /dev/urandom >"$BIG/parts/part-$I.bin"; done
head -c 8M /dev/urandom | (cd "$BIG/notes" && split -b 4K -a 4 - note-) || fail "could not make the small files"
BIG_DIGEST="$(tree_digest "$BIG")"

STEP="adding the large folder and hiding it"
start_unlocked remove
REMOVER=$APP_PID
MAIN_WINDOW=$WINDOW
choose_menu_item 0 0
wait_for_window "$REMOVER" "Select folder to add"
focus_window "$WINDOW"
type_text "$BIG"
press Return
wait_until "$STEP_TIMEOUT" has_no_window "$REMOVER" "Select folder to add" || fail "the folder chooser stayed open"
focus_window "$MAIN_WINDOW"
# A click on the list's empty part below the rows gives it the keyboard. Without a current row
# the first key selects the first one, whatever the key; End then goes to the folder just added.
read -r MAIN_W MAIN_H <<<"$(window_size "$MAIN_WINDOW")"
xdotool mousemove --window "$MAIN_WINDOW" $((MAIN_W / 2)) $((MAIN_H / 2)) click 1
press Down End
settings_stamp() { stat -c '%i %.9Y' "$SETTINGS" 2>/dev/null; }
BEFORE_HIDE="$(settings_stamp)"
choose_menu_item 1 0
# The batch has ended once it saves the list, after the rows show their new states; a key pressed
# before that would be handled inside the batch's last steps.
big_hidden() { [ -f "$BIG.kvlocker" ] && [ ! -e "$BIG" ] && [ "$(settings_stamp)" != "$BEFORE_HIDE" ]; }
wait_until "$STEP_TIMEOUT" big_hidden || fail "the large folder was not turned into its locker"
has_no_window "$REMOVER" "$BOX_TITLE" || fail "a message box appeared while hiding"

STEP="removing the large folder's row (File > Remove, Delete)"
press Delete
wait_for_window "$REMOVER" "$BOX_TITLE"
focus_window "$WINDOW"
shot remove-confirm
press Return
restore_under_way() {
    [ -n "$(find "$WORK/home" -maxdepth 1 -name '.kvlocker-staging-*' -print -quit)" ] || [ -d "$BIG" ]
}
wait_until "$STEP_TIMEOUT" restore_under_way || fail "the restore did not begin"
[ -d "$BIG" ] && CLOSED_WHILE="after the restore had put the folder back" || CLOSED_WHILE="during the restore"

STEP="closing the window $CLOSED_WHILE"
wmctrl -F -c "$MAIN_TITLE" || fail "wmctrl found no window '$MAIN_TITLE' to close"
ended_or_box() { process_ended "$REMOVER" || has_window "$REMOVER" "$BOX_TITLE"; }
wait_until "$STEP_TIMEOUT" ended_or_box || fail "the program neither ended nor said anything after the close"
if process_running "$REMOVER"; then
    # The stopped restore is reported; the window closes once the report is read.
    wait_for_window "$REMOVER" "$BOX_TITLE"
    shot remove-stopped
    echo "   the stopped restore was reported in a message box"
    focus_window "$WINDOW"
    press Return
fi
expect_exit "$REMOVER" 0
[ -z "$(find "$WORK/home" -maxdepth 1 -name '.kvlocker-*' -print -quit)" ] ||
    fail "a staging folder or a temporary file was left behind"
if [ -d "$BIG" ]; then
    [ ! -e "$BIG.kvlocker" ] || fail "both the folder and its locker are there"
    [ "$(tree_digest "$BIG")" = "$BIG_DIGEST" ] || fail "the folder came back different"
    OUTCOME="the folder came back whole"
else
    [ -f "$BIG.kvlocker" ] || fail "neither the folder nor its locker is there"
    KVLOCKER="$(dirname "$APP")/kvlocker"
    if [ -x "$KVLOCKER" ]; then
        printf '%s\n' "$PASSWORD" | "$KVLOCKER" verify --password-stdin "$BIG.kvlocker" >"$WORK/verify.log" 2>&1 ||
            { cat "$WORK/verify.log" >&2; fail "the locker left behind does not verify"; }
    fi
    OUTCOME="the folder stayed in its locker"
fi
echo "ok g: closed $CLOSED_WHILE; the program ended with status 0 and $OUTCOME"

PASSED=1
echo "PASS"
