"""Performance figures side by side, printed as a Markdown table. Run through
tools/bench.sh (private Xvfb 800 x 600 x 16, 64-bit build under wine64).

    bench_saver.py [--seconds 15] [--native-flagsim PATH]
"""
import argparse
import os
import subprocess
import sys
import time

from PIL import Image

import harness
import soak_support as soak

FRAME_BENCH = os.path.join(harness.BUILD, "frame_bench.exe")
MINIMAL = os.path.join(harness.BUILD, "minimal_d3d8.exe")
FLAGSIM_EXE = os.path.join(harness.BUILD, "tools", "flagsim", "flagsim.exe")


def fields_of(text):
    found = {}
    for line in text.replace("\r", "").splitlines():
        found.update(harness.parse_fields(line))
    return found


def run_program(wine, exe, *args, timeout=300):
    code, out, _ = wine.run(exe, *args, timeout=timeout)
    return code, out.replace("\r", "")


def saver_timings(wine):
    """Start to first non-black frame, peak memory, sixth pointer move to end."""
    wine.reg_add("[Directory]", "REG_SZ", "Z:" + os.path.abspath(harness.SOURCE).replace("/", "\\"))
    wine.xdotool("mousemove", "0", "0")
    started = time.time()
    proc = wine.start(harness.SCR, "/s")
    first_frame = None
    while time.time() - started < 120 and proc.poll() is None:
        image = Image.open(wine.screenshot("bench-start.png")).convert("RGB")
        if len(image.getcolors(maxcolors=1 << 20) or []) >= 200:
            first_frame = time.time() - started
            break
    windows_pid, _ = soak.saver_windows_pid(wine)
    time.sleep(5)
    figures = soak.sample(wine, windows_pid, proc.pid)
    # From (0, 0), moves along x only: each changes one coordinate, the sixth ends it.
    for x in range(1, 6):
        wine.xdotool("mousemove", str(x * 10), "0")
        time.sleep(0.2)
    wine.xdotool("mousemove", "60", "0")
    sixth = time.time()
    code = proc.wait(timeout=120)
    return first_frame, figures, time.time() - sixth, code


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


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--seconds", type=float, default=15.0)
    parser.add_argument("--native-flagsim", default=None)
    options = parser.parse_args()
    wine = harness.Wine(prefix=os.environ["WINEPREFIX"])
    soak.start_desktop(wine)
    load_before = os.getloadavg()
    seconds = str(options.seconds)

    _, ours = run_program(wine, FRAME_BENCH, "--seconds", seconds, "--directory",
                          "Z:" + os.path.abspath(harness.SOURCE).replace("/", "\\"))
    _, minimal = run_program(wine, MINIMAL, "--seconds", seconds)
    _, profile = run_program(wine, FRAME_BENCH, "--seconds", seconds, "--profile")
    first_frame, figures, end_time, code = saver_timings(wine)
    native = flagsim_us([options.native_flagsim, "--frames", "20000", "--dt", "0.0166667", "--benchmark"]) \
        if options.native_flagsim else None
    under_wine = flagsim_us([os.environ["WINE"], FLAGSIM_EXE, "--frames", "20000", "--dt", "0.0166667",
                             "--benchmark"])

    o, m = fields_of(ours), fields_of(minimal)
    fps_ours, fps_min = float(o.get("fps", "nan")), float(m.get("fps", "nan"))
    print(f"load average before: {load_before[0]:.2f} {load_before[1]:.2f} {load_before[2]:.2f}; "
          f"after: {' '.join(f'{v:.2f}' for v in os.getloadavg())}")
    print()
    print("| figure | saver's scene and frame | minimal Direct3D 8 (clear + present) | ratio |")
    print("|---|---|---|---|")
    print(f"| frames per second, 800 x 600 full screen, clock and flag name shown | {fps_ours:.1f} | "
          f"{fps_min:.1f} | {fps_min / fps_ours:.2f} x the time per frame |")
    print(f"| process start to first Present (ms) | {o.get('first_present_ms', '?')} | "
          f"{m.get('first_present_ms', '?')} | |")
    ff = f"{first_frame:.1f}" if first_frame is not None else "not seen"
    print(f"| real saver \"/s\": start to first non-black screenshot (s) | {ff} | | |")
    print(f"| real saver: sixth pointer move to process end (s) | {end_time:.2f} (exit code {code}) | | |")
    nat = f"{native:.1f}" if native is not None else "not run"
    wn = f"{under_wine:.1f}" if under_wine is not None else "?"
    print(f"| one simulation frame (us): native Release / flagsim.exe under wine64 | {nat} / {wn} | | |")
    print(f"| real saver peak working set (procstat) / VmHWM | {soak.format_mb(figures.get('peak_working_set'))}"
          f" / {soak.format_mb(figures.get('vm_hwm'))} | | |")
    print()
    print("Time per frame of the saver's frame, by step (frame_bench --profile, mean us):")
    print()
    print("| step | us |")
    print("|---|---|")
    for line in profile.splitlines():
        f = harness.parse_fields(line)
        if "section" in f:
            print(f"| {f['section']} | {f['us']} |")
    pf = fields_of(profile)
    print(f"| (whole frame, profiled run: {pf.get('fps', '?')} fps) | "
          f"{1e6 / float(pf['fps']):.0f} |" if "fps" in pf else "")
    return 0


if __name__ == "__main__":
    sys.exit(main())
