"""Support of the long-run tools: resource samples of a running saver, the
rule that tells a leak from the warm-up, its window, and one-line reports of
what stopped a run.

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
WINDOWS_KEYS = ("working_set", "peak_working_set", "pagefile", "private_bytes", "handles", "gdi", "user")
UNIX_KEYS = ("vm_rss", "vm_hwm", "fds")
# Wine answers GetGuiResources with 0 for every process, which procstat
# gives as -1: these two are never available under Wine, and a run without
# them is judged on the others. Every other figure comes from a call that
# Wine implements (or from /proc), so a missing one is a fault of the run.
NOT_GIVEN_BY_WINE = ("gdi", "user")


class ProcStat:
    """procstat.exe --serve in the run's prefix: the figures of a process,
    and leaks injected into it for testing the rules, each without starting
    a Wine program."""

    def __init__(self, wine):
        self.wine = wine
        self.server = None

    def call(self, request, timeout=30.0):
        """(code, output), or None when no answer came (procstat is then
        ended, and the next call starts it again)."""
        if self.server is None or not self.server.alive():
            self.close()
            self.server = harness.ServedProgram(self.wine.env, [PROCSTAT, "--serve"], "procstat")
        answer = self.server.call_line(request, timeout)
        if answer is None:
            self.server = None
        return answer

    def close(self):
        if self.server is not None:
            self.server.close()
            self.server = None


class Sampler:
    """The figures of one running saver, sample after sample. A sample that
    lacks a figure it should have (procstat failed or gave -1, /proc could
    not be read) is recorded in `problems`, which fail the run: a run whose
    figures went missing has not shown that nothing grows."""

    def __init__(self, wine, windows_pid, unix_pid):
        self.procstat = ProcStat(wine)
        self.windows_pid = windows_pid
        self.unix_pid = unix_pid
        self.problems = []
        self.leaked_kb = 0
        self.leaked_handles = 0

    def take(self):
        figures = {}
        answer = self.procstat.call(str(self.windows_pid))
        if answer is None:
            self.problems.append(f"procstat gave no answer for process {self.windows_pid}")
        elif answer[0] != 0:
            self.problems.append(f"procstat failed for process {self.windows_pid} (code {answer[0]}): "
                                 f"{answer[1].strip()[:120]!r}")
        else:
            fields = harness.parse_fields(answer[1].strip())
            for key in WINDOWS_KEYS:
                value = int(fields.get(key, -1))
                if value >= 0:
                    figures[key] = value
                elif key not in NOT_GIVEN_BY_WINE:
                    self.problems.append(f"procstat gave no {key} for process {self.windows_pid}")
        try:
            figures.update(unix_figures(self.unix_pid))
        except OSError as error:
            self.problems.append(f"no /proc figures of the saver (Unix process {self.unix_pid}): {error}")
        return figures

    def summary(self, samples):
        return f"figures missing: {len(self.problems)} failed read(s) in {samples} samples; first: {self.problems[0]}"

    def leak(self, kb, handles):
        """Test only: the saver is made to leak kb KB and `handles` handles.
        An injection that did not happen in full stops the run: its result
        would prove nothing."""
        if kb <= 0 and handles <= 0:
            return
        answer = self.procstat.call(f"leak {self.windows_pid} {int(kb)} {int(handles)}")
        if answer is None or answer[0] != 0:
            raise LongRunError(f"procstat could not inject a leak of {kb} KB and {handles} handles: {answer!r}")
        self.leaked_kb += int(kb)
        self.leaked_handles += int(handles)

    def close(self):
        self.procstat.close()


class LeakRate:
    """Test only: how much to inject now to keep a steady rate (KB and
    handles per check or per second); whole units, the rest carried on."""

    def __init__(self, kb_per_unit, handles_per_unit):
        self.kb_per_unit = kb_per_unit
        self.handles_per_unit = handles_per_unit
        self.kb = 0
        self.handles = 0

    def due(self, units):
        kb = int(self.kb_per_unit * units) - self.kb
        handles = int(self.handles_per_unit * units) - self.handles
        self.kb += kb
        self.handles += handles
        return kb, handles

    def __bool__(self):
        return self.kb_per_unit > 0 or self.handles_per_unit > 0


def unix_figures(unix_pid):
    """VmRSS, VmHWM and the open descriptors of the Wine process; OSError
    when /proc does not have them (the process has gone)."""
    figures = {}
    with open(f"/proc/{unix_pid}/status") as f:
        for line in f:
            name, _, value = line.partition(":")
            if name in ("VmRSS", "VmHWM"):
                figures[name.lower().replace("vm", "vm_")] = int(value.split()[0]) * 1024
    figures["fds"] = len(os.listdir(f"/proc/{unix_pid}/fd"))
    missing = [k for k in UNIX_KEYS if k not in figures]
    if missing:
        raise OSError(f"/proc/{unix_pid}/status has no {', '.join(missing)}")
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


# ---- the growth rule ------------------------------------------------------------
#
# A figure may rise while the saver warms up (its first scene, the first
# refused checks, a cache Wine fills once) and then stays level apart from
# noise; a leak adds the same amount per check or per second for as long as
# the run lasts. So the rule judges the slope of the level part, not the last
# sample against the first: a warm-up of any size passes, and a leak too
# small to show as a share of the whole still shows as a slope.
#
# The level part of a figure begins at the first sample, from `settle` on,
# after which the figure does not rise faster than its limit over the next
# `hold` units; at the latest in the middle of the run, so that a figure that
# never stops rising (a leak) is judged on the second half at least. Memory
# fails when the least-squares slope of its level part is over
# `memory_slope` bytes per unit. A count (handles, descriptors) fails when
# it ends its level part more than `count_growth` above where it began, not
# counting its largest single step: Wine caches some things for good the
# first time they are used, as a step at whichever moment that happens
# (the first PNG flag that the saver decodes, at a random check, leaves ten
# registry keys of Windows Imaging Component's decoders open), while a leak
# rises again and again. A run shorter than twice `settle` has no level part
# worth the name and is not judged.

MEMORY_KEYS = ("working_set", "pagefile", "private_bytes", "vm_rss")
COUNT_KEYS = ("handles", "gdi", "user", "fds")
# A peak follows the current figure it is the peak of, but stays at any
# passing high: shown, judged through the current figure.
PEAK_KEYS = ("peak_working_set", "vm_hwm")


class GrowthRule:
    """unit: "check" or "s"; settle and hold in units; memory_slope in bytes
    per unit."""

    def __init__(self, unit, settle, hold, memory_slope, count_growth=2):
        self.unit = unit
        self.settle = settle
        self.hold = hold
        self.memory_slope = memory_slope
        self.count_growth = count_growth

    def at(self, x):
        return f"check {x:g}" if self.unit == "check" else f"t={x:.0f} s"

    def amount(self, n):
        return f"{n:g} checks" if self.unit == "check" else f"{n / 60:g} minutes" if n >= 60 else f"{n:g} s"

    def min_length(self):
        return 2 * self.settle

    def judged(self, length):
        return length >= self.min_length()

    def describe(self):
        return (f"the level part begins at {self.at(self.settle)} or later, once a figure has not risen faster than "
                f"its limit for {self.amount(self.hold)}, at the latest in the middle of the run; memory: slope at "
                f"most {self.memory_slope / 1024:g} KB per {self.unit}; counts: at most {self.count_growth} more at "
                f"the end of the level part than at its start, besides its largest single step; a run shorter than "
                f"{self.amount(self.min_length())} is not judged")

    def allowed_rise(self, key, span):
        return self.memory_slope * span if key not in COUNT_KEYS else 0

    def level_start(self, key, points, length):
        """Index of the first point of the level part."""
        latest = max(self.settle, length / 2.0)
        candidates = [i for i, (x, _) in enumerate(points) if x >= self.settle]
        for i in candidates:
            x, value = points[i]
            if x >= latest:
                return i
            ahead = [v for t, v in points[i + 1:] if t <= x + self.hold]
            if ahead and points[-1][0] >= x + self.hold and max(ahead) <= value + self.allowed_rise(key, self.hold):
                return i
        return candidates[0] if candidates else len(points)

    def judge(self, key, points, length):
        """points: (x, value) in order, x in units from the start; length:
        the run's length in units. A Judgement."""
        points = [(x, v) for x, v in points if v is not None and v >= 0]
        j = Judgement(key, points, self)
        if not points:
            j.verdict = "not given by Wine" if key in NOT_GIVEN_BY_WINE else "MISSING"
            if key not in NOT_GIVEN_BY_WINE:
                j.failure = f"{key}: no figure in any sample"
            return j
        if key in PEAK_KEYS:
            j.verdict = "peak: shown only"
            return j
        if not self.judged(length):
            j.verdict = "not judged (short run)"
            return j
        level = points[self.level_start(key, points, length):]
        if len(level) < 3:
            j.verdict = "not judged (too few samples)"
            return j
        j.level = level
        j.slope = slope(level)
        if key in COUNT_KEYS:
            steps = [b - a for (_, a), (_, b) in zip(level, level[1:])]
            j.growth = level[-1][1] - level[0][1]
            j.step = max(steps)
            bad = j.growth - max(0, j.step) > self.count_growth
            j.limit = f"+{self.count_growth} besides one step"
        else:
            j.growth = j.slope * (level[-1][0] - level[0][0])
            bad = j.slope > self.memory_slope
            j.limit = f"{self.memory_slope / 1024:g} KB/{self.unit}"
        j.verdict = "GROWS" if bad else "ok"
        if bad:
            j.failure = (f"{key} grows on its level part ({self.at(level[0][0])} to {self.at(level[-1][0])}): "
                         f"{j.format_slope()}, {j.format_growth()} in all")
        return j


