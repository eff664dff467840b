"""Shared helpers of the end-to-end tests.

The tests run inside tools/test.sh, which exports DISPLAY (a private Xvfb at
800x600x16), WINEPREFIX (a private prefix in the build tree) and
WINE_ENV_TEMPLATE (the prepared prefix). `Wine()` copies the template into a
prefix of the test's own with its own wineserver, on an Xvfb of the test
file's own like the run's (800x600x16): test files share neither screen,
pointer nor registry, so ctest may run them side by side. Everything a test
starts is stopped by PID.
"""
import atexit
import collections
import ctypes
import ctypes.util
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

# The build under test, from tools/test.sh or ctest; never a folder inside
# the sources, which a test run must leave as it found them.
BUILD = os.environ.get("FLAGS_BUILD", "")
SOURCE = os.environ.get("FLAGS_SOURCE", os.path.join(os.path.dirname(__file__), "..", ".."))
SCR = os.path.join(BUILD, "BrevantoFlags.scr")
# The folder that holds the build's "IMAGE", the flags that ship (rendered by the build).
FLAG_ROOT = os.path.join(BUILD, "shipped")
WINTOOL = os.path.join(BUILD, "wintool.exe")
SETTINGS_KEY = r"HKCU\Control Panel\Desktop\Brevanto Flags"
OUTPUT = os.path.join(BUILD, "test-output")
DESKTOP_KEY = r"HKCU\Control Panel\Desktop"
TEST_DLLS = os.path.join(BUILD, "test-dlls")
PASSWORD_CPL = os.path.join(TEST_DLLS, "password", "PASSWORD.CPL")
MPR_RECORDING = os.path.join(TEST_DLLS, "mpr-recording", "MPR.DLL")
MPR_WITHOUT = os.path.join(TEST_DLLS, "mpr-without", "MPR.DLL")
# A d3d8.dll whose device cannot be made in any mode; Wine loads it from
# beside the program only with the override "d3d8=n".
D3D8_WITHOUT_DEVICE = os.path.join(TEST_DLLS, "d3d8-without-device", "d3d8.dll")
# Wine's d3d8 with a record of every device, swap chain, texture and Reset
# made, and knobs read from files beside it (tests/tools/dll/d3d8_lost_device.cpp).
D3D8_RECORDING = os.path.join(TEST_DLLS, "d3d8-lost-device", "d3d8.dll")

# ---- the program's windows -------------------------------------------------------

SAVER_CLASS = "Brevanto Flags Screensaver"  # also the saver window's title and a notice's
DIALOG_TITLE = "Brevanto Flags Screensaver Settings"
ERROR_TITLE = "Error"
BOX_CLASS = "#32770"  # message boxes and the open-file dialog

# Window messages and their arguments.
WM_SETREDRAW = 0x0B
WM_SETTEXT = 0x0C
WM_GETTEXTLENGTH = 0x0E
WM_CLOSE = 0x10
WM_ACTIVATEAPP = 0x1C
WM_KEYDOWN = 0x100
WM_SYSKEYDOWN = 0x104
WM_COMMAND = 0x111
WM_SYSCOMMAND = 0x112
CB_SETCURSEL = 0x14E
WM_MOUSEMOVE = 0x200
WM_LBUTTONDOWN = 0x201
WM_LBUTTONUP = 0x202
WM_RBUTTONDOWN = 0x204
WM_RBUTTONUP = 0x205
WM_MBUTTONDOWN = 0x207
WM_MOUSEWHEEL = 0x20A
WM_POWERBROADCAST = 0x218
TBM_SETPOS = 0x405
PBT_APMSUSPEND = 4
PBT_APMPOWERSTATUSCHANGE = 0xA
WS_MAXIMIZE = 0x01000000
ALT_CONTEXT = 1 << 29  # lParam bit of a key pressed with Alt
IDOK, IDCANCEL, IDYES = 1, 2, 6

# The settings dialog's controls (src/resources/resource.h).
IDC_STATIC_LABEL = 99
IDC_DEFAULTS, IDC_RESOLUTION, IDC_USE_TNL = 101, 102, 103
IDC_SHOW_TIME, IDC_SHOW_FPS, IDC_FLAG_LIST, IDC_SHOW_COMMAND = 104, 105, 106, 107
IDC_WIND_POWER, IDC_LINK_PICTURE, IDC_RANDOM_LOGO, IDC_LINK_BUTTON = 108, 109, 110, 111
IDC_USE_LOGO, IDC_USE_PICTURE, IDC_PICTURE_TITLE = 114, 115, 116
IDC_CHANGE_PICTURE, IDC_PICTURE_DEFAULT = 117, 118
IDC_BACKGROUND_TITLE, IDC_CHANGE_BACKGROUND, IDC_BACKGROUND_DEFAULT = 119, 120, 121
IDC_CHANGE_MINUTES, IDC_FLAG_REGION, IDC_SAME_FLAG = 123, 125, 126
FILE_NAME_BOX = 1148  # the open-file dialog's file name


