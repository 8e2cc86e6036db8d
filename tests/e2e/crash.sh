#!/usr/bin/env bash
# Kills the real program under Wine at each step of a four-file Save, then starts it again: every
# file is whole at the kill, and after the start all four are as they were or all four saved, with
# nothing of the tool's left beside them and the person's own files untouched. A watcher sees each
# change of the folder (a new or removed name, a file taking another's place) and kills the program
# right after the Nth one; N runs from 1 until a Save completes before it. The start tells of a record
# the Save left, and of nothing else.
# Usage: crash.sh BUILD_DIR PROGRAM
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
. "$top/cmake/wine-env.sh" "$1"
exe=$2
wine_init_prefix
wine_use_display || { echo "no display: run through CTest, whose fixture starts one" >&2; exit 1; }

work="$build/e2e-crash"
xml="$work/Content/XML"
title='^Corvale IP Phone XML Customization Tool$'
failures=0
passes=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; passes=$((passes + 1)); }
key() { xdotool key --clearmodifiers "$@"; sleep 0.3; }

# Four files of 30000 items each (1.4 MB: a Save takes long enough for the watcher to see most steps), all off, and the versions a Save with everything on writes.
make_files() {
    rm -rf "$work"
    mkdir -p "$xml" "$work/old" "$work/new"
    python3 - "$work" <<'EOF'
import sys
work = sys.argv[1]
for name in ("features", "softkeys", "starthere"):
    items = "".join('\t<item name="%s %d" enabled="0"/>\r\n' % (name, i) for i in range(30000))
    text = '<?xml version="1.0"?>\r\n<%s>\r\n%s</%s>\r\n' % (name, items, name)
    for kind, flag in (("old", "0"), ("new", "1")):
        open("%s/%s/%s.xml" % (work, kind, name), "w", newline="").write(text.replace('enabled="0"', 'enabled="%s"' % flag))
link = '<interface>\r\n\t<linkItem value="Guide" enabled="%s"/>\r\n</interface>\r\n'
for kind, flag in (("old", "0"), ("new", "1")):
    open("%s/%s/interface.xml" % (work, kind), "w", newline="").write(link % flag)
EOF
    cp "$work"/old/*.xml "$xml/"
    printf 'mine' >"$xml/features.xml.~3.tmp"
}

# "old", "new" or "other" for each file.
states() {
    local name out=""
    for name in features softkeys starthere interface; do
        if cmp -s "$xml/$name.xml" "$work/old/$name.xml"; then out+="old "
        elif cmp -s "$xml/$name.xml" "$work/new/$name.xml"; then out+="new "
        else out+="other "; fi
    done
    echo "${out% }"
}

open_tool() {
    (cd "$work" && exec "$WINE" "$exe" </dev/null >/dev/null 2>&1) 2>/dev/null &
    pid=$!
    window=$(timeout 60 xdotool search --sync --onlyvisible --name "$title" | head -n 1)
    [ -n "$window" ]
}
# A window other than the dialog that opens with its caption: a message. A loaded machine may take
# seconds to show it.
message() {
    local other
    for _ in $(seq 80); do
        other=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | grep -vx "$window" | head -n 1)
        [ -n "$other" ] && { echo "$other"; return 0; }
        sleep 0.1
    done
    return 1
}

for n in $(seq 1 60); do
    make_files
    open_tool || { fail "the dialog did not open"; break; }
    # Everything on: Enable All on the three lists, and the link's box.
    key alt+e ctrl+Tab alt+e ctrl+Tab alt+e ctrl+Tab space
    python3 "$top/tests/e2e/kill_at_change.py" "$xml" "$n" "$pid" >"$work/watch" &
    watcher=$!
    sleep 0.2
    key alt+s
    wait "$watcher"
    what=$(cat "$work/watch")
    if [ "$what" = done ]; then
        kill -9 "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        if [ "$(states)" = "new new new new" ]; then pass "a Save not cut off saves all four"; else fail "saved: $(states)"; fi
        echo "crash: $((n - 1)) changes of the folder in a Save"
        break
    fi
    wait "$pid" 2>/dev/null
    cut=$(states)
    # What the start finds is what the killed process left: the kill lands a moment after the change.
    record=""
    [ -s "$xml/~customize-save.log" ] && record=yes
    case " $cut " in *" other "*) fail "killed after change $n ($what): a file is not whole: $cut" ;; esac

    open_tool || { fail "the dialog did not open again"; break; }
    told=""
    if said=$(message); then
        told=yes
        import -window "$said" "$build/e2e-crash-message.png" 2>/dev/null
        key Return
    fi
    after=$(states)
    leftovers=$(ls -A "$xml" | grep -v -x -e features.xml -e softkeys.xml -e starthere.xml -e interface.xml -e 'features.xml.~3.tmp' | tr '\n' ' ')
    if [ "$after" != "old old old old" ] && [ "$after" != "new new new new" ]; then
        fail "killed after change $n ($what), started again: $after"
    elif [ -n "$leftovers" ] || [ ! -f "$xml/features.xml.~3.tmp" ]; then
        fail "killed after change $n: left beside the files: ${leftovers:-(the file of the person is gone)}"
    elif [ -n "$record" ] && [ -z "$told" ]; then
        fail "killed after change $n with files $cut and a record of the Save, and the start said nothing"
    elif [ -z "$record" ] && [ -n "$told" ]; then
        fail "killed after change $n with no record of the Save, and the start said something"
    else
        pass "killed after change $n ($cut), the start left $after${told:+ and said so}"
    fi
    # Closing is the other tests' concern: the program is done with.
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
done

echo "crash: $passes passed, $failures failed"
[ "$failures" -eq 0 ] && [ "$passes" -gt 1 ]