class Judgement:
    """One figure's samples and what the rule found."""

    def __init__(self, key, points, rule):
        self.key = key
        self.points = points
        self.rule = rule
        self.unit = rule.unit
        self.level = None
        self.slope = None
        self.growth = None
        self.step = None
        self.limit = ""
        self.verdict = ""
        self.failure = None

    def is_count(self):
        return self.key in COUNT_KEYS

    def format_value(self, value):
        return str(value) if self.is_count() else format_mb(value)

    def format_slope(self):
        if self.slope is None:
            return ""
        if self.is_count():
            return f"{self.slope:+.3f}/{self.unit}"
        return f"{self.slope / 1024:+.1f} KB/{self.unit}"

    def format_growth(self):
        if self.growth is None:
            return ""
        if self.is_count():
            return f"{self.growth:+d} (largest step {self.step:+d})"
        return f"{self.growth / 1048576:+.2f} MB"

    def row(self):
        """A Markdown table row under TABLE_HEAD."""
        if not self.points:
            return f"| {self.key} | | | | | | | {self.verdict} |"
        first, last = self.points[0], self.points[-1]
        start = f"{self.format_value(self.level[0][1])} ({self.rule.at(self.level[0][0])})" if self.level else ""
        return (f"| {self.key} | {self.format_value(first[1])} | {start} | {self.format_value(last[1])} | "
                f"{self.format_slope()} | {self.format_growth()} | {self.limit} | {self.verdict} |")


