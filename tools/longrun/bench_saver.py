"""Performance figures side by side, printed as one Markdown table. Run
through tools/bench.sh (a private Xvfb at 800 x 600 x 16 and a prefix of its
own; the build that tools/test.sh tests).

    bench_saver.py [--seconds 15] [--native-flagsim PATH] [--paced-only] [--on-battery]

The saver's scene and frame (frame_bench) run beside minimal_d3d8 drawing
the same layers plainly, and beside minimal_d3d8 only clearing and
presenting. The real saver is started twice with "/s": once with Wine's
windows unmanaged (as on the test display, where no window manager runs,
and like a desktop whose window manager answers at once), once managed on
the bare Xvfb, where Wine waits for a window manager that never answers.
Each is ended by pointer moves, timed from the move that ended it; the
bench fails (code 1) when moves did not end a run within 10 s or it ended
with a code other than 0. Then the saver runs paced, full screen and as the preview,
with Wine's Direct3D command thread (csmt) off as the tests have it and once
on for comparison: its frame rate and the CPU of its whole process; the
bench also fails when a paced run without csmt goes faster than its pace,
or does not end with code 0 on input (pointer moves; the preview's host
window closed). --paced-only runs the paced runs without csmt alone;
--on-battery says that Wine reports the computer on battery
(tools/battery_bench.sh arranges it), which lowers the paces the runs must
keep to.
"""
import argparse
import os
import re
import subprocess
import sys
import threading
import time

import soak_support as soak
import harness  # importable once soak_support is

FRAME_BENCH = os.path.join(harness.BUILD, "frame_bench.exe")
MINIMAL = os.path.join(harness.BUILD, "minimal_d3d8.exe")
FLAGSIM_EXE = os.path.join(harness.BUILD, "tools", "flagsim", "flagsim.exe")
X11_DRIVER_KEY = r"HKCU\Software\Wine\X11 Driver"
# From (0, 0), pointer moves along x only: each changes one coordinate, the sixth ends the saver.
POINTER_MOVES = 6
# Seconds after the sixth move within which the saver must have begun to
# end, as in the tests; moves read late may merge, so one more follows each
# second without an end.
END_SECONDS = harness.END_SECONDS
MORE_MOVE_SECONDS = 1.0


def fields_of(text):
    found = {}
    for line in text.replace("\r", "").splitlines():
        found.update(harness.parse_fields(line))
    return found


def frame_figures(wine, exe, *args, seconds):
    """The fields a frame benchmark printed; its run must have given a frame rate."""
    code, out, _ = wine.run(exe, *args, "--seconds", str(seconds), timeout=seconds + 240)
    fields = fields_of(out)
    if code != 0 or "fps" not in fields:
        raise soak.LongRunError(f"{os.path.basename(exe)} {' '.join(args)} gave no frame rate "
                                f"(exit code {code}): {out.strip()[:200]!r}")
    return fields, out.replace("\r", "")


class EndWatch:
    """Times the end of the saver from its last input: when its X window
    leaves the screen (the first unmap or destroy event) and when its
    process is gone. Watches from before the input, so nothing is missed."""

    def __init__(self, wine, hwnd, proc):
        _, out = wine.wintool("xwindow", hwnd)
        xid = harness.parse_fields(out).get("whole", "0")
        self.window_gone = None
        self.process_gone = None
        self.events = None
        if xid not in ("0", ""):
            self.events = subprocess.Popen(["xev", "-id", xid, "-event", "structure"], env=wine.env,
                                           stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                           stderr=subprocess.DEVNULL, text=True)
            threading.Thread(target=self._read_events, daemon=True).start()
        threading.Thread(target=self._wait_process, args=(proc,), daemon=True).start()

    def _read_events(self):
        for line in self.events.stdout:
            if line.startswith(("UnmapNotify", "DestroyNotify")) and self.window_gone is None:
                self.window_gone = time.time()

    def _wait_process(self, proc):
        proc.wait()
        self.process_gone = time.time()

    def close(self):
        if self.events and self.events.poll() is None:
            self.events.kill()
            self.events.wait()