def windows_path(path):
    """The Windows path of a Unix path, as Wine's drive Z: shows it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def mouse_lparam(x, y):
    return str((y << 16) | x)


class CannotRun(Exception):
    """What a test needs and this run lacks (a display, a prefix, a built
    program): the test neither passes nor skips, see main()."""


def require_program(path):
    if not BUILD:
        raise CannotRun("no build named (FLAGS_BUILD not set)")
    if not os.path.exists(path):
        raise CannotRun(f"{path} is not built")


def require_display():
    """The private X display and Wine prefix that tools/test.sh and
    tools/ctest.sh provide, and the program and wintool built."""
    missing = [name for name in ("DISPLAY", "WINEPREFIX") if not os.environ.get(name)]
    if missing:
        raise CannotRun(f"no private display and Wine prefix ({' and '.join(missing)} not set)")
    require_program(SCR)
    require_program(WINTOOL)


class _Result(unittest.TextTestResult):
    """Tests that cannot run are kept apart from failures, and never count as passed."""

    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.cannot_run = []

    def _lacking(self, err):
        if err is None or not issubclass(err[0], CannotRun):
            return False
        if str(err[1]) not in self.cannot_run:
            self.cannot_run.append(str(err[1]))
        return True

    def addError(self, test, err):
        if not self._lacking(err):
            super().addError(test, err)

    def addSubTest(self, test, subtest, err):
        if not self._lacking(err):
            super().addSubTest(test, subtest, err)

    def wasSuccessful(self):
        return super().wasSuccessful() and not self.cannot_run


class _Runner(unittest.TextTestRunner):
    resultclass = _Result

    def run(self, test):
        import io
        import sys
        shown = self.stream
        try:
            require_display()
            complete = bool(os.environ.get("WINE_ENV_TEMPLATE"))
        except CannotRun:
            complete = False
        if not complete:
            # Most tests here will say the same thing: one line is enough,
            # after the failures of any tests that could run.
            self.stream = unittest.runner._WritelnDecorator(io.StringIO())
        result = super().run(test)
        failed = result.failures or result.errors or result.unexpectedSuccesses
        if not complete and (failed or not result.cannot_run):
            shown.write(self.stream.getvalue())
        self.stream = shown
        if result.cannot_run:
            name = os.path.splitext(os.path.basename(sys.argv[0]))[0]
            shown.writeln(f"{name}: cannot run here: {'; '.join(result.cannot_run)}. Run it with "
                          f"tools/ctest.sh -R e2e_{name} (every test: tools/test.sh)")
            shown.flush()
            if not failed:
                sys.exit(2)
        return result


def main():
    """unittest.main() for an end-to-end test file. A test that cannot run
    here (CannotRun: no display, prefix or built program) fails the file, with
    one line that says what is missing and how to run it; tests that need
    none of it still run."""
    unittest.main(testRunner=_Runner)


WINE_INF = "/usr/share/wine/wine.inf"


def copy_prefix(template, prefix):
    """A prefix of a test's own, copied from the prepared one.

    Wine's own programs and libraries (drive_c/windows/system32, nearly all
    of the 700 MB) are hard links, which makes a copy take a fraction of a
    second instead of several: Wine writes them only when it updates a prefix
    made by another Wine version, and then each test gets real copies. The
    registry and every other file are copied, so no test changes the template."""
    try:
        with open(os.path.join(template, ".update-timestamp")) as f:
            current = f.read().split()[0] == str(int(os.stat(WINE_INF).st_mtime))
    except (OSError, IndexError):
        current = False
    libraries = os.path.join(template, "drive_c", "windows", "system32") + os.sep

    def link_or_copy(source, target):
        if current and source.startswith(libraries):
            os.link(source, target)
        else:
            shutil.copy2(source, target)

    shutil.copytree(template, prefix, symlinks=True, copy_function=link_or_copy)


class Wine:
    """One Wine prefix with its own wineserver."""

    def __init__(self, prefix=None, display=None, x11_driver=None):
        """prefix: the run's own (the long-run tools), on the run's display;
        else a copy of the template, on `display` or the test file's own
        800x600x16 one (own_display). x11_driver: texts stored under
        HKCU\\Software\\Wine\\X11 Driver of the copy before its first program
        starts (Wine's display driver reads them as each program starts)."""
        require_display()
        if prefix is None and not os.environ.get("WINE_ENV_TEMPLATE"):
            raise CannotRun("no prepared Wine prefix to copy (WINE_ENV_TEMPLATE not set)")
        if prefix is None and display is None:
            display = own_display()
        self.owned = prefix is None
        if prefix is None:
            self.tmp = tempfile.mkdtemp(prefix="flags-prefix-", dir=BUILD)
            prefix = os.path.join(self.tmp, "prefix")
            copy_prefix(os.environ["WINE_ENV_TEMPLATE"], prefix)
            if x11_driver:
                with open(os.path.join(prefix, "user.reg"), "a") as reg:
                    reg.write("\n[Software\\\\Wine\\\\X11 Driver] 0\n" +
                              "".join(f'"{name}"="{text}"\n' for name, text in x11_driver.items()))
        self.prefix = prefix
        self.env = dict(os.environ)
        self.env["WINEPREFIX"] = prefix
        if display:
            self.env["DISPLAY"] = display
        self.env.setdefault("WINEDEBUG", "-all")
        self.env.setdefault("WINEDLLOVERRIDES", "mscoree=;mshtml=;winemenubuilder.exe=d")
        self.procs = []
        self.server = None
        if self.owned:
            # Start the server, and with the first program Wine's services,
            # with no inherited pipes: a service holding a test's pipe would
            # keep communicate() waiting.
            subprocess.run(["wineserver", "-p"], env=self.env, check=True)
            start_desktop(self)

    # processes
    def start(self, exe, *args, env=None, cwd=None, under=()):
        """Starts a Windows program; `under` is a command that starts Wine."""
        e = dict(self.env)
        if env:
            e.update(env)
        proc = subprocess.Popen([*under, os.environ.get("WINE", "wine"), exe, *args], env=e, cwd=cwd,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.procs.append(proc)
        return proc

    def run(self, exe, *args, timeout=60, env=None, cwd=None):
        e = dict(self.env)
        if env:
            e.update(env)
        return run_to_files([os.environ.get("WINE", "wine"), exe, *args], e, cwd, timeout)

    def run_command_line(self, command_line, timeout=120):
        """Runs one exact Windows command line and returns its exit code.

        Wine quotes every argument that holds a blank; NSIS's "/D=" and "_?="
        must come unquoted, so wintool hands the line to CreateProcess as it is."""
        code, out = self.wintool("run", command_line, timeout=timeout)
        fields = parse_fields(out)
        assert code == 0 and "code" in fields, f"could not run {command_line!r}: {out!r}"
        return int(fields["code"])

    # Verbs that only read, or write the same thing again, may safely run twice.
    REPEATABLE_VERBS = {"list", "children", "combo", "trackbar", "cursor", "keystate", "painted",
                        "pid-of", "xwindow",
                        "reg-list", "reg-set", "reg-set-bytes", "reg-delete", "monitors", "resource"}

    # Verbs that end by themselves and leave nothing behind, which one
    # long-running wintool can answer one after another.
    SERVED_VERBS = REPEATABLE_VERBS | {"wait", "wait-gone", "text", "settext", "send", "post",
                                       "click", "move", "hold", "held-code"}

    def wintool(self, *args, timeout=30):
        """Runs one verb of wintool; (exit code, output).

        Served verbs go to one wintool kept running for this prefix, as a new
        Wine program takes longer to start than most verbs to run. Each verb
        says what went wrong when it fails; a failure without a word is a run
        that did not get to finish (on a busy machine Wine's server kills a
        program whose teardown is slow), so a repeatable verb runs again."""
        if args and args[0] in self.SERVED_VERBS:
            if self.server is None or not self.server.alive():
                self.server = WintoolServer(self.env)
            answer = self.server.call(args, timeout)
            if answer is not None:
                return answer
            self.server = None
            if args[0] not in self.REPEATABLE_VERBS:
                raise AssertionError(f"wintool {args[0]}: no answer (the serving wintool ended, "
                                     f"or took over {timeout} s)")
        attempts = 5 if args and args[0] in self.REPEATABLE_VERBS else 1
        for _ in range(attempts):
            code, out, err = self.run(WINTOOL, *args, timeout=timeout)
            out = out.replace("\r", "")
            if code == 0 or out.strip():
                break
        return code, out

    def watch_exit(self, hwnd):
        """Holds the process of a window so that exit_code can read the code
        Windows records for it; None when the process has already gone. The
        serving wintool holds it: no Wine program starts for this."""
        code, out = self.wintool("hold", str(hwnd))
        pid = parse_fields(out).get("watching")
        return HeldProcess(self, pid) if code == 0 and pid else None

    # registry, through wintool: Wine's own registry command behaves differently in
    # its 32- and 64-bit builds (the 32-bit one crashes on an empty REG_SZ).
    def reg_values(self, key=SETTINGS_KEY):
        """{name: RegValue} with every value's exact bytes, or None when the key is absent."""
        code, out = self.wintool("reg-list", key)
        lines = parse_lines(out)
        # 1018: the key was deleted while it was listed (an uninstaller at work).
        if (code == 1 and lines == [{"absent": "1"}]) or lines[-1:] == [{"error": "1018"}]:
            return None
        assert code == 0 and lines and "values" in lines[-1], f"reg-list {key}: {out!r}"
        return {f["name"]: RegValue(f["kind"] or int(f["type"]), bytes.fromhex(f["data"])) for f in lines[:-1]}

    def reg_query(self, key=SETTINGS_KEY, value=None):
        """{name: (kind, data)} of a key, or one value's (kind, data), or None
        when absent. Data decoded: texts as RegValue.text, a 4-byte REG_DWORD
        as a number, anything else as its bytes."""
        values = self.reg_values(key)
        if values is None:
            return None
        decoded = {name: (v.kind, v.decoded()) for name, v in values.items()}
        return decoded.get(value) if value is not None else decoded

    def reg_add(self, value, kind, data, key=SETTINGS_KEY):
        """Writes one value: a text with its terminator, a number for
        REG_DWORD, hex for REG_BINARY; `bytes` data are stored exactly as given
        under any kind (texts: UTF-16, no terminator added), for values that
        no program should write."""
        if isinstance(data, bytes):
            code, out = self.wintool("reg-set-bytes", key, value, kind, data.hex())
        else:
            code, out = self.wintool("reg-set", key, value, kind, str(data))
        assert code == 0, f"reg-set {key} {value}: exit code {code}, {out!r}"

    def reg_add_all(self, values, key=SETTINGS_KEY):
        """Writes {name: (kind, data)} as reg_add would, in as few wintool runs as
        the command line's length allows (each run of a Wine program costs time)."""
        batch, length = [], 0
        for value, (kind, data) in values.items():
            stored = _stored_bytes(kind, data)
            if stored is None or 2 * len(stored) > _BATCH_HEX:
                self.reg_add(value, kind, data, key=key)
                continue
            if batch and length + 2 * len(stored) > _BATCH_HEX:
                self._reg_set_batch(key, batch)
                batch, length = [], 0
            batch += [value, kind, stored.hex()]
            length += 2 * len(stored)
        if batch:
            self._reg_set_batch(key, batch)

    def _reg_set_batch(self, key, triples):
        code, out = self.wintool("reg-set-bytes", key, *triples)
        assert code == 0, f"reg-set-bytes {key} {triples[::3]}: exit code {code}, {out!r}"

    def reg_delete(self, key=SETTINGS_KEY, value=None):
        """Deletes a value, or the key with everything below it; False when absent."""
        code, out = self.wintool("reg-delete", key, *([value] if value is not None else []))
        assert code == 0 or parse_fields(out).get("absent") == "1", f"reg-delete {key}: {out!r}"
        return code == 0

    def reg_delete_key(self, key=SETTINGS_KEY):
        self.reg_delete(key)

    def export_key(self, key=SETTINGS_KEY):
        """An exact snapshot of the key (every value's name, kind and bytes),
        or None when it is absent: equal snapshots mean nothing was written."""
        return self.reg_values(key)

    def screenshot(self, name, window="root"):
        """The path of a screenshot saved now in this run's own folder."""
        return self.shot(name, window)[0]

    def shot(self, name, window="root", save=True):
        """A screenshot now: (its path in this run's own folder, the RGB
        image), the image read from the X server where it can be. With
        save=False the root's picture is only kept in memory (for polls;
        keep_shot saves the one that counts)."""
        path = os.path.join(output_folder(), name)
        image = grab_root(self.env["DISPLAY"]) if window == "root" else None
        if image is None:
            subprocess.run(["import", "-window", window, path], check=True, env=self.env, timeout=60)
            image = load(path)
        elif save:
            image.save(path, compress_level=1)
        return path, image

    @staticmethod
    def keep_shot(path, image):
        """Saves a picture that shot() took without saving, for a look by eye."""
        if not os.path.exists(path):
            image.save(path, compress_level=1)
        return path

    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], check=True, env=self.env, timeout=30)

    def stop_programs(self):
        """Ends every program started through start() that still runs."""
        for proc in self.procs:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
            for pipe in (proc.stdout, proc.stderr):
                if pipe:
                    pipe.close()
        self.procs = []

    def close(self):
        if self.server is not None:
            self.server.close()
            self.server = None
        self.stop_programs()
        if self.owned:
            subprocess.run(["wineserver", "-k"], env=self.env)
            subprocess.run(["wineserver", "-w"], env=self.env)
            shutil.rmtree(self.tmp, ignore_errors=True)


