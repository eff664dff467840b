"""Many refused password checks in a row, then one accepted.

A copy of the program with the test "PASSWORD.CPL" beside it, which refuses
the first CYCLES checks and accepts the next (its count lives in
verify_accept_at.txt). Every refusal releases and re-creates the device and
the scene, and loads the flag picture again: one PNG flag throughout (see
RULE for why not the random pick). The process's figures are taken after every refusal (procstat
serves them without a program start each) and judged by the rule in
soak_support: the slope of each figure's level part, which begins after
the warm-up, from check 10 on; a run of fewer than 20 checks prints the
figures without judging their growth. The animation must still run, the
accepted check must end the saver with code 0, and a sample that lacks a
figure fails the run. Run through `tools/soak.sh --password-cycles`.

    soak_password_cycles.py [--cycles 50] [--inject-leak-kb N] [--inject-leak-handles N]

The --inject options are for testing the rule only: the saver is made to
leak N KB (N handles) at every refused check.
"""
import argparse
import os
import shutil
import sys
import time

import soak_support as soak
import harness  # importable once soak_support is


# Every figure settles within the first ten checks. With one flag throughout,
# clean runs still grow by 6-9 KB per check; with random flags (the saver's
# default) by 8-82 KB, memory that Wine's Direct3D or Mesa keeps whenever a
# new device gets a texture of another picture than the last one (docs,
# "Long runs"), which would leave a limit little room between clean runs and
# the 140 KB per check that a leak in picture loading once lost. So the run
# keeps one flag, a PNG (decoded by the Windows Imaging Component, the
# decoder with the most to release), and the limit sits over four times
# above the clean runs' most (9 KB) and three and a half times below that
# leak. The handle
# count steps up by 10 once, when the first PNG flag is decoded (see the
# count rule in soak_support); one handle leaked per check shows as 25 more
# over the second half of the default run.
RULE = soak.GrowthRule(unit="check", settle=10, hold=5, memory_slope=40 * 1024)
FLAG = "Switzerland"  # IMAGE/Switzerland.png


def calls(path):
    try:
        with open(path) as f:
            return sum(1 for _ in f)
    except OSError:
        return 0


def shot(wine, name):
    return soak.screen(wine, name)


def frames_drawn(wine, name, timeout=60):
    """Waits until the screen shows the scene and then a later frame; False
    if it did not within timeout s."""
    first = harness.wait_for(lambda: (lambda im: im if harness.colour_count(im) >= 200 else None)(shot(wine, name)),
                             timeout=timeout, interval=0.1)
    return bool(first) and bool(harness.wait_for(lambda: changed(first, shot(wine, name)) > 0.002,
                                                 timeout=timeout, interval=0.1))


def changed(a, b):
    return soak.cloth_moved(a, b)