def first_picture(wine, proc, started):
    """Seconds from the start to the first screenshot with a picture on it."""
    def shown_or_ended():
        return proc.poll() is not None or harness.colour_count(soak.screen(wine, "bench-start")) >= 200
    # Looked at every 0.05 s: the cores are shared with the saver being measured.
    if harness.wait_for(shown_or_ended, timeout=started + 60 - time.time(), interval=0.05) and proc.poll() is None:
        return time.time() - started
    raise soak.LongRunError("the saver showed no picture within 60 s")


def end_by_pointer(wine, hwnd, watch):
    """Pointer moves until the saver begins to end (its window leaves the
    screen or its process is gone): the moment of the move that ended it,
    and how many moves were given. Six moves end it, each given once the
    saver has handled the one before; unless moves it read late merged into
    fewer: then one more follows each MORE_MOVE_SECONDS without an end, and
    the time runs from the last one, which is the one that ended it. None
    as the moment when it had not begun to end END_SECONDS after the sixth
    move."""
    x = 0
    for x in range(1, POINTER_MOVES + 1):
        harness.window_painted(wine, hwnd)
        wine.xdotool("mousemove", str(x * 10), "0")
    last_input = time.time()
    end = last_input + END_SECONDS
    while True:
        left = end - time.time()
        if harness.wait_for(lambda: watch.process_gone or watch.window_gone,
                            timeout=max(0.0, min(MORE_MOVE_SECONDS, left)), interval=0.05):
            return last_input, x
        if left <= MORE_MOVE_SECONDS:
            return None, x
        x += 1
        wine.xdotool("mousemove", str(x * 10), "0")
        last_input = time.time()


def saver_run(wine, managed, span):
    """Start to first picture, peak memory over its first `span` seconds of
    frames, and the last input's way to the end."""
    wine.reg_add("Managed", "REG_SZ", "Y" if managed else "N", key=X11_DRIVER_KEY)
    wine.xdotool("mousemove", "0", "0")
    started = time.time()
    proc = wine.start(harness.SCR, "/s")
    sampler = None
    try:
        windows_pid, hwnd = soak.saver_windows_pid(wine, proc)
        shown = first_picture(wine, proc, started)
        time.sleep(span)  # the span the peaks are taken over
        sampler = soak.Sampler(wine, windows_pid, proc.pid)
        figures = sampler.take()
        if sampler.problems:
            raise soak.LongRunError(sampler.problems[0])
        watch_code = wine.watch_exit(hwnd)
        watch = EndWatch(wine, hwnd, proc)
        try:
            last_input, moves = end_by_pointer(wine, hwnd, watch)
            if last_input is None:
                return {"shown": shown, "figures": figures, "moves": moves, "ended": False}
            try:
                code = harness.exit_code(proc, END_SECONDS, watch_code)
            except AssertionError as problem:
                raise soak.LongRunError(f"the saver with windows {'managed' if managed else 'unmanaged'}: {problem}")
            harness.wait_for(lambda: watch.window_gone, timeout=2.0, interval=0.05)
        finally:
            watch.close()
    finally:
        if sampler:
            sampler.close()
        if proc.poll() is None:
            proc.kill()
            proc.wait()

    def ms(moment):
        return None if moment is None else 1000.0 * (moment - last_input)
    return {"shown": shown, "figures": figures, "window_ms": ms(watch.window_gone),
            "process_ms": ms(watch.process_gone), "code": code, "moves": moves, "ended": True}