# ---- screenshots of the root window, read from the X server directly -------------
# ImageMagick's import takes a fifth of a second for what XGetImage does in a
# few milliseconds; the pictures are the same to the bit (import widens a
# 5- or 6-bit channel by repeating its high bits, as the tables below do).

class _XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int),
                ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int),
                ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int),
                ("red_mask", ctypes.c_ulong), ("green_mask", ctypes.c_ulong),
                ("blue_mask", ctypes.c_ulong)]


_ZPIXMAP = 2
_RGB565 = (0xF800, 0x7E0, 0x1F)
_RGB888 = (0xFF0000, 0xFF00, 0xFF)


def _xlib():
    if not hasattr(_xlib, "lib"):
        name = ctypes.util.find_library("X11")
        lib = ctypes.CDLL(name) if name else None
        if lib:
            lib.XOpenDisplay.restype = ctypes.c_void_p
            lib.XOpenDisplay.argtypes = [ctypes.c_char_p]
            lib.XCloseDisplay.argtypes = [ctypes.c_void_p]
            lib.XDefaultRootWindow.restype = ctypes.c_ulong
            lib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
            lib.XGetGeometry.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + \
                [ctypes.POINTER(ctypes.c_ulong)] + [ctypes.POINTER(ctypes.c_int)] * 2 + \
                [ctypes.POINTER(ctypes.c_uint)] * 4
            lib.XGetImage.restype = ctypes.POINTER(_XImage)
            lib.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                      ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
            lib.XDestroyImage.argtypes = [ctypes.POINTER(_XImage)]
            # Xlib's default handler ends the process on an X error: report it instead.
            handler = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda d, e: 0)
            lib.XSetErrorHandler(handler)
            _xlib.handler = handler
        _xlib.lib = lib
    return _xlib.lib


