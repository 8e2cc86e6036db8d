#!/usr/bin/env python3
"""Watches a folder and kills a process right after the folder's Nth change: a name that comes or
goes (a file that takes another's place gives up its own name). Prints what the folder held when it struck, or "done"
when the folder is back to a state with none of the tool's own files after changing.

Usage: kill_at_change.py FOLDER N PID
"""
import os
import signal
import sys
import time

folder, wanted, pid = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
OWN = (".~0.tmp", ".~0.old", "~customize-save.log")


def snapshot():
    return sorted(os.listdir(folder))


before = snapshot()
changes = 0
deadline = time.time() + 60
while time.time() < deadline:
    now = snapshot()
    if now == before:
        continue
    changes += 1
    before = now
    if changes == wanted:
        os.kill(pid, signal.SIGKILL)
        print(" ".join(name for name in now if name.endswith(OWN)) or "no files of the tool")
        sys.exit(0)
    if not any(name.endswith(OWN) for name in now):
        print("done")
        sys.exit(0)
print("timeout")
sys.exit(1)