DIRECT3D_KEY = r"HKCU\Software\Wine\Direct3D"
PREVIEW_SIZE = (152, 112)  # the display settings' thumbnail
# Frame rates a paced saver never passes, however fast the machine: the
# preview's 30 and the unknown refresh's 60 (paced 2 % ahead), plus the
# rounding of Wine's one-second counts; on battery 15 and 30.
PACED_LIMITS = {"full screen": 62.0, "preview": 31.5}
BATTERY_PACED_LIMITS = {"full screen": 31.5, "preview": 16.0}


def cpu_seconds(unix_pid):
    """User and system time of a process and all its threads, in seconds."""
    with open(f"/proc/{unix_pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


# Wine's Direct3D writes one count per swap chain, "PTR @ approx N fps",
# at the first Present that comes 1.5 s or more after its last count. (Its
# OpenGL layer writes one more for all the process's swap chains together,
# "wglSwapBuffers @ approx N fps, total M fps": not matched.)
SWAP_CHAIN_COUNT = re.compile(r"trace:fps:\S+ (\w+) @ approx ([0-9.]+)fps\s*$")
# A count's span is read with GetTickCount, which under Wine advances in
# steps of 16 ms, so one count of 1.5 s may be 1.1 % off; the errors of
# consecutive counts cancel but for the first and the last, so a mean over
# two counts of every swap chain is within 0.6 %.
COUNTS_MEASURED = 2


def fps_reader(proc):
    """Collects the counts of Wine's +fps trace from the program's error
    output as (time it came, swap chain, frames per second). The first count
    of each swap chain is left out: it is written at the chain's first
    Present and counts from the system's start, so it reads 0."""
    rates = []

    def read():
        seen = set()
        for line in proc.stderr:
            count = SWAP_CHAIN_COUNT.search(line)
            if count and count.group(1) in seen:
                rates.append((time.time(), count.group(1), float(count.group(2))))
            elif count:
                seen.add(count.group(1))
    threading.Thread(target=read, daemon=True).start()
    return rates


def rate_and_cpu(proc, rates, chains, seconds):
    """Frames per second (the mean of Wine's counts; None when they did not
    come) and the CPU of the whole process in % of one core, once `chains`
    swap chains have counted their first frames: over `seconds`, and on
    until each has given COUNTS_MEASURED counts more. The counts come every
    1.5 s, so even a run of 1 s is measured over about 3 s."""
    def counted(since, until=float("inf")):
        return [(chain, rate) for moment, chain, rate in rates if since < moment <= until]

    def chains_counted(since, counts):
        found = [chain for chain, _ in counted(since)]
        return sum(1 for chain in set(found) if found.count(chain) >= counts) >= chains
    # The counts that cover the first frames (the scene made, the pictures
    # loaded) come before the measure.
    counting = harness.wait_for(lambda: chains_counted(0, 1) or proc.poll() is not None, timeout=60,
                                interval=0.1) and proc.poll() is None
    start, cpu_start = time.time(), cpu_seconds(proc.pid)
    harness.wait_for(lambda: (time.time() >= start + seconds and chains_counted(start, COUNTS_MEASURED))
                     or proc.poll() is not None, timeout=seconds + (60 if counting else 0), interval=0.1)
    end, cpu_end = time.time(), cpu_seconds(proc.pid)
    measured = [rate for _, rate in counted(start, end)] if chains_counted(start, COUNTS_MEASURED) else []
    fps = sum(measured) / len(measured) if measured else None
    return {"fps": fps, "cpu": 100.0 * (cpu_end - cpu_start) / (end - start)}


def paced_run(wine, kind, csmt, seconds):
    """The real saver, full screen ("/s") or as the preview in a host
    window: frames per second and CPU of its whole process, in % of one
    core, as rate_and_cpu measures them over `seconds`."""
    wine.reg_add("Managed", "REG_SZ", "N", key=X11_DRIVER_KEY)
    wine.reg_add("csmt", "REG_DWORD", 1 if csmt else 0, key=DIRECT3D_KEY)
    env = {"WINEDEBUG": "-all,+fps"}
    host = host_hwnd = None
    if kind == "preview":
        host = wine.start(harness.WINTOOL, "host", *(str(v) for v in PREVIEW_SIZE))
        host_hwnd = harness.parse_fields(harness.read_line(host, 60))["hwnd"]
        proc = wine.start(harness.SCR, "/p", host_hwnd, env=env)
    else:
        wine.xdotool("mousemove", "0", "0")
        proc = wine.start(harness.SCR, "/s", env=env)
    try:
        run = rate_and_cpu(proc, fps_reader(proc), 1, seconds)
        # With csmt on, Wine's Direct3D thread busy-waits through the
        # teardown too, which Wine's server may cut short by a kill once the
        # code is recorded, and Mesa's teardown under it may crash (seen once
        # under load: SIGSEGV after code 0): noted, as the comparison run it
        # is. Without csmt, as the product is tested, either fails.
        run["killed"] = [] if csmt else None
        try:
            run["code"] = end_paced(wine, kind, proc, host_hwnd, run["killed"])
        except AssertionError as problem:
            raise soak.LongRunError(f"the paced {kind} with csmt {'on' if csmt else 'off'}: {problem}")
        return run
    finally:
        for program in (proc, host):
            if program and program.poll() is None:
                program.kill()
                program.wait()
        wine.reg_add("csmt", "REG_DWORD", 0, key=DIRECT3D_KEY)


def end_paced(wine, kind, proc, host_hwnd, killed):
    """Ends a paced run as a user would and returns its exit code: the full
    screen by pointer moves, the preview by closing the window it draws in."""
    if kind == "preview":
        code, out = wine.wintool("children", host_hwnd)
        child = next((f["hwnd"] for f in harness.parse_lines(out) if f.get("class") == harness.SAVER_CLASS), None)
        if child is None:
            raise soak.LongRunError("no preview window inside the host")
        watch = wine.watch_exit(child)
        wine.wintool("post", host_hwnd, str(harness.WM_CLOSE), "0", "0")
        try:
            return harness.exit_code(proc, END_SECONDS, watch, killed)
        except subprocess.TimeoutExpired:
            raise soak.LongRunError(f"the preview did not end within {END_SECONDS} s of its host's closing")
    _, out = wine.wintool("wait", "--class", harness.SAVER_CLASS, "--timeout", "10000")
    hwnd = harness.parse_fields(out).get("hwnd")
    if hwnd is None:
        raise soak.LongRunError("no saver window to end")
    return harness.end_saver_by_input(wine, hwnd, proc, wine.watch_exit(hwnd), killed=killed)


def paced_failures(paced, limits):
    return [f"the paced {kind} ran at {run['fps']:.1f} frames per second, above {limits[kind]:g}"
            for (kind, csmt), run in paced.items()
            if not csmt and run["fps"] is not None and run["fps"] > limits[kind]] + \
        [f"the {kind} showed no frame rate" for (kind, csmt), run in paced.items() if run["fps"] is None] + \
        [f"the paced {kind} ({'with' if csmt else 'without'} csmt) ended with exit code {run['code']}"
         for (kind, csmt), run in paced.items() if run["code"] != 0]


def print_paced(paced, seconds, on_battery):
    print()
    print(f"The real saver, paced, {'on battery' if on_battery else 'on mains'}, over {seconds:g} s "
          f"or more (until {COUNTS_MEASURED} counts of Wine's +fps trace) after its first frames were counted "
          f"(frames per second from that trace; CPU of the whole process in % of one core):")
    print()
    print("| run | Wine's csmt | frames per second | CPU, % of one core |")
    print("|---|---|---|---|")
    for (kind, csmt), run in paced.items():
        size = "800 x 600" if kind == "full screen" else "%d x %d" % PREVIEW_SIZE
        print(f"| {kind} {size} | {'on' if csmt else 'off'} | {number(run['fps'], '{:.1f}')} | "
              f"{run['cpu']:.0f} |")
    for (kind, csmt), run in paced.items():
        if run["killed"]:
            code, name = run["killed"][0]
            then = "Wine's server killed its slow teardown" if name == "SIGKILL" else \
                f"its teardown in Wine's and Mesa's own code ended by {name}"
            print(f"\nThe paced {kind} with csmt on ended with exit code {code}, then {then}.")


def flagsim_us(command):
    out = subprocess.run(command, capture_output=True, text=True, timeout=600).stdout
    # "N frames, mean frame X us"
    for word, following in zip(out.split(), out.split()[1:]):
        if word == "frame":
            try:
                return float(following)
            except ValueError:
                pass
    return None


def number(value, form="{:.0f}"):
    return "not seen" if value is None else form.format(value)


def end_text(run):
    if not run["ended"]:
        return f"not ended by {run['moves']} pointer moves"
    return (f"{number(run['window_ms'])} / {number(run['process_ms'])} (exit code {run['code']}, "
            f"{run['moves']} pointer moves)")


def run_failures(runs):
    """A saver run fails the bench when pointer moves did not end it, or it
    ended with a code other than 0: its times would measure a fault."""
    failures = []
    for name, run in runs:
        if not run["ended"]:
            failures.append(f"{name}: {run['moves']} pointer moves did not end the saver")
        elif run["code"] != 0:
            failures.append(f"{name}: exit code {run['code']}")
    return failures


def print_table(options, load_before, ours, layers, minimal, desktop, bare, native, under_wine):
    fps_ours, fps_layers, fps_min = (float(f["fps"]) for f in (ours, layers, minimal))
    print(f"load average before: {' '.join(f'{v:.2f}' for v in load_before)}; "
          f"after: {' '.join(f'{v:.2f}' for v in os.getloadavg())}; {options.seconds:g} s per frame run")
    print()
    print("| figure | the saver | minimal program, same layers | minimal program, clear + present | saver / same layers |")
    print("|---|---|---|---|---|")
    print(f"| frames per second, 800 x 600 full screen, three texts | {fps_ours:.1f} | {fps_layers:.1f} | "
          f"{fps_min:.1f} | {fps_layers / fps_ours:.2f} x the time per frame |")
    print(f"| process start to first Present (ms); the saver and the same-layers program make and release "
          f"a loading device first | {ours.get('first_present_ms', '?')} | {layers.get('first_present_ms', '?')} | "
          f"{minimal.get('first_present_ms', '?')} | |")
    print(f"| real saver \"/s\": start to first picture on the screen (s) | {desktop['shown']:.1f} | | | |")
    print(f"| real saver: last input (the pointer move that ended it) to window gone / to process gone (ms) | "
          f"{end_text(desktop)} | | | |")
    print(f"| one simulation frame (us): native Release / flagsim.exe under Wine | "
          f"{number(native, '{:.1f}') if options.native_flagsim else 'not built'} / "
          f"{number(under_wine, '{:.1f}')} | | | |")
    figures = desktop["figures"]
    print(f"| real saver peak working set (procstat) / VmHWM | {soak.format_mb(figures.get('peak_working_set'))}"
          f" / {soak.format_mb(figures.get('vm_hwm'))} | | | |")
    print()
    print(f"On the bare Xvfb, with Wine's windows managed and no window manager to answer: last input to "
          f"window gone / to process gone (ms): {end_text(bare)}.")


def print_profile(profile, text):
    print()
    print("Time per frame of the saver's frame, by step (frame_bench --profile, mean us):")
    print()
    print("| step | us |")
    print("|---|---|")
    for line in text.splitlines():
        f = harness.parse_fields(line)
        if "section" in f:
            print(f"| {f['section']} | {f['us']} |")
    print(f"| (whole frame, profiled run: {profile['fps']} fps) | {1e6 / float(profile['fps']):.0f} |")


def paced_limits(options):
    return BATTERY_PACED_LIMITS if options.on_battery else PACED_LIMITS


def paced_only(options):
    """The paced runs alone, without csmt, as the tests run Direct3D."""
    if not os.path.exists(harness.SCR):
        raise soak.LongRunError(f"{harness.SCR} is missing: build the Windows program first")
    wine = harness.Wine(prefix=os.environ["WINEPREFIX"])
    harness.start_desktop(wine)
    harness.use_flag_folder(wine)
    print(f"load average before: {' '.join(f'{v:.2f}' for v in os.getloadavg())}")
    paced_seconds = max(5.0, options.seconds)
    paced = {(kind, False): paced_run(wine, kind, False, seconds=paced_seconds)
             for kind in ("full screen", "preview")}
    print_paced(paced, paced_seconds, options.on_battery)
    print(f"load average after: {' '.join(f'{v:.2f}' for v in os.getloadavg())}")
    failures = paced_failures(paced, paced_limits(options))
    print()
    print("BENCH " + ("PASSED: the paced runs within their rates" if not failures
                      else "FAILED: " + "; ".join(failures)))
    return 0 if not failures else 1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--seconds", type=float, default=15.0)
    parser.add_argument("--native-flagsim", default=None)
    parser.add_argument("--paced-only", action="store_true")
    parser.add_argument("--on-battery", action="store_true")
    options = parser.parse_args()
    if options.paced_only:
        return paced_only(options)
    for program in (harness.SCR, FRAME_BENCH, MINIMAL, FLAGSIM_EXE):
        if not os.path.exists(program):
            raise soak.LongRunError(f"{program} is missing: build the Windows program first")
    wine = harness.Wine(prefix=os.environ["WINEPREFIX"])
    harness.start_desktop(wine)
    harness.use_flag_folder(wine)
    load_before = os.getloadavg()
    seconds = options.seconds

    ours, _ = frame_figures(wine, FRAME_BENCH, "--directory", harness.windows_path(harness.FLAG_ROOT), seconds=seconds)
    layers, _ = frame_figures(wine, MINIMAL, "--layers", "--loading-device", seconds=seconds)
    minimal, _ = frame_figures(wine, MINIMAL, seconds=seconds)
    profile, profile_text = frame_figures(wine, FRAME_BENCH, "--profile", seconds=seconds)
    desktop = saver_run(wine, managed=False, span=min(5.0, seconds))
    bare = saver_run(wine, managed=True, span=0.0)
    frames = str(max(1000, int(seconds * 1000)))
    native = flagsim_us([options.native_flagsim, "--frames", frames, "--dt", "0.0166667", "--benchmark"]) \
        if options.native_flagsim else None
    under_wine = flagsim_us([os.environ["WINE"], FLAGSIM_EXE, "--frames", frames, "--dt", "0.0166667",
                             "--benchmark"])
    # The prefix runs Direct3D without its command thread, as the tests do;
    # once with it, for comparison, except in the short form that the test
    # command runs, which checks the verdicts and not the figures. Its 1 s
    # still covers two counts of Wine's trace, all the pace check reads.
    paced = {(kind, csmt): paced_run(wine, kind, csmt, seconds=seconds)
             for csmt in ((False, True) if seconds >= 5 else (False,)) for kind in ("full screen", "preview")}
    print_table(options, load_before, ours, layers, minimal, desktop, bare, native, under_wine)
    print_profile(profile, profile_text)
    print_paced(paced, seconds, options.on_battery)
    failures = run_failures((("windows unmanaged", desktop), ("windows managed", bare))) + \
        paced_failures(paced, paced_limits(options))
    print()
    print("BENCH " + ("PASSED: both saver runs ended by pointer moves with exit code 0, the paced runs "
                      "within their rates and ended by input with exit code 0" if not failures
                      else "FAILED: " + "; ".join(failures)))
    return 0 if not failures else 1


if __name__ == "__main__":
    sys.exit(soak.run_main(os.path.basename(__file__), main))
