"""Soak: the saver runs for a long time and its resources must not grow.

Run through tools/soak.sh (private Xvfb and prefix). Samples the working set,
page-file use, handle, GDI and USER counts (procstat.exe) and the Wine
process's VmRSS and open descriptors every few seconds. The rule: for each
figure, the largest sample of the last five minutes (of the last half for a
shorter run) is at most the largest of minute 1 to 2 plus 2 % (plus 4 for
counts). The animation must still run at the end (two screenshots differ),
and pointer moves end the saver with code 0. It also prints when each
figure last rose and which mappings of the process gained anonymous memory
after minute 1, so that a warm-up can be told from a leak. A run shorter
than JUDGED_MINUTES prints the figures without judging their growth: the
saver's memory grows during its first minute or two (a warm-up of Wine's
Direct3D), so only the animation and the exit code are checked then.

    soak_saver.py [--minutes 10] [--interval 5]
"""
import argparse
import os
import sys
import time

from PIL import Image, ImageChops

import soak_support as soak
import harness  # importable once soak_support is

JUDGED_MINUTES = 3.0


def differ(a, b):
    diff = ImageChops.difference(a, b).convert("L").point(lambda v: 255 if v > 24 else 0)
    return diff.histogram()[255] / float(a.width * a.height)


def last_rise(values):
    """When a figure last went up: a warm-up that ends shows as an early time."""
    rise = values[0][0]
    for (_, before), (t, after) in zip(values, values[1:]):
        if after > before:
            rise = t
    return rise


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--minutes", type=float, default=10.0)
    parser.add_argument("--interval", type=float, default=5.0)
    options = parser.parse_args()
    duration = options.minutes * 60.0
    # Baseline minute 1-2 and the checked tail; scaled down for short runs.
    base_from, base_to = (60.0, 120.0) if duration >= 600 else (duration * 0.1, duration * 0.2)
    tail_from = duration - 300.0 if duration >= 600 else duration * 0.5
    judged = options.minutes >= JUDGED_MINUTES

    wine = harness.Wine(prefix=os.environ["WINEPREFIX"])
    harness.start_desktop(wine)
    wine.reg_add("[Directory]", "REG_SZ", harness.windows_path(harness.SOURCE))
    wine.reg_add("[bFps]", "REG_DWORD", 1)
    wine.xdotool("mousemove", "0", "0")
    proc = wine.start(harness.SCR, "/s")
    failures = []
    try:
        windows_pid, hwnd = soak.saver_windows_pid(wine, proc)
        start = time.time()
        samples = []
        mappings_at_base = None
        while time.time() - start < duration:
            figures = soak.sample(wine, windows_pid, proc.pid)
            samples.append((time.time() - start, figures))
            if mappings_at_base is None and samples[-1][0] >= base_from:
                mappings_at_base = (samples[-1][0], soak.anonymous_by_mapping(proc.pid))
            print(f"t={samples[-1][0]:.0f}s " + " ".join(f"{k}={v}" for k, v in figures.items()), flush=True)
            if proc.poll() is not None:
                failures.append(f"the saver ended by itself after {time.time() - start:.0f} s")
                break
            time.sleep(max(0.0, options.interval - (time.time() - start) % options.interval))
        first = Image.open(wine.screenshot("soak-end-1.png")).convert("RGB")
        # A later frame: the picture changes, unless the animation stopped.
        second = harness.wait_for(lambda: (lambda im: im if differ(first, im) >= 0.002 else None)(
            Image.open(wine.screenshot("soak-end-2.png")).convert("RGB")), timeout=30, interval=0.1) \
            or Image.open(wine.screenshot("soak-end-2.png")).convert("RGB")
        moving = differ(first, second)

        keys = soak.WINDOWS_KEYS + soak.UNIX_KEYS
        print(f"samples: {len(samples)} over {samples[-1][0]:.0f} s; load average {os.getloadavg()}")
        print("| figure | first sample | max minute " f"{base_from / 60:.1f}-{base_to / 60:.1f} | max of tail | last | last rise | rule |")
        print("|---|---|---|---|---|---|---|")
        for key in keys:
            values = [(t, f.get(key)) for t, f in samples if f.get(key) is not None]
            # Wine answers 0 or -1 where it does not count.
            if not values or all(v <= 0 for _, v in values):
                print(f"| {key} | not available under Wine | | | | | |")
                continue
            base = max([v for t, v in values if base_from <= t < base_to] or [values[0][1]])
            tail = max([v for t, v in values if t >= tail_from] or [values[-1][1]])
            bad = judged and soak.grows(base, tail, key, slack=soak.SLACK.get(key, 0))
            if bad:
                failures.append(f"{key} grew from {base} to {tail}")
            verdict = "GROWS" if bad else "ok" if judged else "not judged"
            print(f"| {key} | {values[0][1]} | {base} | {tail} | {values[-1][1]} | t={last_rise(values):.0f} s "
                  f"| {verdict} |")
        if mappings_at_base:
            print(f"anonymous memory by mapping, t={mappings_at_base[0]:.0f} s to the end:")
            for change, before, after, name in soak.grown_mappings(mappings_at_base[1],
                                                                   soak.anonymous_by_mapping(proc.pid)):
                print(f"  {change:+d} KB ({before} -> {after} KB) {name}")
        print(f"screen changed between the last two screenshots: {moving * 100:.1f} % of pixels")
        if moving < 0.002:
            failures.append("the animation no longer runs")

        code = harness.end_saver_by_input(wine, hwnd, proc, watch=wine.watch_exit(hwnd), timeout=60)
        print(f"exit code after pointer moves: {code}")
        if code != 0:
            failures.append(f"exit code {code}")
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
    if not judged:
        print(f"growth not judged: the run is shorter than {JUDGED_MINUTES:g} minutes")
    print("SOAK " + ("PASSED" if not failures else "FAILED: " + "; ".join(failures)))
    return 0 if not failures else 1


if __name__ == "__main__":
    sys.exit(soak.run_main(os.path.basename(__file__), main))
