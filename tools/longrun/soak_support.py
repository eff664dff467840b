"""Support of the long-run tools: resource samples of a running saver, its
window, and one-line reports of what stopped a run.

Two views of the resources: the Windows one from tests/tools/procstat.exe
(working set, page file use, handles, GDI and USER objects; a figure Wine
does not give comes back as -1), and the Unix one of the Wine process
(VmRSS, VmHWM and open file descriptors from /proc).

The tools drive the program with the end-to-end tests' harness
(tests/e2e/harness.py); importing this module makes it importable."""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))
import harness  # noqa: E402

SAVER_CLASS = harness.SAVER_CLASS


class LongRunError(Exception):
    """The run cannot go on; the message says why in one line."""


def run_main(name, main):
    """Runs a tool's main; what stops it is reported in one line, exit code 2."""
    try:
        return main()
    except (LongRunError, AssertionError, OSError, subprocess.SubprocessError) as problem:
        print(f"{name}: {problem}".splitlines()[0], file=sys.stderr)
        return 2
    except KeyboardInterrupt:
        print(f"{name}: interrupted", file=sys.stderr)
        return 130

PROCSTAT = os.path.join(harness.BUILD, "procstat.exe")
WINDOWS_KEYS = ("working_set", "peak_working_set", "pagefile", "handles", "gdi", "user")
UNIX_KEYS = ("vm_rss", "vm_hwm", "fds")


def windows_figures(wine, windows_pid):
    code, out, _ = wine.run(PROCSTAT, str(windows_pid), timeout=60)
    if code != 0:
        return {}
    fields = harness.parse_fields(out.strip())
    return {k: int(fields[k]) for k in WINDOWS_KEYS if k in fields}


def unix_figures(unix_pid):
    figures = {}
    try:
        with open(f"/proc/{unix_pid}/status") as f:
            for line in f:
                name, _, value = line.partition(":")
                if name in ("VmRSS", "VmHWM"):
                    figures[name.lower().replace("vm", "vm_")] = int(value.split()[0]) * 1024
        figures["fds"] = len(os.listdir(f"/proc/{unix_pid}/fd"))
    except OSError:
        pass
    return figures


def anonymous_by_mapping(unix_pid):
    """Anonymous memory (KB) of each mapping of the Wine process, by address
    range: where a figure grows, this says which region holds the growth
    (low addresses are the Windows side, high ones the Unix libraries)."""
    regions = {}
    current = None
    try:
        with open(f"/proc/{unix_pid}/smaps") as f:
            for line in f:
                head = line.split()
                if head and "-" in head[0] and ":" not in head[0]:
                    current = head[0] + (" " + head[5] if len(head) > 5 else "")
                elif current and line.startswith("Anonymous:"):
                    regions[current] = int(head[1])
    except OSError:
        pass
    return regions


def grown_mappings(before, after, count=5):
    """The mappings whose anonymous memory changed most, as (KB change, KB
    before, KB after, mapping)."""
    rows = [(after.get(k, 0) - before.get(k, 0), before.get(k, 0), after.get(k, 0), k)
            for k in set(before) | set(after)]
    rows = [r for r in rows if r[0]]
    rows.sort(key=lambda r: -abs(r[0]))
    return rows[:count]


def sample(wine, windows_pid, unix_pid):
    figures = windows_figures(wine, windows_pid)
    figures.update(unix_figures(unix_pid))
    return figures


def saver_windows_pid(wine, proc, timeout=60.0):
    """The Windows process id and the window of the saver started as proc.

    Asks in short waits, so that a program that ended without a window is
    reported at once."""
    end = time.time() + timeout
    while time.time() < end:
        if proc.poll() is not None:
            raise LongRunError(f"the saver ended (exit code {proc.returncode}) before its window appeared")
        code, out = wine.wintool("wait", "--class", SAVER_CLASS, "--timeout", "2000", timeout=60)
        fields = harness.parse_fields(out)
        if code == 0 and "pid" in fields and "hwnd" in fields:
            return int(fields["pid"]), fields["hwnd"]
    raise LongRunError(f"no saver window within {timeout:.0f} s")


def grows(baseline, later, key, share=0.02, slack=0):
    """True when `later` passes `baseline` by more than share (plus slack units)."""
    if baseline is None or later is None or baseline <= 0 or later < 0:
        return False
    return later > baseline * (1.0 + share) + slack


# Small absolute slack where a count is small: one handle more is noise.
SLACK = {"handles": 4, "gdi": 4, "user": 4, "fds": 4}


def format_mb(value):
    return "n/a" if value is None or value < 0 else f"{value / 1048576.0:.1f} MB"