TABLE_HEAD = ("| figure | first | level part from | last | slope on the level part | growth on the level part "
              "| limit | verdict |\n|---|---|---|---|---|---|---|---|")


def slope(points):
    """Least-squares slope of (x, y) points."""
    n = float(len(points))
    mx = sum(x for x, _ in points) / n
    my = sum(y for _, y in points) / n
    sxx = sum((x - mx) ** 2 for x, _ in points)
    return sum((x - mx) * (y - my) for x, y in points) / sxx if sxx else 0.0


def judge_all(rule, samples, length):
    """Judgements of every figure; samples: (x, figures) in order."""
    keys = WINDOWS_KEYS + UNIX_KEYS
    return [rule.judge(key, [(x, f.get(key)) for x, f in samples], length) for key in keys]


def print_judgements(rule, judgements):
    print(f"rule: {rule.describe()}")
    print(TABLE_HEAD)
    for j in judgements:
        print(j.row())


def unjudged(judgements):
    """The figures whose growth the rule should have judged and did not
    (a short run, too few samples on the level part), as "key: why"."""
    return [f"{j.key}: {j.verdict}" for j in judgements
            if j.points and j.key not in PEAK_KEYS and j.level is None and not j.failure]


def verdict(name, failures, judgements, why_not):
    """The last line and the exit code. PASSED only when the growth of every
    figure that was sampled was judged: a run that judged nothing, or only
    some figures, says GROWTH NOT JUDGED with the reason (why_not, else the
    first unjudged figure's)."""
    if failures:
        print(f"{name} FAILED: " + "; ".join(failures))
        return 1
    missing = unjudged(judgements)
    judged = any(j.level is not None for j in judgements)
    if judged and not missing:
        print(f"{name} PASSED")
    else:
        reason = why_not if not judged and why_not else missing[0] if missing else "no figure judged"
        print(f"{name} GROWTH NOT JUDGED ({reason}); animation, exit code and every figure sampled")
    return 0


def screen(wine, name):
    """The screen now, as an RGB image: read from the X server where it can
    be, else through a file in the run's own output folder."""
    image = harness.grab_root(wine.env["DISPLAY"])
    if image is None:
        image = wine.shot(f"{name}.png")[1]
    return image


# The middle of the 800 x 600 screen, where the flag hangs, clear of the
# texts (flag name top left, frame rate and clock along the bottom), which
# change by themselves while a frozen cloth would not.
FLAG_REGION = (250, 200, 550, 400)


def cloth_moved(a, b):
    """Share of the flag's region that changed between two screens."""
    return harness.changed_fraction(a.crop(FLAG_REGION), b.crop(FLAG_REGION))


def format_mb(value):
    return "n/a" if value is None or value < 0 else f"{value / 1048576.0:.1f} MB"
