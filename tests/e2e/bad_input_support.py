"""Shared by the bad-input tests: bad pictures made with Pillow, and one run of
the real program driven to its end whatever it shows on the way.

A run watches the program until one of these happens:
  - the saver window shows a picture that is not black: it is then ended by
    pointer moves, as a user would;
  - the settings dialog opens: it is closed with WM_CLOSE;
  - the program ends by itself.
Every "Error" message box met on the way is recorded with its text and
dismissed. The run then requires exit code 0 and no window of the program
left behind.
"""
import io
import os
import re
import subprocess
import time

from PIL import Image

import harness

BACKGROUND_FAILED = "Background loading FAILED"
DEVICE_FAILED = "CreateDevice FAILED"

# Outcomes of a run.
FLAG = "flag"        # the saver showed a picture and ended on pointer moves
DIALOG = "dialog"    # the settings dialog opened and closed
ENDED = "ended"      # the program ended by itself

# A screenshot with this many colours or more is a rendered scene.
SCENE_COLOURS = 200
# The flag hangs in the middle of the 800 x 600 screen, clear of the texts
# (flag name top left, frame rate and clock along the bottom): only the
# cloth changes there from frame to frame.
FLAG_BOX = (250, 200, 550, 400)
BAND_RED = (220, 20, 30)
BAND_WHITE = (250, 250, 250)


# ---- pictures -----------------------------------------------------------------

def solid(size, colour=(30, 120, 200)):
    return Image.new("RGB", size, colour)


def band_flag(size=(256, 192)):
    """Vertical bands red, white, red, white: easy to find on the screen."""
    image = Image.new("RGB", size, BAND_WHITE)
    quarter = size[0] // 4
    for k in (0, 2):
        image.paste(BAND_RED, (k * quarter, 0, (k + 1) * quarter, size[1]))
    return image


def encoded(image, kind, **options):
    data = io.BytesIO()
    image.save(data, kind, **options)
    return data.getvalue()


def animated_gif(frames=6, size=(64, 48)):
    images = [solid(size, (40 * k % 256, 200 - 30 * k, 90)) for k in range(frames)]
    data = io.BytesIO()
    images[0].save(data, "GIF", save_all=True, append_images=images[1:], duration=80, loop=0)
    return data.getvalue()


def huge_jpeg(size=(8000, 6000)):
    # One flat colour: the file stays small, the decoded picture does not.
    return encoded(solid(size, (200, 40, 40)), "JPEG", quality=50)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    return path


def band_flag_share(image):
    """Share of the middle of the screen that shows the band flag's red."""
    middle = harness.pixels(image, FLAG_BOX, step=3)
    return sum(1 for p in middle if harness.is_reddish(p)) / float(len(middle))


# ---- one run of the program -------------------------------------------------------

class Run:
    def __init__(self):
        self.outcome = None
        self.code = None
        self.errors = []       # texts of the "Error" boxes, in order
        self.screenshot = None  # path of the scene's screenshot
        self.image = None


def _windows(wine):
    code, out = wine.wintool("list")
    return harness.parse_lines(out) if code == 0 else []


def _is_own(window):
    return window.get("class") == harness.SAVER_CLASS or \
        window.get("title") in (harness.DIALOG_TITLE, harness.ERROR_TITLE)


def _is_error_box(window):
    return window.get("class") == harness.BOX_CLASS and window.get("title") == harness.ERROR_TITLE