def _widening_tables():
    """point() tables from Pillow's unpacking of 5-6-5 pixels to X's widening."""
    if not hasattr(_widening_tables, "table"):
        from PIL import Image
        every = b"".join(v.to_bytes(2, "little") for v in range(65536))
        unpacked = Image.frombytes("RGB", (65536, 1), every, "raw", "BGR;16").getdata()
        table = [list(range(256)) for _ in range(3)]
        for v, got in zip(range(65536), unpacked):
            for channel, bits, shift in ((0, 5, 11), (1, 6, 5), (2, 5, 0)):
                value = (v >> shift) & ((1 << bits) - 1)
                table[channel][got[channel]] = (value << (8 - bits)) | (value >> (2 * bits - 8))
        _widening_tables.table = table[0] + table[1] + table[2]
    return _widening_tables.table


def grab_root(display):
    """The root window of an X display as an RGB image, or None where this
    way cannot read it (then ImageMagick's import does)."""
    lib = _xlib()
    connection = lib.XOpenDisplay(display.encode()) if lib else None
    if not connection:
        return None
    try:
        root = lib.XDefaultRootWindow(connection)
        size = [ctypes.c_uint() for _ in range(4)]
        lib.XGetGeometry(connection, root, ctypes.byref(ctypes.c_ulong()), ctypes.byref(ctypes.c_int()),
                         ctypes.byref(ctypes.c_int()), *(ctypes.byref(v) for v in size))
        width, height = size[0].value, size[1].value
        picture = lib.XGetImage(connection, root, 0, 0, width, height, 0xFFFFFFFF, _ZPIXMAP)
        if not picture:
            return None
        try:
            return _image_of(picture, width, height)
        finally:
            lib.XDestroyImage(picture)
    finally:
        lib.XCloseDisplay(connection)


def _image_of(picture, width, height):
    """An RGB image of an XImage, or None for a pixel layout not read here."""
    from PIL import Image
    x = picture.contents
    masks = (x.red_mask, x.green_mask, x.blue_mask)
    data = ctypes.string_at(x.data, x.bytes_per_line * x.height)
    if x.byte_order != 0:  # LSBFirst is all that is read here
        return None
    if x.bits_per_pixel == 16 and masks == _RGB565:
        image = Image.frombytes("RGB", (width, height), data, "raw", "BGR;16", x.bytes_per_line)
        return image.point(_widening_tables())
    if x.bits_per_pixel == 32 and masks == _RGB888:
        return Image.frombytes("RGB", (width, height), data, "raw", "BGRX", x.bytes_per_line)
    return None


class WindowPixels:
    """Each top-level X window's own pixels, also where another window lies
    over it: Xvfb stacks its heads at one origin, so the windows of two
    monitors overlap there. The Composite extension keeps every top-level
    window's contents in a pixmap of its own while this connection lives;
    it must exist before the windows are drawn. Closed by the test's cleanup.
    Only for tests that read windows this way: while it lives, Wine restacks
    windows differently after a modal dialog."""

    def __init__(self, test, display):
        lib = _xlib()
        test.assertIsNotNone(lib, "no libX11")
        name = ctypes.util.find_library("Xcomposite")
        test.assertIsNotNone(name, "no libXcomposite: tools/setup.sh installs it")
        self.composite = ctypes.CDLL(name)
        self.composite.XCompositeRedirectSubwindows.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int]
        self.lib = lib
        self.display = display
        self.connection = lib.XOpenDisplay(display.encode())
        test.assertTrue(self.connection, f"cannot open display {display}")
        test.addCleanup(self.close)
        root = lib.XDefaultRootWindow(self.connection)
        self.composite.XCompositeRedirectSubwindows(self.connection, root, 0)  # automatic
        lib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        lib.XSync(self.connection, 0)

    def close(self):
        if self.connection:
            self.lib.XCloseDisplay(self.connection)
            self.connection = None

    def windows_of(self, program, width, height, env):
        """X ids of the top-level windows of this size that Wine made for the
        program (its file name, as xwininfo shows the X class)."""
        out = subprocess.run(["xwininfo", "-root", "-children"], env={**env, "DISPLAY": self.display},
                             capture_output=True, text=True, timeout=60).stdout
        ids = []
        for line in out.splitlines():
            m = re.match(r"\s*(0x[0-9a-f]+) .*?(\d+)x(\d+)\+-?\d+\+-?\d+", line)
            if m and (int(m.group(2)), int(m.group(3))) == (width, height) and \
                    f'"{program.lower()}"' in line.lower():
                ids.append(int(m.group(1), 16))
        return ids

    def grab(self, window, width, height):
        """The window's own RGB image, or None when it cannot be read."""
        picture = self.lib.XGetImage(self.connection, window, 0, 0, width, height, 0xFFFFFFFF, _ZPIXMAP)
        if not picture:
            return None
        try:
            return _image_of(picture, width, height)
        finally:
            self.lib.XDestroyImage(picture)


class ServedProgram:
    """A Wine program that answers request lines on its input, each answer
    ending with a line "<name>-done code=N" (wintool serve, procstat
    --serve): one program start for many requests. Its output is read up to
    each answer's end mark, never to the end of the pipe, which Wine's
    desktop process may hold when this program started it."""

    def __init__(self, env, command, name):
        self.end_mark = re.compile(rb"(?:^|\n)" + re.escape(name.encode()) + rb"-done code=(-?\d+)\r?\n")
        self.proc = subprocess.Popen([os.environ.get("WINE", "wine"), *command], env=env,
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL)
        self.pending = b""

    def alive(self):
        return self.proc.poll() is None

    def call_line(self, line, timeout):
        """(code, output) of one request line, or None when no answer came
        (the program is then ended)."""
        try:
            self.proc.stdin.write(line.encode("ascii") + b"\n")
            self.proc.stdin.flush()
        except OSError:
            self.close()
            return None
        deadline = time.time() + timeout
        fd = self.proc.stdout.fileno()
        while True:
            end = self.end_mark.search(self.pending)
            if end:
                out = self.pending[:end.start()] + (b"\n" if end.start() else b"")
                self.pending = self.pending[end.end():]
                return int(end.group(1)), out.decode("utf-8", errors="replace").replace("\r", "")
            left = deadline - time.time()
            chunk = os.read(fd, 65536) if left > 0 and select.select([fd], [], [], left)[0] else b""
            if not chunk:
                self.close()
                return None
            self.pending += chunk

    def close(self):
        if self.proc.poll() is None:
            try:
                self.proc.stdin.close()
                self.proc.wait(timeout=10)
            except (OSError, subprocess.TimeoutExpired):
                self.proc.kill()
                self.proc.wait()
        for pipe in (self.proc.stdin, self.proc.stdout):
            try:
                pipe.close()
            except OSError:
                pass


