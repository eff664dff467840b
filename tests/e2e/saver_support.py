"""Helpers of the saver's end-to-end tests: a copy of the program with test
DLLs beside it, its window, posted input, screenshots and their colours."""
import os
import shutil
import subprocess
import time

from PIL import Image, ImageChops

import harness

SAVER_CLASS = "Brevanto Flags Screensaver"
DESKTOP_KEY = r"HKCU\Control Panel\Desktop"
TEST_DLLS = os.path.join(harness.BUILD, "test-dlls")
PASSWORD_CPL = os.path.join(TEST_DLLS, "password", "PASSWORD.CPL")
MPR_RECORDING = os.path.join(TEST_DLLS, "mpr-recording", "MPR.DLL")
MPR_WITHOUT = os.path.join(TEST_DLLS, "mpr-without", "MPR.DLL")
# A d3d8.dll whose device cannot be made in any mode; Wine loads it from
# beside the program only with the override "d3d8=n".
D3D8_WITHOUT_DEVICE = os.path.join(TEST_DLLS, "d3d8-without-device", "d3d8.dll")

WM_CLOSE = 0x10
WM_SETREDRAW = 0x0B
WM_COMMAND = 0x111
WM_KEYDOWN = 0x100
WM_SYSKEYDOWN = 0x104
WM_SYSCOMMAND = 0x112
WM_MOUSEMOVE = 0x200
WM_LBUTTONDOWN = 0x201
WM_LBUTTONUP = 0x202
WM_RBUTTONDOWN = 0x204
WM_RBUTTONUP = 0x205
WM_MBUTTONDOWN = 0x207
WM_MOUSEWHEEL = 0x20A
WM_ACTIVATEAPP = 0x1C
WM_POWERBROADCAST = 0x218
PBT_APMSUSPEND = 4
IDOK = 1
WS_MAXIMIZE = 0x01000000
ALT_CONTEXT = 1 << 29  # lParam bit of a key pressed with Alt


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def mouse_lparam(x, y):
    return str((y << 16) | x)


def install_program(wine, *dlls):
    """A folder with a copy of the program and the given DLLs beside it."""
    folder = os.path.join(wine.tmp, "program")
    os.makedirs(folder, exist_ok=True)
    shutil.copy(harness.SCR, folder)
    for dll in dlls:
        shutil.copy(dll, folder)
    return folder, os.path.join(folder, os.path.basename(harness.SCR))


def use_flag_folder(wine):
    """The saver finds "IMAGE" through "[Directory]", which an installer writes."""
    wine.reg_add("[Directory]", "REG_SZ", windows_path(harness.SOURCE))


def wait_window(test, wine, title=SAVER_CLASS, class_name=SAVER_CLASS, timeout_ms=30000):
    code, out = wine.wintool("wait", "--class", class_name, "--title", title, "--timeout", str(timeout_ms),
                             timeout=timeout_ms / 1000 + 30)
    test.assertEqual(code, 0, f"no window of class {class_name!r} titled {title!r}")
    return harness.parse_fields(out)


def window_line(wine, hwnd):
    code, out = wine.wintool("list")
    for fields in harness.parse_lines(out):
        if fields.get("hwnd") == str(hwnd):
            return fields
    return None


def post(test, wine, hwnd, message, wparam=0, lparam=0, must_arrive=True):
    """Posts to the saver; with must_arrive=False the window may already be gone."""
    code, _ = wine.wintool("post", str(hwnd), str(message), str(wparam), str(lparam))
    if must_arrive:
        test.assertEqual(code, 0, f"posting {message:#x} to {hwnd} failed")


def drain_queue(test, wine, hwnd):
    """Returns once the saver has handled everything posted to it before.

    Posted messages are handled in order, and WM_SETREDRAW visibly clears
    the window's WS_VISIBLE bit, so once the bit is seen clear, all earlier
    posts are done. The bit is set again afterwards."""
    post(test, wine, hwnd, WM_SETREDRAW, 0)
    hidden = harness.wait_for(lambda: (window_line(wine, hwnd) or {}).get("visible") == "0", timeout=30)
    test.assertTrue(hidden, "the saver did not handle its queue")
    post(test, wine, hwnd, WM_SETREDRAW, 1)
    harness.wait_for(lambda: (window_line(wine, hwnd) or {}).get("visible") == "1", timeout=30)


def end_requested(wine, hwnd):
    """True once an end request ran: it maximises the window, or closed it."""
    fields = window_line(wine, hwnd)
    return fields is None or int(fields["style"], 16) & WS_MAXIMIZE != 0


def watch_exit(test, wine, hwnd):
    watch = wine.watch_exit(hwnd)
    test.assertIsNotNone(watch, "the window's process could not be held")
    return watch


def wait_exit(test, proc, timeout=60, watch=None):
    try:
        return harness.exit_code(proc, timeout, watch)
    except subprocess.TimeoutExpired:
        test.fail(f"the program did not end within {timeout} s")


# ---- pictures --------------------------------------------------------------

def load(path):
    return Image.open(path).convert("RGB")


def colour_count(image):
    return len(image.getcolors(maxcolors=1 << 20) or [])


def is_uniform(image):
    return colour_count(image) <= 1


def changed_fraction(a, b, threshold=24):
    """Share of pixels whose largest channel difference exceeds threshold."""
    diff = ImageChops.difference(a, b).convert("L").point(lambda v: 255 if v > threshold else 0)
    histogram = diff.histogram()
    return histogram[255] / float(a.width * a.height)


def near_colour_count(image, colour, tolerance=12):
    r0, g0, b0 = colour
    return sum(1 for (r, g, b) in image.getdata()
               if abs(r - r0) <= tolerance and abs(g - g0) <= tolerance and abs(b - b0) <= tolerance)


def screenshot_when(test, wine, name, predicate, window="root", tries=60):
    """Screenshots until one satisfies predicate; returns (path, image)."""
    path, image = None, None
    for i in range(tries):
        path = wine.screenshot(name, window=window)
        image = load(path)
        if predicate(image):
            return path, image
        time.sleep(0.5)
    test.fail(f"no screenshot {name} as expected (last: {path})")


def offscreen_window(wine, width, height):
    """X id of the nameless window of that size in which Wine renders a child window."""
    out = subprocess.run(["xwininfo", "-root", "-tree"], env=wine.env, capture_output=True, text=True,
                         timeout=30).stdout
    for line in out.splitlines():
        parts = line.split()
        if len(parts) >= 5 and "(has no name):" in line and f"{width}x{height}+" in line:
            return parts[0]
    return None