def refusals(wine, hwnd, proc, sampler, options, record, failures):
    """Refused checks one after another, with frames drawn between them as
    between a user's tries: [(check, figures)] taken after each."""
    leak = soak.LeakRate(options.inject_leak_kb, options.inject_leak_handles)
    samples = []
    for cycle in range(1, options.cycles + 1):
        wine.wintool("post", hwnd, str(harness.WM_KEYDOWN), "65", "0")
        if not harness.wait_for(lambda: calls(record) >= cycle, timeout=60, interval=0.1):
            failures.append(f"check {cycle} never came")
            break
        if leak:
            sampler.leak(*leak.due(cycle))
        drawn = frames_drawn(wine, "cycles-between")
        if proc.poll() is not None:
            failures.append(f"the saver ended after refusal {cycle}")
            break
        if not drawn:
            failures.append(f"no frames after refusal {cycle}")
            break
        figures = sampler.take()
        samples.append((cycle, figures))
        print(f"after check {cycle}: working set {soak.format_mb(figures.get('working_set'))}, "
              f"page file {soak.format_mb(figures.get('pagefile'))}, "
              f"private bytes {soak.format_mb(figures.get('private_bytes'))}, handles {figures.get('handles', 'n/a')}, "
              f"fds {figures.get('fds', 'n/a')}", flush=True)
    return samples


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cycles", type=int, default=50)
    parser.add_argument("--inject-leak-kb", type=float, default=0.0, help="test only: KB leaked per check")
    parser.add_argument("--inject-leak-handles", type=float, default=0.0, help="test only: handles leaked per check")
    options = parser.parse_args()

    wine = harness.Wine(prefix=os.environ["WINEPREFIX"])
    harness.start_desktop(wine)
    folder = os.path.join(os.path.dirname(os.environ["WINEPREFIX"]), "password-cycles")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    shutil.copy(harness.SCR, folder)
    shutil.copy(harness.PASSWORD_CPL, folder)
    with open(os.path.join(folder, "verify_accept_at.txt"), "w") as f:
        f.write(f"{options.cycles + 1}\n")
    record = os.path.join(folder, "verify_calls.txt")
    wine.reg_add("ScreenSaveUsePassword", "REG_DWORD", 1, key=harness.DESKTOP_KEY)
    wine.reg_add_all({"[Directory]": ("REG_SZ", harness.windows_path(harness.FLAG_ROOT)),
                      "[Random Flag]": ("REG_DWORD", 0), "[Select Flag]": ("REG_SZ", FLAG)})
    before = wine.export_key()

    wine.xdotool("mousemove", "0", "0")
    proc = wine.start(os.path.join(folder, os.path.basename(harness.SCR)), "/s", cwd=folder)
    failures = []
    sampler = None
    try:
        windows_pid, hwnd = soak.saver_windows_pid(wine, proc)
        sampler = soak.Sampler(wine, windows_pid, proc.pid)
        if not frames_drawn(wine, "cycles-start"):
            failures.append("the saver drew no moving scene")
        started = time.time()
        samples = refusals(wine, hwnd, proc, sampler, options, record, failures)
        print(f"{len(samples)} refused checks in {time.time() - started:.0f} s; "
              f"load average {os.getloadavg()}")
        if sampler.leaked_kb or sampler.leaked_handles:
            print(f"injected for testing the rule: {sampler.leaked_kb} KB and {sampler.leaked_handles} handles "
                  f"({options.inject_leak_kb:g} KB and {options.inject_leak_handles:g} handles per check)")
        judgements = soak.judge_all(RULE, samples, options.cycles)
        soak.print_judgements(RULE, judgements)
        failures += [j.failure for j in judgements if j.failure]
        if sampler.problems:
            failures.append(sampler.summary(len(samples)))

        one = shot(wine, "cycles-1")
        two = harness.wait_for(lambda: (lambda im: im if changed(one, im) >= 0.002 else None)(
            shot(wine, "cycles-2")), timeout=30, interval=0.1) or shot(wine, "cycles-2")
        moving = changed(one, two)
        print(f"animation after the last refusal: {moving * 100:.1f} % of the flag's region changed between two pictures")
        if moving < 0.002:
            failures.append("the animation does not run after the refusals")

        code = harness.end_saver_by_input(wine, hwnd, proc, watch=wine.watch_exit(hwnd),
                                          how=("post", harness.WM_KEYDOWN, 65, 0))
        print(f"accepted check {calls(record)}: exit code {code}")
        if code != 0 or calls(record) != options.cycles + 1:
            failures.append(f"exit code {code} after {calls(record)} checks")
        if wine.export_key() != before:
            failures.append("the settings key changed")
    finally:
        if sampler:
            sampler.close()
        if proc.poll() is None:
            proc.kill()
            proc.wait()
    return soak.verdict("PASSWORD CYCLES", failures, judgements,
                        "" if RULE.judged(options.cycles) else
                        f"{options.cycles} checks, fewer than {RULE.min_length():g}")


if __name__ == "__main__":
    sys.exit(soak.run_main(os.path.basename(__file__), main))
