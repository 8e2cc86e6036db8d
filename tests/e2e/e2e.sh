#!/usr/bin/env bash
# Drives the real program under Wine on a virtual display with the mouse and keyboard, as a person
# would, and checks the files it saved, at 96 and 144 DPI. A probe program tells where the controls are.
# Usage: e2e.sh BUILD_DIR PROGRAM DATA_DIR PROBE
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
. "$top/cmake/wine-env.sh" "$1"
exe=$2
data=$3
probe=$4
wine_init_prefix
wine_use_display || { echo "no display: run through CTest, whose fixture starts one" >&2; exit 1; }

# The project folder's name is not ASCII: the tool opens and saves there as anywhere else.
work="$build/e2e/Téléphone ユーザー"
caption='Corvale IP Phone XML Customization Tool'
title="^$caption\$"
failures=0
passes=0
pid=""
window=""

fail() { echo "FAIL (${dpi:-96} DPI): $*"; failures=$((failures + 1)); }
pass() { echo "ok (${dpi:-96} DPI): $*"; passes=$((passes + 1)); }

start() {
    rm -rf "$work"
    mkdir -p "$work/Content/XML"
    cp "$data"/input/*.xml "$work/Content/XML/"
    [ -z "${slip:-}" ] || sed -i 's/name="Welcome" enabled/name="Welcome enabled/' "$work/Content/XML/starthere.xml"
    (cd "$work" && exec "$WINE" "$exe" </dev/null >/dev/null 2>&1) &
    pid=$!
    window=$(timeout 60 xdotool search --sync --onlyvisible --name "$title" | head -n 1)
    [ -n "$window" ] || { fail "the dialog did not open"; return 1; }
    eval "$(xdotool getwindowgeometry --shell "$window")"
    # The client area and its size, the page shown, its list and line height, the tabs' centres.
    eval "$("$WINE" "$probe" "$caption" </dev/null 2>/dev/null | tr -d '\r')"
    [ -n "${ih:-}" ] || { fail "the probe found no list"; return 1; }
    # The client area is 320 x 218 dialog units: the base units of the dialog's font follow. Tahoma 8 has
    # 6 x 13 at 96 DPI.
    bux=$(( cw / 80 ))
    buy=$(( (ch * 8 + 109) / 218 ))
    [ $(( buy * 96 / dpi )) -ge 12 ] && [ $(( buy * 96 / dpi )) -le 14 ] || fail "base units $bux x $buy at $dpi DPI"
    sleep 0.5
}

click() { xdotool mousemove "$1" "$2" click 1; sleep 0.3; }
# xdotool binds a character that the keyboard map lacks to a spare key while it types it, and Wine
# reads such a key only if the binding lasts a while: each of those is typed on its own, slowly.
type_text() {
    local LC_ALL=C.UTF-8 i c
    for ((i = 0; i < ${#1}; i++)); do
        c=${1:i:1}
        if [ "$(printf %s "$c" | wc -c)" -gt 1 ]; then xdotool type --delay 300 "$c"; else xdotool type "$c"; fi
    done
    sleep 0.3
}
key() { xdotool key --clearmodifiers "$@"; sleep 0.3; }
dux() { echo $(( ($1 * bux + 2) / 4 )); }
duy() { echo $(( ($1 * buy + 4) / 8 )); }
# In the dialog's client area, and in the shown page, in dialog units.
click_du() { click $(( cx + $(dux "$1") )) $(( cy + $(duy "$2") )); }
click_page_du() { click $(( px + $(dux "$1") )) $(( py + $(duy "$2") )); }
click_button() {
    case $1 in
        enable) click_du 32 204 ;;
        disable) click_du 93 204 ;;
        save) click_du 227 204 ;;
        close) click_du 288 204 ;;
    esac
}
# The box of item N of the shown list (a dialog unit in), and its text.
click_box() { click $(( lx + bux / 4 + 1 )) $(( ly + ih * $1 + ih / 2 )); }
click_text() { click $(( lx + 10 * bux )) $(( ly + ih * $1 + ih / 2 )); }
click_tab() { click "${tab_x[$1]}" "$tab_y"; }

# Waits for the program to end; false when it is still running after the timeout.
ended() {
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || { wait "$pid" 2>/dev/null; return 0; }
        sleep 0.1
    done
    return 1
}

same_files() { # $1: folder of expected files
    local name ok=0
    for name in features softkeys starthere interface; do
        if ! cmp -s "$1/$name.xml" "$work/Content/XML/$name.xml"; then
            echo "  $name.xml differs from $1:"
            diff "$1/$name.xml" "$work/Content/XML/$name.xml" | head -n 10 | sed 's/^/    /'
            ok=1
        fi
    done
    return $ok
}


# What an XML reader reads as the link's value: the text as typed, or what went wrong.
link_value() {
    python3 -c 'import sys, xml.etree.ElementTree as t
try:
    print(t.parse(sys.argv[1]).getroot().find("linkItem").get("value"), end="")
except Exception as e:
    print("unreadable:", e, end="")' "$1"
}

logpixels() { "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1 </dev/null; }
trap 'logpixels 96' EXIT

every_check() {
# 1. Ticks, space bar, tabs, Enable All and Disable All on their own tab, the link, Save.
typed='Guía & <manual> "Año" ☺'
if start; then
    click_box 1                         # CallPark: box pressed, 0 -> 1
    click_text 2                        # Intercom selected, not toggled
    key space                           # Intercom: 0 -> 1
    click_tab 1
    click_button enable                 # every soft key on, nothing else
    key ctrl+Tab                        # on to StartHere
    click_button disable                # every topic off
    click_tab 3
    click_page_du 78 43                 # into the link name
    key End shift+Home
    type_text "$typed"
    click_page_du 30 57                 # Enable PDF Link
    click_button save
    # The files change when the click has been handled; give a busy machine a few seconds.
    for _ in $(seq 50); do
        same_files "$data/expected" >/dev/null && break
        sleep 0.1
    done
    if same_files "$data/expected"; then pass "Save wrote all four files as expected"; else fail "Save"; fi
    value=$(link_value "$work/Content/XML/interface.xml")
    if [ "$value" = "$typed" ]; then pass "an XML reader reads the link as typed"; else fail "the link reads as '$value'"; fi
    import -window "$window" "$build/e2e-after-save-$dpi.png" 2>/dev/null
    click_button close
    if ended; then pass "Close ends the program"; else fail "Close did not end the program"; fi
    if same_files "$data/expected"; then pass "Close wrote nothing"; else fail "Close wrote"; fi
fi

# 2. Close, Escape and Alt+F4 after changes: the program ends and nothing is written.
for how in close Escape alt+F4; do
    start || continue
    click_box 0
    click_button enable
    case $how in
        close) click_button close ;;
        *) key "$how" ;;
    esac
    if ended; then pass "$how ends the program"; else fail "$how did not end the program"; kill "$pid"; fi
    if same_files "$data/input"; then pass "$how wrote nothing"; else fail "$how wrote"; fi
done

# 3. The About box from the system menu, and back.
if start; then
    click $(( X + WIDTH / 2 )) $(( Y + 8 ))    # the caption: the window takes the keyboard
    key alt+space                      # the system menu; its last item is ours
    key Up
    key Return
    about=$(timeout 10 xdotool search --sync --onlyvisible --name '^About Tavrin$' | head -n 1)
    if [ -n "$about" ]; then
        pass "the About box opens from the system menu"
        import -window "$about" "$build/e2e-about-$dpi.png" 2>/dev/null
        key Return
        sleep 0.5
        if xdotool search --onlyvisible --name '^About Tavrin$' >/dev/null; then
            fail "the About box did not close"
        else
            pass "the About box closes"
        fi
    else
        fail "the About box did not open"
    fi
    key Escape
    if ended; then pass "Escape ends the program after the About box"; else fail "still running"; kill "$pid"; fi
    if same_files "$data/input"; then pass "nothing written"; else fail "files changed"; fi
fi

# 4. Another program changes features.xml while the tool is open, and starthere.xml has a slip (a
# missing quote). Save asks about features.xml: No keeps the other program's version, Yes replaces
# it, and Escape cancels the save: nothing is written, the ticks stay, and Save asks again. The file
# with the slip is shown read-only and never written.
question() { # the window, other than the dialog and $1, that opens with the dialog's caption
    local other
    for _ in $(seq 50); do
        other=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | grep -vx -e "$window" -e "${1:-none}" | head -n 1)
        [ -n "$other" ] && { echo "$other"; return 0; }
        sleep 0.1
    done
    return 1
}
other_program() { sed -i 's/name="Paging" enabled="yes"/name="Paging" enabled="no"/' "$work/Content/XML/features.xml"; }
yes() { key shift+Tab shift+Tab space; } # from Cancel, the default, back past No to Yes
no() { key shift+Tab space; }
for answer in No Yes Escape; do
    slip=1 start || continue
    cp "$work/Content/XML/starthere.xml" "$build/e2e-slip.xml"
    click_box 1                         # CallPark: 0 -> 1
    click_tab 2
    click_button disable                # refused: the page is read-only
    import -window "$window" "$build/e2e-read-only-$dpi.png" 2>/dev/null
    other_program
    cp "$work/Content/XML/features.xml" "$build/e2e-other.xml"
    ask=""
    click_button save
    if ask=$(question); then
        pass "Save asks before replacing another program's change ($answer)"
        import -window "$ask" "$build/e2e-question-$dpi.png" 2>/dev/null
        case $answer in Yes) yes ;; No) no ;; Escape) key Escape ;; esac
    else
        fail "Save did not ask about features.xml"
    fi
    if [ "$answer" = Escape ]; then
        if question "${ask:-}" >/dev/null; then fail "a cancelled Save said something"; fi
        if cmp -s "$build/e2e-other.xml" "$work/Content/XML/features.xml"; then
            pass "Escape cancels the Save and writes nothing"
        else
            fail "a cancelled Save wrote features.xml"
        fi
        click_button save              # asks again, the tick still there: Yes writes it
        if ask=$(question); then pass "a later Save asks again"; yes; else fail "the second Save did not ask"; fi
    fi
    # Then the warning that starthere.xml was left as it is.
    if question "${ask:-}" >/dev/null; then
        pass "Save says it left the file it did not understand"
        key Return
    else
        fail "no warning about starthere.xml"
    fi
    if [ "$answer" != No ]; then
        sed 's/enabled="no"/enabled="yes"/' "$build/e2e-other.xml" >"$build/e2e-want.xml"
        sed -i "s/name='CallPark' enabled='0'/name='CallPark' enabled='1'/" "$build/e2e-want.xml"
    else
        cp "$build/e2e-other.xml" "$build/e2e-want.xml"
    fi
    if cmp -s "$build/e2e-want.xml" "$work/Content/XML/features.xml"; then
        pass "features.xml holds what the answer $answer keeps"
    else
        fail "features.xml after $answer:"; diff "$build/e2e-want.xml" "$work/Content/XML/features.xml" | head -n 6
    fi
    if cmp -s "$build/e2e-slip.xml" "$work/Content/XML/starthere.xml"; then
        pass "the file with the slip is as it was"
    else
        fail "the file with the slip was written"
    fi
    click_button close
    ended || { fail "still running"; kill "$pid"; }
done

# 5. The disk is checked again just before each file takes its place. The person changed features.xml
# and softkeys.xml; another program changed softkeys.xml, so Save asks about it, and while it asks the
# other program changes features.xml (No: features.xml is not replaced) or softkeys.xml again (Yes:
# features.xml, already in place, is put back). Nothing new is left in the folder.
for answer in No Yes; do
    start || continue
    xml="$work/Content/XML"
    click_box 1                         # CallPark: 0 -> 1
    click_tab 1
    click_button enable
    printf '<!-- other -->\n' >>"$xml/softkeys.xml"
    cp "$xml/features.xml" "$build/e2e-features.xml"
    click_button save
    if ask=$(question); then
        if [ "$answer" = Yes ]; then
            printf '<!-- again -->\n' >>"$xml/softkeys.xml"
            yes
        else
            printf '<!-- meanwhile -->\n' >>"$xml/features.xml"
            no
        fi
    else
        fail "Save did not ask about softkeys.xml"
    fi
    cp "$xml/softkeys.xml" "$build/e2e-softkeys.xml"
    if warning=$(question "${ask:-}"); then
        pass "Save says what it did not save ($answer)"
        import -window "$warning" "$build/e2e-not-saved-$answer-$dpi.png" 2>/dev/null
        key Return
    else
        fail "no warning that a file changed during the question ($answer)"
    fi
    if [ "$answer" = Yes ]; then want="$build/e2e-features.xml"; else want="$build/e2e-want.xml"
        { cat "$build/e2e-features.xml"; printf '<!-- meanwhile -->\n'; } >"$want"; fi
    if cmp -s "$want" "$xml/features.xml"; then
        pass "features.xml holds what was on disk ($answer)"
    else
        fail "features.xml was replaced ($answer)"; diff "$want" "$xml/features.xml" | head -n 6
    fi
    if cmp -s "$build/e2e-softkeys.xml" "$xml/softkeys.xml" && grep -q 'other' "$xml/softkeys.xml"; then
        pass "softkeys.xml holds the other program's version ($answer)"
    else
        fail "softkeys.xml was replaced ($answer)"
    fi
    left=$(ls -A "$xml" | wc -l)
    if [ "$left" -eq 4 ]; then pass "nothing new is left beside the files ($answer)"; else fail "$left files in the folder"; fi
    click_button close
    ended || { fail "still running"; kill "$pid"; }
done
}

# A program started after LogPixels changes draws at the new DPI.
for dpi in 96 144; do
    echo "at $dpi DPI"
    logpixels "$dpi"
    every_check
done

# F1 opens the user's guide that lies beside the program, and nothing at all without it.
dpi=96
logpixels 96
guide_dir="$build/e2e-guide"
rm -rf "$guide_dir"
mkdir -p "$guide_dir"
cp "$exe" "$guide_dir/"
for with in no yes; do
    [ "$with" = yes ] && cp "$top/docs/Read Me First.txt" "$guide_dir/"
    exe="$guide_dir/$(basename "$exe")" start || continue
    key F1
    found=""
    for _ in $(seq 40); do
        found=$(xdotool search --onlyvisible --name '^Read Me First.txt' 2>/dev/null | head -n 1)
        [ -n "$found" ] && break
        [ "$with" = no ] && [ "$_" -ge 15 ] && break
        sleep 0.2
    done
    if [ "$with" = yes ] && [ -n "$found" ]; then pass "F1 opens the guide beside the program"
    elif [ "$with" = no ] && [ -z "$found" ] && [ "$(xdotool search --onlyvisible --name "$title" | wc -l)" -eq 1 ]; then
        pass "F1 without a guide opens nothing"
    else fail "F1 with guide $with: ${found:-no guide window}"; fi
    [ -n "$found" ] && { xdotool windowclose "$found" 2>/dev/null || pkill -f notepad.exe; }
    pkill -f notepad.exe 2>/dev/null
    click_button close
    ended || { fail "still running"; kill "$pid"; }
done

echo "e2e: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