class HeldProcess:
    """A process that the serving wintool holds (Wine.watch_exit)."""

    def __init__(self, wine, pid):
        self.wine = wine
        self.pid = pid

    def recorded_code(self, timeout):
        """The exit code Windows recorded, once the process has ended."""
        code, out = self.wine.wintool("held-code", self.pid, "--timeout", str(int(timeout * 1000)),
                                      timeout=timeout + 30)
        fields = parse_fields(out)
        if code != 0 or "code" not in fields:
            raise AssertionError(f"no exit code for the held process {self.pid}: {out!r}")
        return int(fields["code"])


class WintoolServer(ServedProgram):
    """One wintool running "serve": verbs in, each argument as "=" and its
    UTF-8 in hex, so that blanks, quotes and any character survive."""

    def __init__(self, env):
        super().__init__(env, [WINTOOL, "serve"], "wintool")

    def call(self, args, timeout):
        """(code, output), or None when no answer came (the server is then ended)."""
        return self.call_line(" ".join("=" + str(a).encode("utf-8").hex() for a in args), timeout)


def start_desktop(wine):
    """Has Wine start its desktop process (explorer /desktop) with no pipes of ours.

    The first program of a prefix that asks for a window starts it, and it
    keeps that program's output pipes: started under a test's run it would
    keep every later read of that pipe waiting until the prefix ends. It also
    ends with the last window of the prefix, so a test starts it again before
    a program whose output it reads."""
    program = [WINTOOL, "list"] if os.path.exists(WINTOOL) else ["wineboot"]
    subprocess.run([os.environ.get("WINE", "wine"), *program], env=wine.env,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=120)


def _xvfb(screen, *extra):
    """A new Xvfb (it picks a free number): (its name ":N" or None when it
    did not start, a function that stops it by PID)."""
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", screen, *extra, "-nolisten", "tcp"],
                            pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    os.close(write_end)

    def stop():
        if xvfb.poll() is not None:
            return
        xvfb.terminate()
        try:
            xvfb.wait(timeout=30)
        except subprocess.TimeoutExpired:
            xvfb.kill()
            xvfb.wait()
    ready, _, _ = select.select([read_end], [], [], 60)
    with os.fdopen(read_end) as announced:
        number = announced.readline().strip() if ready else ""  # written once it accepts clients
    return (":" + number if number.isdigit() else None), stop


def start_xvfb(test, screen, *extra):
    """A display of the test's own; stopped by PID when the test ends.
    Returns its name, ":N". extra: more Xvfb arguments (further screens,
    extensions)."""
    name, stop = _xvfb(screen, *extra)
    test.addCleanup(stop)
    test.assertIsNotNone(name, "Xvfb did not start")
    return name


