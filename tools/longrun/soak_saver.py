"""Soak: the saver runs for a long time and its resources must not grow.

Run through tools/soak.sh (private Xvfb and prefix). Samples the working set,
page-file use, handle, GDI and USER counts (procstat.exe) and the Wine
process's VmRSS and open descriptors every few seconds. Growth is judged by
the rule in soak_support (the slope of each figure's level part, which
begins after the warm-up, from minute 3 on); a run shorter than 6 minutes
prints the figures without judging their growth. The animation must still
run at the end (two screenshots differ), pointer moves end the saver with
code 0, and a sample that lacks a figure fails the run. It also prints when
each figure last rose and which mappings of the process gained anonymous
memory on the level part, so that a warm-up can be told from a leak.

    soak_saver.py [--minutes 10] [--interval 5]
                  [--inject-leak-kb N] [--inject-leak-handles N]

The --inject options are for testing the rule only: the saver is made to
leak N KB (N handles) per second of the run, injected at every sample.
"""
import argparse
import os
import sys
import time

import soak_support as soak
import harness  # importable once soak_support is

# The figures are level from the first seconds of a run (the first scene is
# made); the level part begins at minute 3 at the earliest all the same, as a
# warm-up may last longer on a busy machine. A leak of 4 KB/s shows as a slope
# of 4 KB/s; the level figures of a clean 10-minute run moved by 0.0 KB/s.
RULE = soak.GrowthRule(unit="s", settle=180.0, hold=30.0, memory_slope=2 * 1024)


def differ(a, b):
    return soak.cloth_moved(a, b)


def last_rise(values):
    """When a figure last went up: a warm-up that ends shows as an early time."""
    rise = values[0][0]
    for (_, before), (t, after) in zip(values, values[1:]):
        if after > before:
            rise = t
    return rise


def sample_run(sampler, proc, options, failures):
    """Samples until the run's time is up: [(t, figures)], and the mappings
    at the start of the level part."""
    duration = options.minutes * 60.0
    leak = soak.LeakRate(options.inject_leak_kb, options.inject_leak_handles)
    start = time.time()
    samples = []
    mappings_at_settle = None
    while time.time() - start < duration:
        now = time.time() - start
        if leak:
            sampler.leak(*leak.due(now))
        figures = sampler.take()
        samples.append((now, figures))
        if mappings_at_settle is None and now >= RULE.settle:
            mappings_at_settle = (now, soak.anonymous_by_mapping(proc.pid))
        print(f"t={now:.0f}s " + " ".join(f"{k}={v}" for k, v in figures.items()), flush=True)
        if proc.poll() is not None:
            failures.append(f"the saver ended by itself after {time.time() - start:.0f} s")
            break
        time.sleep(max(0.0, options.interval - (time.time() - start) % options.interval))
    return samples, mappings_at_settle


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--minutes", type=float, default=10.0)
    parser.add_argument("--interval", type=float, default=5.0)
    parser.add_argument("--inject-leak-kb", type=float, default=0.0, help="test only: KB leaked per second")
    parser.add_argument("--inject-leak-handles", type=float, default=0.0, help="test only: handles leaked per second")
    options = parser.parse_args()
    duration = options.minutes * 60.0

    wine = harness.Wine(prefix=os.environ["WINEPREFIX"])
    harness.start_desktop(wine)
    harness.use_flag_folder(wine)
    wine.reg_add("[bFps]", "REG_DWORD", 1)
    wine.xdotool("mousemove", "0", "0")
    proc = wine.start(harness.SCR, "/s")
    failures = []
    sampler = None
    try:
        windows_pid, hwnd = soak.saver_windows_pid(wine, proc)
        sampler = soak.Sampler(wine, windows_pid, proc.pid)
        samples, mappings_at_settle = sample_run(sampler, proc, options, failures)
        first = soak.screen(wine, "soak-end-1")
        # A later frame: the picture changes, unless the animation stopped.
        second = harness.wait_for(lambda: (lambda im: im if differ(first, im) >= 0.002 else None)(
            soak.screen(wine, "soak-end-2")), timeout=30, interval=0.1) or soak.screen(wine, "soak-end-2")
        moving = differ(first, second)

        print(f"samples: {len(samples)} over {samples[-1][0]:.0f} s; load average {os.getloadavg()}")
        if sampler.leaked_kb or sampler.leaked_handles:
            print(f"injected for testing the rule: {sampler.leaked_kb} KB and {sampler.leaked_handles} handles "
                  f"({options.inject_leak_kb:g} KB and {options.inject_leak_handles:g} handles per second)")
        judgements = soak.judge_all(RULE, samples, duration)
        soak.print_judgements(RULE, judgements)
        failures += [j.failure for j in judgements if j.failure]
        print("last rise: " + ", ".join(f"{j.key} t={last_rise(j.points):.0f} s" for j in judgements if j.points))
        if sampler.problems:
            failures.append(sampler.summary(len(samples)))
        if mappings_at_settle:
            print(f"anonymous memory by mapping, t={mappings_at_settle[0]:.0f} s to the end:")
            for change, before, after, name in soak.grown_mappings(mappings_at_settle[1],
                                                                   soak.anonymous_by_mapping(proc.pid)):
                print(f"  {change:+d} KB ({before} -> {after} KB) {name}")
        print(f"the flag's region changed between the last two screenshots: {moving * 100:.1f} % of its pixels")
        if moving < 0.002:
            failures.append("the animation no longer runs")

        code = harness.end_saver_by_input(wine, hwnd, proc, watch=wine.watch_exit(hwnd))
        print(f"exit code after pointer moves: {code}")
        if code != 0:
            failures.append(f"exit code {code}")
    finally:
        if sampler:
            sampler.close()
        if proc.poll() is None:
            proc.kill()
            proc.wait()
    return soak.verdict("SOAK", failures, judgements,
                        "" if RULE.judged(duration) else
                        f"the run is shorter than {RULE.min_length() / 60:g} minutes")


if __name__ == "__main__":
    sys.exit(soak.run_main(os.path.basename(__file__), main))