def run_program(test, wine, args=("/s",), name="run", timeout=120, settle=20.0, inspect=None):
    """Runs the program with args until its end; returns a Run.

    `inspect(run)` is called with the scene's screenshot in place, before the
    saver is ended (for checks that need the picture). The screenshot is one
    taken after the first scene changed, which must happen within `settle` s."""
    run = Run()
    # Labels carry switches and odd characters; file names must not.
    name = re.sub(r"[^A-Za-z0-9._-]", "_", name)
    # No start_desktop: nothing reads the program's own pipes, which Wine's
    # desktop process may inherit from it, and every wintool run writes to files.
    wine.xdotool("mousemove", "0", "0")
    proc = wine.start(harness.SCR, *args)
    test.addCleanup(lambda: proc.poll() is None and (proc.kill(), proc.wait()))
    if args == ("/s",):
        # The saver makes its window before anything else can go wrong, so one
        # waiting wintool run stands for the first looks at the window list
        # (each look starts a Wine program while the saver starts up).
        wine.wintool("wait", "--class", harness.SAVER_CLASS, "--timeout", "15000")
    handled = set()
    watch = None
    deadline = time.time() + timeout
    saver_hwnd = None
    while time.time() < deadline and proc.poll() is None:
        windows = _windows(wine)
        if watch is None:
            own = [w for w in windows if _is_own(w)]
            if own:
                watch = wine.watch_exit(own[0]["hwnd"])
                if watch is None:
                    watch = False  # already gone: the Unix status is all there is
        for w in windows:
            if _is_error_box(w) and w["hwnd"] not in handled:
                handled.add(w["hwnd"])
                run.errors.append(harness.box_text(wine, w["hwnd"]))
                wine.wintool("post", w["hwnd"], str(harness.WM_COMMAND), str(harness.IDOK), "0")
        if any(w["hwnd"] not in handled and _is_error_box(w) for w in windows):
            continue
        dialog = [w for w in windows if w.get("title") == harness.DIALOG_TITLE]
        if dialog:
            run.outcome = DIALOG
            wine.wintool("post", dialog[0]["hwnd"], str(harness.WM_CLOSE), "0", "0")
            break
        saver = [w for w in windows if w.get("class") == harness.SAVER_CLASS and w.get("visible") == "1"]
        if saver:
            path, image = wine.shot(f"{name}.png", save=False)
            if harness.colour_count(image) >= SCENE_COLOURS:
                # A later frame in which the cloth has moved under its wind;
                # a saver that drew one frame and froze shows no flag waving
                # (a clock that goes on counting is no motion of the flag).
                first = image.crop(FLAG_BOX)
                later = {}

                def cloth_moved():
                    later["path"], later["image"] = wine.shot(f"{name}-later.png", save=False)
                    return harness.changed_fraction(first, later["image"].crop(FLAG_BOX)) > 0.002
                moved = harness.wait_for(cloth_moved, timeout=settle, interval=0.1)
                wine.keep_shot(path, image)
                wine.keep_shot(later["path"], later["image"])
                test.assertTrue(moved, f"{name}: the flag did not move within {settle} s: {path}")
                run.image = later["image"]
                run.screenshot = later["path"]
                run.outcome = FLAG
                if inspect:
                    inspect(run)
                saver_hwnd = saver[0]["hwnd"]
                break
        time.sleep(0.1)  # the next look at the windows; each look starts a program
    if run.outcome is None and proc.poll() is not None:
        run.outcome = ENDED
    try:
        if saver_hwnd is not None:
            run.code = harness.end_saver_by_input(wine, saver_hwnd, proc, watch or None)
        else:
            run.code = harness.exit_code(proc, max(10, deadline - time.time()), watch or None)
    except (subprocess.TimeoutExpired, AssertionError) as failure:
        proc.kill()
        proc.wait()
        test.fail(f"{name}: {args[:3]} did not end (outcome so far: {run.outcome}, errors {run.errors}): {failure}")
    left = [w for w in _windows(wine) if _is_own(w)]
    test.assertEqual(left, [], f"{name}: windows left behind")
    said = ""
    if run.code != 0 and proc.stderr:
        # Without waiting: a program the saver started may hold the pipe open.
        os.set_blocking(proc.stderr.fileno(), False)
        said = (proc.stderr.read() or "")[-400:]
    test.assertEqual(run.code, 0, f"{name}: exit code (outcome {run.outcome}; Wine said {said!r})")
    return run


def set_values(wine, values):
    """Writes {name: (type, data)} into the settings key, which starts empty;
    `bytes` data are stored exactly (see Wine.reg_add)."""
    wine.reg_delete_key()
    wine.reg_add_all(values)