class _RRMonitor(ctypes.Structure):
    _fields_ = [("name", ctypes.c_ulong), ("primary", ctypes.c_int), ("automatic", ctypes.c_int),
                ("noutput", ctypes.c_int), ("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                ("height", ctypes.c_int), ("mwidth", ctypes.c_int), ("mheight", ctypes.c_int),
                ("outputs", ctypes.POINTER(ctypes.c_ulong))]


class MonitorLayout:
    """A display whose monitors come and go while programs run, as a user
    plugs them in and out.

    An Xvfb without Xinerama's fixed heads: its monitors are RandR monitors
    set here, which it also serves as its Xinerama screens, and Wine reads
    them through Xinerama (through RandR it would list Xvfb's one output as
    one monitor). Wine reads the X layout as each program starts and lists
    it anew only when display settings are applied: change() has a new
    wintool apply them, after which every program lists the new monitors
    (the primary at 0, 0) and its top-level windows have had WM_DISPLAYCHANGE.
    A program started before a change that applies display settings itself
    brings back the layout of its start. Wine refuses (and change() fails) a
    new size for a monitor that is the only one before and after the
    change. The first monitor is the primary."""

    def __init__(self, test, monitors, screen="1440x900x24"):
        """monitors: "WxH+X+Y" each, within the screen."""
        self.display = start_xvfb(test, screen, "-noreset")  # no reset drops them between clients
        self.names = []
        self._set(monitors)

    def wine(self):
        return Wine(display=self.display, x11_driver={"UseXRandR": "N"})

    def change(self, wine, monitors):
        self._set(monitors)
        code, out = wine.wintool("display-reset")
        assert code == 0, f"Wine did not take the monitors {monitors}: {out!r}"

    def _set(self, monitors):
        lib, rr = _xlib(), ctypes.CDLL(ctypes.util.find_library("Xrandr"))
        rr.XRRGetMonitors.restype = rr.XRRAllocateMonitor.restype = ctypes.POINTER(_RRMonitor)
        rr.XRRGetMonitors.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.POINTER(ctypes.c_int)]
        rr.XRRAllocateMonitor.argtypes = [ctypes.c_void_p, ctypes.c_int]
        rr.XRRSetMonitor.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(_RRMonitor)]
        rr.XRRDeleteMonitor.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong]
        lib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        lib.XInternAtom.restype, lib.XInternAtom.argtypes = ctypes.c_ulong, [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        connection = lib.XOpenDisplay(self.display.encode())
        assert connection, f"cannot open display {self.display}"
        try:
            root, count = lib.XDefaultRootWindow(connection), ctypes.c_int()
            for name in self.names:
                rr.XRRDeleteMonitor(connection, root, name)
            # Xvfb's one output: its own monitor hides while the primary holds it.
            listed = rr.XRRGetMonitors(connection, root, 1, ctypes.byref(count))
            output = listed[0].outputs[0]
            rr.XRRFreeMonitors(listed)
            self.names = []
            for i, geometry in enumerate(monitors):
                width, height, x, y = (int(v) for v in re.fullmatch(r"(\d+)x(\d+)\+(\d+)\+(\d+)", geometry).groups())
                monitor = rr.XRRAllocateMonitor(connection, 1 if i == 0 else 0).contents
                monitor.name = lib.XInternAtom(connection, f"flags-monitor-{i}".encode(), 0)
                monitor.primary, monitor.x, monitor.y, monitor.width, monitor.height = i == 0, x, y, width, height
                monitor.mwidth, monitor.mheight = width * 254 // 960, height * 254 // 960  # 96 dpi
                if i == 0:
                    monitor.outputs[0] = output
                rr.XRRSetMonitor(connection, root, ctypes.byref(monitor))
                self.names.append(monitor.name)
            lib.XSync(connection, 0)
            listed = rr.XRRGetMonitors(connection, root, 1, ctypes.byref(count))
            got = [f"{m.width}x{m.height}+{m.x}+{m.y}" for m in listed[:count.value]]
            rr.XRRFreeMonitors(listed)
            assert got == list(monitors), f"the display took the monitors {got}, not {monitors}"
        finally:
            lib.XCloseDisplay(connection)


def own_display():
    """The test file's own display, as the run's (800x600x16), started with
    the first prefix that needs it and stopped when the file's tests end."""
    if not hasattr(own_display, "name"):
        name, stop = _xvfb("800x600x16")
        atexit.register(stop)
        if name is None:
            raise AssertionError("Xvfb did not start")
        own_display.name = name
    return own_display.name


class PrefixPerClassTest(unittest.TestCase):
    """Tests whose class shares one prefix: making one costs seconds, and
    most tests touch nothing but the settings key. Each test starts with no
    settings key and no program of an earlier test running; a class whose
    tests change more resets it in its own setUp."""

    @classmethod
    def setUpClass(cls):
        cls.wine = Wine()

    @classmethod
    def tearDownClass(cls):
        cls.wine.close()

    def setUp(self):
        self.addCleanup(self.wine.stop_programs)
        self.wine.reg_delete_key()


class RegValue(collections.namedtuple("RegValue", "kind data")):
    """One registry value: its kind ("REG_SZ", ..., or the type number when it
    has no name) and the exact bytes the registry holds, texts in UTF-16
    (the saver's A functions see a text of n bytes as n characters)."""

    @property
    def text(self):
        """A text's characters: those before the first NUL, or all of them
        when no terminator is stored (as earlier versions stored texts)."""
        return self.data.decode("utf-16-le", "replace").split("\0", 1)[0]

    @property
    def number(self):
        return int.from_bytes(self.data, "little") if len(self.data) == 4 else None

    def decoded(self):
        if self.kind in ("REG_SZ", "REG_EXPAND_SZ"):
            return self.text
        if self.kind == "REG_DWORD" and self.number is not None:
            return self.number
        return self.data


# Hex characters of values written in one wintool run: well inside the 32767
# characters of a Windows command line.
_BATCH_HEX = 24000


def _stored_bytes(kind, data):
    """The bytes reg_add stores for (kind, data), or None where it is not known here."""
    if isinstance(data, bytes):
        return data
    if kind in ("REG_SZ", "REG_EXPAND_SZ") and isinstance(data, str) and "\0" not in data:
        return (data + "\0").encode("utf-16-le")
    if kind == "REG_DWORD" and isinstance(data, int) and -0x80000000 <= data <= 0xFFFFFFFF:
        return (data & 0xFFFFFFFF).to_bytes(4, "little")
    if kind == "REG_BINARY" and isinstance(data, str):
        return bytes.fromhex(data)
    return None


def stored_text(text, kind="REG_SZ"):
    """A text value as the registry holds it, with exactly the NULs in `text`."""
    return RegValue(kind, text.encode("utf-16-le"))


_FIELD = re.compile(r'([A-Za-z_][A-Za-z0-9_-]*)=("(?:[^"\\]|\\.)*"|\S*)')
_ESCAPES = {"n": "\n", "r": "\r", "t": "\t"}


def parse_fields(line):
    """One wintool line as {key: value}; quoted values come back unescaped."""
    fields = {}
    for key, value in _FIELD.findall(line):
        if value.startswith('"'):
            value = re.sub(r'\\(x[0-9A-Fa-f]{2}|.)',
                           lambda m: chr(int(m.group(1)[1:], 16)) if len(m.group(1)) == 3 and m.group(1)[0] == "x"
                           else _ESCAPES.get(m.group(1), m.group(1)), value[1:-1])
        fields[key] = value
    return fields


def read_file_lines(path):
    """A file's non-empty lines, stripped; none while it does not exist (the
    test DLLs write their records as they go)."""
    try:
        with open(path) as f:
            return [line.strip() for line in f if line.strip()]
    except FileNotFoundError:
        return []


def parse_lines(text):
    """Every non-empty line of wintool output, parsed."""
    return [parse_fields(line) for line in text.splitlines() if line.strip()]


def run_to_files(command, env, cwd, timeout):
    """Runs a program to its end and returns (code, stdout, stderr).

    The output goes through files, not pipes: Wine's desktop process, started
    again by whichever program next needs it, inherits that program's output
    and would keep a pipe open long after the program ended."""
    with tempfile.TemporaryFile("w+", encoding="utf-8", errors="replace") as out, \
            tempfile.TemporaryFile("w+", encoding="utf-8", errors="replace") as err:
        proc = subprocess.Popen(command, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                                stdout=out, stderr=err)
        try:
            proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
            raise AssertionError(f"{command[1:]} did not end within {timeout} s")
        out.seek(0)
        err.seek(0)
        return proc.returncode, out.read(), err.read()


def exit_code(proc, timeout, watch=None, killed=None):
    """The program's exit code once it has ended (TimeoutExpired if it does not).

    With a watch, the code is the one Windows recorded, and the Unix status
    must agree with it. A killed process fails, whatever code it recorded
    first: Wine's server kills a process that is still there a second after
    its last thread ended, so a kill means its teardown hung or crawled (as
    Mesa's does for any Direct3D program, the minimal one too, on a core
    shared three ways; never seen with one busy loop beside the tests).
    Only a measurement that runs Wine's busy-waiting Direct3D thread on
    purpose passes a list as `killed`: a kill, or any other signal, after a
    recorded code is then noted there as (code, signal name), and the
    recorded code returned. Such a signal is Wine's or Mesa's own: a fault in
    the program's code is an exception that Wine reports, and its code is
    the one recorded."""
    unix_code = proc.wait(timeout=timeout)
    recorded = None
    if watch is not None:
        recorded = watch.recorded_code(30)
    if unix_code < 0 and killed is not None and recorded is not None:
        killed.append((recorded, signal.Signals(-unix_code).name))
        return recorded
    if unix_code == -signal.SIGKILL:
        after = f" after it had ended with exit code {recorded}" if recorded is not None else ""
        raise AssertionError(f"the program was killed (SIGKILL){after}")
    if recorded is None:
        return unix_code
    if unix_code != recorded & 0xFF:
        raise AssertionError(f"Unix status {unix_code} does not match the exit code {recorded}")
    return recorded


def output_folder():
    """A folder of this run's own in <build>/test-output for its screenshots
    and pictures: runs side by side, which tools/ctest.sh allows, never
    read each other's files."""
    if not hasattr(output_folder, "path"):
        os.makedirs(OUTPUT, exist_ok=True)
        name = os.path.splitext(os.path.basename(sys.argv[0]))[0] or "run"
        output_folder.path = tempfile.mkdtemp(prefix=time.strftime(f"{name}-%Y%m%d-%H%M%S-"), dir=OUTPUT)
    return output_folder.path


def read_line(proc, timeout):
    """The next line a started program writes on its output, read byte by
    byte so that later reads of the pipe miss nothing; fails when none has
    come within timeout s."""
    fd = proc.stdout.fileno()
    end = time.time() + timeout
    line = b""
    while not line.endswith(b"\n"):
        left = end - time.time()
        if left <= 0 or not select.select([fd], [], [], left)[0]:
            raise AssertionError(f"{proc.args[1:3]} wrote no line within {timeout} s (so far {line!r})")
        byte = os.read(fd, 1)
        if not byte:
            break
        line += byte
    return line.decode("utf-8", errors="replace").replace("\r", "")


def wait_for(predicate, timeout=30.0, interval=0.2):
    end = time.time() + timeout
    while time.time() < end:
        value = predicate()
        if value:
            return value
        time.sleep(interval)
    return predicate()


# ---- ending the saver by input --------------------------------------------------

def pointer_path():
    """Pointer positions that change both coordinates at every step and come
    back only after thousands of steps. Moves that queue up unread merge into
    the last one, which then still differs from the last position read."""
    step = 0
    while True:
        step += 1
        yield 50 + 37 * step % 700, 50 + 23 * step % 500


def input_giver(wine, hwnd, how):
    """A function that gives one input of a kind: "pointer" (a move along
    pointer_path), "key" (the key A), ("key", NAME) or ("click", BUTTON)
    through the X server, or ("post", MESSAGE, WPARAM, LPARAM) posted to hwnd."""
    if how == "pointer":
        path = pointer_path()
        return lambda: wine.xdotool("mousemove", *(str(v) for v in next(path)))
    kind, *args = ("key", "a") if how == "key" else how
    if kind in ("key", "click"):
        return lambda: wine.xdotool(kind, *args)
    if kind == "post":
        def post():
            code, out = wine.wintool("post", str(hwnd), *(str(v) for v in args))
            assert code == 0, f"posting {args} to {hwnd} failed: {out!r}"
        return post
    raise ValueError(f"no such input: {how!r}")


def window_gone(wine, hwnd, wait_ms=300):
    code, _ = wine.wintool("wait-gone", str(hwnd), "--timeout", str(wait_ms), timeout=wait_ms / 1000 + 60)
    return code == 0


def window_painted(wine, hwnd, timeout=60.0):
    """True once the window's thread has painted it after this call: it then
    has handled everything sent, posted or input to it before (a thread gets
    WM_PAINT only when nothing else waits). False when the window has gone."""
    code, _ = wine.wintool("painted", str(hwnd), "--timeout", str(int(timeout * 1000)), timeout=timeout + 60)
    if code != 0 and window_line(wine, hwnd) is not None:
        raise AssertionError(f"window {hwnd} was not painted within {timeout} s: its thread handles no messages")
    return code == 0


# Seconds from an input that ends the saver to its window's going, and from
# there to its process's end. Measured: tens of milliseconds; under half a
# second with the tests on one core beside a busy loop, under 4 s beside two.
END_SECONDS = 10


def end_saver_by_input(wine, hwnd, proc, watch=None, how="pointer", until=None, timeout=END_SECONDS,
                       killed=None):
    """Ends a running saver (window hwnd, process proc) by input and returns
    its exit code as exit_code reads it with watch.

    The input is given once the saver handles its messages (a saver still
    starting up reads none). Pointer moves are given again and again until
    the window has gone: a busy saver reads its queue late, and moves that
    queue up unread merge into one, so a fixed number of moves may count
    fewer. Any other input is given once: a key or a click that the saver
    loses is a fault. With `until`, no more moves are given once until() is
    true (a password check has begun, and more input would only start
    another one). Fails when the window is still there `timeout` s after the
    first input, or the process `timeout` s after its window."""
    give = input_giver(wine, hwnd, how)
    window_painted(wine, hwnd)
    end = time.time() + timeout
    give()
    while how == "pointer" and time.time() < end:
        # The process ends soon after its window: watching it costs no
        # program start, so move follows move closely.
        if wait_for(lambda: proc.poll() is not None, timeout=0.1, interval=0.02):
            break
        if until is not None and until():
            break
        give()
    if not window_gone(wine, hwnd, max(1, int((end - time.time()) * 1000))):
        raise AssertionError(f"the saver's window {hwnd} was still there {timeout} s after the first input {how!r}")
    try:
        return exit_code(proc, timeout, watch, killed)
    except subprocess.TimeoutExpired:
        raise AssertionError(f"the saver's process did not end within {timeout} s after its window")


# ---- the program's windows, posted input and screenshots ------------------------

def install_program(wine, *dlls):
    """A new folder with a copy of the program and the given DLLs beside it."""
    folder = tempfile.mkdtemp(prefix="program-", dir=wine.tmp)
    shutil.copy(SCR, folder)
    for dll in dlls:
        shutil.copy(dll, folder)
    return folder, os.path.join(folder, os.path.basename(SCR))


def use_flag_folder(wine):
    """The saver finds "IMAGE" through "[Directory]", which an installer writes."""
    wine.reg_add("[Directory]", "REG_SZ", windows_path(FLAG_ROOT))


def wait_window(test, wine, title=SAVER_CLASS, class_name=SAVER_CLASS, timeout_ms=30000):
    code, out = wine.wintool("wait", "--class", class_name, "--title", title, "--timeout", str(timeout_ms),
                             timeout=timeout_ms / 1000 + 30)
    test.assertEqual(code, 0, f"no window of class {class_name!r} titled {title!r}")
    return parse_fields(out)


def window_line(wine, hwnd):
    code, out = wine.wintool("list")
    for fields in parse_lines(out):
        if fields.get("hwnd") == str(hwnd):
            return fields
    return None


def post(test, wine, hwnd, message, wparam=0, lparam=0, must_arrive=True):
    """Posts to a window; with must_arrive=False the window may already be gone."""
    code, _ = wine.wintool("post", str(hwnd), str(message), str(wparam), str(lparam))
    if must_arrive:
        test.assertEqual(code, 0, f"posting {message:#x} to {hwnd} failed")


def drain_queue(test, wine, hwnd, line=None):
    """Returns once the window has handled everything posted to it before.

    Posted messages are handled in order, and WM_SETREDRAW visibly clears
    the window's WS_VISIBLE bit, so once the bit is seen clear, all earlier
    posts are done. The bit is set again afterwards. `line()` reads the
    window's fields (a child window is not in the top-level list). A device
    reset may show the window again before the bit is seen: asked again then
    (a later post is handled after the earlier ones too)."""
    line = line or (lambda: window_line(wine, hwnd))
    for _ in range(6):
        post(test, wine, hwnd, WM_SETREDRAW, 0)
        hidden = wait_for(lambda: (line() or {}).get("visible") == "0", timeout=5)
        if hidden:
            break
    test.assertTrue(hidden, "the window did not handle its queue")
    post(test, wine, hwnd, WM_SETREDRAW, 1)
    wait_for(lambda: (line() or {}).get("visible") == "1", timeout=30)


def running_programs(wine, name):
    """Process ids of the programs of this prefix whose command line holds `name`."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/environ", "rb") as f:
                if b"WINEPREFIX=" + wine.prefix.encode() not in f.read().split(b"\0"):
                    continue
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                if name.lower().encode() in f.read().lower():
                    found.append(int(pid))
        except OSError:
            continue  # ended meanwhile, or not ours to read
    return found


def end_requested(wine, hwnd):
    """True once an end request ran: it maximises the window, or closed it."""
    fields = window_line(wine, hwnd)
    return fields is None or int(fields["style"], 16) & WS_MAXIMIZE != 0


def watch_exit(test, wine, hwnd):
    watch = wine.watch_exit(hwnd)
    test.assertIsNotNone(watch, "the window's process could not be held")
    return watch


def wait_exit(test, proc, timeout=END_SECONDS, watch=None):
    """The exit code (see exit_code); fails the test when the program has not
    ended within timeout s (END_SECONDS after an input that ends the saver)."""
    try:
        return exit_code(proc, timeout, watch)
    except subprocess.TimeoutExpired:
        test.fail(f"the program did not end within {timeout} s")


def wait_children(wine, hwnd, ready, timeout=30.0):
    """The controls of a window (wintool children lines) once ready(controls)
    holds: a window that has just appeared may not have made or shown all
    its controls yet (32-bit Wine makes an open-file dialog's in steps)."""
    seen = {"controls": []}

    def look():
        code, out = wine.wintool("children", str(hwnd))
        seen["controls"] = parse_lines(out) if code == 0 else []
        return ready(seen["controls"])

    if not wait_for(look, timeout=timeout, interval=0.1):
        raise AssertionError(f"the controls of window {hwnd} were not ready within {timeout} s: "
                             f"{[(c.get('class'), c.get('id'), c.get('visible')) for c in seen['controls']]}")
    return seen["controls"]


def usable_control(controls, control_id, class_name):
    """The visible, enabled control of that id and class (an open-file dialog
    has three controls with id 1: a list view, a toolbar and its button), or None."""
    for c in controls:
        if c.get("id") == str(control_id) and c.get("class", "").lower() == class_name.lower() \
                and c.get("visible") == "1" and c.get("enabled") == "1":
            return c
    return None


def box_text(wine, hwnd):
    """The texts of a message box's static controls, joined by blanks, once
    its text and a button are shown."""
    def shown(controls):
        return any(c.get("class", "").lower() == "static" and c.get("text") and c.get("visible") == "1"
                   for c in controls) and \
            any(c.get("class", "").lower() == "button" and c.get("visible") == "1" for c in controls)
    controls = wait_children(wine, hwnd, shown)
    texts = [f.get("text", "") for f in controls if f.get("class", "").lower() == "static"]
    return " ".join(t for t in texts if t)


def load(path):
    from PIL import Image  # Debian's Pillow: the tests run under /usr/bin/python3
    return Image.open(path).convert("RGB")


# Colours counted up to this many: every test compares the count with fewer.
# Counting stops there, where counting every colour of a photograph on the
# screen takes a tenth of a second or more, at every poll, beside the saver.
COLOUR_COUNT_CAP = 4096


def colour_count(image):
    """The number of colours in the image, COLOUR_COUNT_CAP when there are more."""
    colours = image.getcolors(maxcolors=COLOUR_COUNT_CAP)
    return COLOUR_COUNT_CAP if colours is None else len(colours)


def changed_fraction(a, b, threshold=24):
    """Share of pixels whose largest channel difference exceeds threshold."""
    from PIL import ImageChops
    diff = ImageChops.difference(a, b).convert("L").point(lambda v: 255 if v > threshold else 0)
    histogram = diff.histogram()
    return histogram[255] / float(a.width * a.height)


def near_colour_count(image, colour, tolerance=12):
    """Pixels whose every channel lies within tolerance of colour."""
    from PIL import Image, ImageChops
    channels = ImageChops.difference(image, Image.new("RGB", image.size, tuple(colour))).split()
    far = ImageChops.lighter(ImageChops.lighter(channels[0], channels[1]), channels[2])
    return far.point(lambda v: 255 if v <= tolerance else 0).histogram()[255]


def pixels(image, box, step=2):
    x0, y0, x1, y1 = box
    return [image.getpixel((x, y)) for y in range(y0, y1, step) for x in range(x0, x1, step)]


def is_reddish(p):
    return p[0] > 60 and p[0] > 2 * p[1] and p[0] > 2 * p[2]


def screenshot_when(test, wine, name, predicate, window="root", timeout=60):
    """Screenshots until one satisfies predicate; returns (path, image)."""
    shot = {}

    def taken():
        shot["path"], shot["image"] = wine.shot(name, window=window, save=False)
        return predicate(shot["image"])

    found = wait_for(taken, timeout=timeout, interval=0.1)
    wine.keep_shot(shot["path"], shot["image"])
    if found:
        return shot["path"], shot["image"]
    test.fail(f"no screenshot {name} as expected within {timeout} s (last: {shot.get('path')})")


def offscreen_window(wine, width, height):
    """X id of the nameless window of that size in which Wine renders a child window."""
    out = subprocess.run(["xwininfo", "-root", "-tree"], env=wine.env, capture_output=True, text=True,
                         timeout=30).stdout
    for line in out.splitlines():
        parts = line.split()
        if len(parts) >= 5 and "(has no name):" in line and f"{width}x{height}+" in line:
            return parts[0]
    return None
