#!/usr/bin/env python3
"""Runs the hostile movies (tools/hostile_movies.py) through hostile_run, each in a child
process, and holds each to the rules: no signal, a clean play or refusal, under 10 s and
under 1 GiB. Prints one line per movie. Usage: run_hostile.py HOSTILE_RUN SOURCE_DIR OUT_DIR"""

import os
import resource
import subprocess
import sys
import time

LIMIT_S, LIMIT_KB = 10.0, 1024 * 1024
FRAMES, WIDTH, HEIGHT = "6", "1920", "1080"


def cap_memory():
    # Spares a shared machine: past 3 GiB of address space the engine meets a refusal.
    resource.setrlimit(resource.RLIMIT_AS, (3 << 30, 3 << 30))


def main():
    runner, source, out = sys.argv[1:4]
    subprocess.run([sys.executable, os.path.join(source, "tools", "hostile_movies.py"), out], check=True)
    failed = 0
    print("%-34s %8s %8s %8s %9s  %s" % ("movie", "bytes", "cpu s", "wall s", "peak MB", "outcome"))
    for name in sorted(os.listdir(out)):
        path = os.path.join(out, name)
        if not name.endswith(".swf"):
            continue
        start = time.monotonic()
        child = subprocess.Popen([runner, path, FRAMES, WIDTH, HEIGHT], stdout=subprocess.PIPE,
                                 stderr=subprocess.PIPE, text=True, preexec_fn=cap_memory)
        try:
            stdout, stderr = child.communicate(timeout=LIMIT_S * 3)
        except subprocess.TimeoutExpired:
            child.kill()
            stdout, stderr = child.communicate()
        seconds = time.monotonic() - start
        peak_kb = child_peak.get(child.pid, 0)
        cpu = child_cpu.get(child.pid, seconds)
        code = child.returncode
        problems = []
        if code < 0:
            problems.append("signal %d" % -code)
        elif code not in (0, 3):
            problems.append("exit %d" % code)
        # Held by processor time: the machine may be shared, and a wall clock would measure
        # the neighbours. A child still running at three times the limit is a hang.
        if cpu > LIMIT_S or seconds > LIMIT_S * 3:
            problems.append("over %g s" % LIMIT_S)
        if peak_kb > LIMIT_KB:
            problems.append("over 1 GiB")
        outcome = (stdout.strip().splitlines() or ["no output"])[-1]
        notes = sorted(set(l for l in stderr.splitlines() if l.startswith("notice:")))
        print("%-34s %8d %8.2f %8.2f %9.0f  %s%s%s" % (name[:-4], os.path.getsize(path), cpu, seconds, peak_kb / 1024,
                                                  outcome, " | " + "; ".join(n[8:] for n in notes) if notes else "",
                                                  "  FAILED: " + ", ".join(problems) if problems else ""))
        failed += bool(problems)
    return 1 if failed else 0


# Popen reaps through os.waitpid; wrap it to keep each child's own peak memory.
child_peak, child_cpu = {}, {}
_waitpid = os.waitpid


def _wait4(pid, options):
    rpid, status, usage = os.wait4(pid, options)
    if rpid:
        child_peak[rpid] = usage.ru_maxrss
        child_cpu[rpid] = usage.ru_utime + usage.ru_stime
    return rpid, status


os.waitpid = _wait4

if __name__ == "__main__":
    sys.exit(main())
