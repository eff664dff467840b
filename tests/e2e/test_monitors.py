"""The saver on two monitors. In an exclusive mode the monitor the device
does not use gets a black top-most cover of the saver's own process; in
Desktop mode it gets a window that shows a flag of its own. Either window's
input ends the saver as the saver window's does (with one mouse count for
both windows); it follows a layout change without ending anything and goes
with the saver window. A lost device comes back in either mode. On one
display that cannot show the stored mode Desktop mode keeps the display's.

The display is a private Xvfb with two heads under Xinerama (RandR off),
which Wine reports as two monitors. Xvfb puts both heads at one origin, so
the second monitor (640 x 480) lies inside the first (800 x 600): the saver
window must stay above its cover there, and the X pointer always meets the
saver window, so input reaches the cover by posted messages."""
import colorsys
import os
import re
import time
import unittest

import harness

COVER_CLASS = "Brevanto Flags Cover"
MONITOR_CLASS = "Brevanto Flags Monitor"
PROGRAM = os.path.basename(harness.SCR)
# Its device is lost once the file lose_device_now lies beside it.
D3D8_RECORDING = harness.D3D8_RECORDING
WM_DISPLAYCHANGE = 0x7E
WS_POPUP = 0x80000000
WS_FRAME_BITS = 0x00C00000 | 0x00040000  # caption/border, sizing frame
WS_EX_TOPMOST = 0x8
WS_EX_TOOLWINDOW = 0x80
PRIMARY = "0,0,800,600"
SECOND = "0,0,640,480"
# Flags of this many hues tell whether two monitors show the same one.
HUES = 30
# Parts of the primary monitor where only the background shows, well away
# from the flag (x 208 ... 592, y 158 ... 447 while it hangs flat) and the texts.
BACKGROUND_ONLY = [(200, 20, 600, 90), (620, 20, 790, 140), (10, 200, 170, 400)]


def background_settled():
    """A predicate on screenshots: the start's fade from black is over, the
    background as half a second before."""
    shots = []

    def settled(im):
        now = time.monotonic()
        shots.append((now, im))
        older = [old for t, old in shots if now - t >= 0.5]
        return harness.colour_count(im) > 200 and bool(older) and all(
            harness.changed_fraction(older[-1].crop(box), im.crop(box)) < 0.01 for box in BACKGROUND_ONLY)
    return settled


class MonitorChecks:
    """What the tests read of the saver's windows; self.wine and (for
    assert_waves) self.pixels are the test's."""

    def windows(self):
        """Top-level windows, top of the Z order first."""
        code, out = self.wine.wintool("list")
        self.assertEqual(code, 0, out)
        return harness.parse_lines(out)

    def covers(self, class_name=COVER_CLASS):
        return [w for w in self.windows() if w.get("class") == class_name]

    def shown_covers(self, class_name=COVER_CLASS):
        """Once made, a window is listed before it is shown: waits for shown ones."""
        return harness.wait_for(lambda: [w for w in self.covers(class_name) if w.get("visible") == "1"],
                                timeout=30, interval=0.05)

    def monitors(self):
        code, out = self.wine.wintool("monitors")
        self.assertEqual(code, 0, out)
        return [(m["rect"], m["primary"]) for m in harness.parse_lines(out) if "rect" in m]

    def assert_waves(self, width, height, what):
        """The program's X window of that size shows a picture of many colours
        that changes: a flag waving before a background, not a black cover."""
        def waving():
            ids = self.pixels.windows_of(PROGRAM, width, height, self.wine.env)
            if len(ids) != 1:
                return False
            first = self.pixels.grab(ids[0], width, height)
            if first is None or harness.colour_count(first) < 200:
                return False
            return harness.wait_for(lambda: harness.changed_fraction(
                first, self.pixels.grab(ids[0], width, height) or first) > 0.01, timeout=10, interval=0.1)
        self.assertTrue(harness.wait_for(waving, timeout=60, interval=0.2), f"{what}: no waving flag")



class TwoMonitorTest(MonitorChecks, unittest.TestCase):
    """One display and prefix for the class: each test starts with only the
    flag folder stored and none of the earlier tests' programs running."""

    @classmethod
    def setUpClass(cls):
        harness.require_display()
        cls.display, stop = harness._xvfb("800x600x16", "-screen", "1", "640x480x16",
                                          "-extension", "RANDR", "+xinerama")
        if cls.display is None:
            raise AssertionError("Xvfb did not start")
        cls.addClassCleanup(stop)
        cls.wine = harness.Wine(display=cls.display)
        cls.addClassCleanup(cls.wine.close)

    def setUp(self):
        self.addCleanup(self.wine.stop_programs)
        self.wine.reg_delete_key()
        self.wine.reg_delete(harness.DESKTOP_KEY, "ScreenSaveUsePassword")
        harness.use_flag_folder(self.wine)
        self.wine.xdotool("mousemove", "0", "0")

    def start_saver(self, scr=harness.SCR, env=None):
        proc = self.wine.start(scr, "/s", env=env)
        saver = harness.wait_window(self, self.wine)
        return proc, saver

    def assert_gone_with_the_saver(self, proc, watch, saver):
        self.assertEqual(harness.wait_exit(self, proc, timeout=harness.END_SECONDS, watch=watch), 0)
        left = [w for w in self.windows() if w.get("pid") == saver["pid"]]
        self.assertEqual(left, [])

    def test_the_second_monitor_is_covered_follows_layout_changes_and_shares_the_mouse_count(self):
        self.assertEqual(self.monitors(), [(PRIMARY, "1"), (SECOND, "0")], "Wine does not report the two heads")

        proc, saver = self.start_saver()
        self.assertEqual(saver["rect"], PRIMARY)
        # The covers are made just after the saver window.
        covers = self.shown_covers()
        self.assertEqual(len(covers), 1, covers)
        cover = covers[0]
        style, exstyle = int(cover["style"], 16), int(cover["exstyle"], 16)
        self.assertEqual(cover["rect"], SECOND)
        self.assertEqual(cover["pid"], saver["pid"])
        self.assertEqual(cover["visible"], "1")
        self.assertTrue(exstyle & WS_EX_TOPMOST, "WS_EX_TOPMOST")
        self.assertTrue(exstyle & WS_EX_TOOLWINDOW, "a tool window: no taskbar button, no Alt+Tab entry")
        self.assertTrue(style & WS_POPUP, "WS_POPUP")
        self.assertFalse(style & WS_FRAME_BITS, "borderless")
        # Where the heads overlap, the picture shows, not the black cover:
        # once the device is made, the saver lies above its cover.
        path, _ = harness.screenshot_when(
            self, self.wine, "two-monitors.png",
            lambda im: harness.colour_count(im.crop((0, 0, 640, 480))) > 200)
        order = [w["hwnd"] for w in self.windows()]
        self.assertLess(order.index(saver["hwnd"]), order.index(cover["hwnd"]), "the saver lies below its cover")

        # A layout change ends nothing and puts the cover back where the
        # monitor is (here: where it was before something moved it).
        moved = self.wine.wintool("move", cover["hwnd"], "100", "100", "50", "50")
        self.assertEqual(moved[0], 0, moved)
        self.assertEqual(harness.window_line(self.wine, cover["hwnd"])["rect"], "100,100,150,150")
        harness.post(self, self.wine, saver["hwnd"], WM_DISPLAYCHANGE, 16, harness.mouse_lparam(800, 600))
        harness.drain_queue(self, self.wine, saver["hwnd"])
        self.assertEqual([(c["hwnd"], c["rect"]) for c in self.covers()], [(cover["hwnd"], SECOND)])
        self.assertFalse(harness.end_requested(self.wine, saver["hwnd"]))
        self.assertIsNone(proc.poll())

        # One count for both windows, in screen coordinates (the same as
        # client ones here, both windows being at 0, 0): from (0, 0) the
        # changes run 2, 3, 5, with repeats that count nothing.
        moves = [(cover, 512, 384), (saver, 513, 384), (cover, 513, 384), (cover, 514, 385), (saver, 514, 385)]
        for window, x, y in moves:
            harness.post(self, self.wine, window["hwnd"], harness.WM_MOUSEMOVE, 0, harness.mouse_lparam(x, y))
        harness.drain_queue(self, self.wine, cover["hwnd"])
        harness.drain_queue(self, self.wine, saver["hwnd"])
        self.assertFalse(harness.end_requested(self.wine, saver["hwnd"]))
        self.assertIsNone(proc.poll())

        # The sixth change, on the cover, ends the saver; the cover goes too.
        watch = harness.watch_exit(self, self.wine, saver["hwnd"])
        harness.post(self, self.wine, cover["hwnd"], harness.WM_MOUSEMOVE, 0, harness.mouse_lparam(515, 385))
        self.assert_gone_with_the_saver(proc, watch, saver)

    def flag_hue(self, width, height):
        """The hue bin (of HUES) most of the middle of the program's window
        of that size shows: the flag's, however its folds shade it."""
        ids = self.pixels.windows_of(PROGRAM, width, height, self.wine.env)
        image = self.pixels.grab(ids[0], width, height) if len(ids) == 1 else None
        if image is None:
            return None
        bins = [0] * HUES
        for p in harness.pixels(image, (width * 2 // 5, height * 2 // 5, width * 3 // 5, height * 3 // 5), step=3):
            h, sat, v = colorsys.rgb_to_hsv(*(c / 255 for c in p))
            if sat > 0.6 and v > 0.4:
                bins[round(h * HUES) % HUES] += 1
        return max(range(HUES), key=bins.__getitem__) if max(bins) else None

    def test_desktop_mode_shows_a_flag_on_every_monitor_and_ends_by_either(self):
        # "The same flag on every monitor" over a folder of flags in HUES hues:
        # another monitor's own pick would match the first one's once in HUES.
        from PIL import Image
        image = os.path.join(self.wine.tmp, "hues", "IMAGE")
        os.makedirs(image, exist_ok=True)
        for k in range(HUES):
            colour = tuple(round(255 * c) for c in colorsys.hsv_to_rgb(k / HUES, 1, 1))
            Image.new("RGB", (64, 48), colour).save(os.path.join(image, f"Hue{k}.bmp"), "BMP")
        self.wine.reg_add_all({"[Desktop Mode]": ("REG_DWORD", 1), "[Same Flag]": ("REG_DWORD", 1),
                               "[Random Flag]": ("REG_DWORD", 1),
                               "[Directory]": ("REG_SZ", harness.windows_path(os.path.dirname(image)))})
        # Before the saver's windows exist: where the heads overlap, each
        # window's own pixels are kept.
        self.pixels = harness.WindowPixels(self, self.display)
        folder, scr = harness.install_program(self.wine, D3D8_RECORDING)
        proc, saver = self.start_saver(scr, {"WINEDLLOVERRIDES": self.wine.env["WINEDLLOVERRIDES"] + ";d3d8=n,b"})
        self.assertEqual(saver["rect"], PRIMARY)
        mine = lambda: [w for w in self.windows() if w.get("pid") == saver["pid"] and w.get("visible") == "1"]
        shown = self.shown_covers(MONITOR_CLASS)
        self.assertEqual(len(shown), 1, shown)
        window = shown[0]
        self.assertEqual(window["rect"], SECOND)
        style, exstyle = int(window["style"], 16), int(window["exstyle"], 16)
        self.assertTrue(exstyle & WS_EX_TOPMOST, "WS_EX_TOPMOST")
        self.assertTrue(exstyle & WS_EX_TOOLWINDOW, "a tool window: no taskbar button, no Alt+Tab entry")
        self.assertTrue(style & WS_POPUP and not style & WS_FRAME_BITS, "borderless")
        self.assertEqual(self.covers(), [], "no black cover")
        self.assertEqual(sorted(w["class"] for w in mine() if w["class"] != "IME"),
                         sorted([harness.SAVER_CLASS, MONITOR_CLASS]), "one window per monitor")
        self.assert_waves(800, 600, "primary monitor")
        self.assert_waves(640, 480, "second monitor")
        hues = (self.flag_hue(800, 600), self.flag_hue(640, 480))
        self.assertIsNotNone(hues[0], "no flag's hue on the primary monitor")
        self.assertEqual(hues[0], hues[1], "the same flag on every monitor")
        self.assertEqual(self.monitors(), [(PRIMARY, "1"), (SECOND, "0")], "no display mode changed")

        # A layout change ends nothing; the window returns to its monitor and
        # draws there again.
        moved = self.wine.wintool("move", window["hwnd"], "100", "100", "50", "50")
        self.assertEqual(moved[0], 0, moved)
        harness.post(self, self.wine, saver["hwnd"], WM_DISPLAYCHANGE, 16, harness.mouse_lparam(800, 600))
        harness.drain_queue(self, self.wine, saver["hwnd"])
        self.assertEqual([(w["hwnd"], w["rect"]) for w in self.covers(MONITOR_CLASS)], [(window["hwnd"], SECOND)])
        self.assertIsNone(proc.poll())
        self.assert_waves(640, 480, "second monitor after the layout change")
        self.assert_waves(800, 600, "primary monitor after the layout change")

        # One mouse count for both windows: the sixth change, on the second
        # monitor's window, ends the saver, and both windows go.
        moves = [(window, 512, 384), (saver, 513, 384), (window, 514, 385)]
        for target, x, y in moves:
            harness.post(self, self.wine, target["hwnd"], harness.WM_MOUSEMOVE, 0, harness.mouse_lparam(x, y))
        harness.drain_queue(self, self.wine, window["hwnd"])
        harness.drain_queue(self, self.wine, saver["hwnd"])
        self.assertFalse(harness.end_requested(self.wine, saver["hwnd"]))
        watch = harness.watch_exit(self, self.wine, saver["hwnd"])
        harness.post(self, self.wine, window["hwnd"], harness.WM_MOUSEMOVE, 0, harness.mouse_lparam(515, 385))
        self.assert_gone_with_the_saver(proc, watch, saver)
        # The second monitor's depth buffers take its swap chain's samples,
        # multisampled at first, then none once the extras are given up.
        chains, depths = {}, []
        for line in harness.read_file_lines(os.path.join(folder, "device_calls.txt")):
            call = harness.parse_fields(line)
            if call.get("size") == "640x480" and call.get("result") == "0":
                if line.startswith("swap-chain "):
                    chains["samples"] = call["samples"]
                elif line.startswith("depth "):
                    depths.append((call["samples"], chains.get("samples")))
        self.assertIn(("4", "4"), depths)
        self.assertEqual([d for d in depths if d[0] != d[1]], [], depths)

    def test_the_saver_ended_while_a_start_up_message_is_open_goes_no_further(self):
        """The system ends a saver by WM_CLOSE, also while "Background
        loading FAILED" is up; once the box is answered the saver makes
        nothing more and ends with code 0."""
        self.wine.reg_add("[Desktop Mode]", "REG_DWORD", 1)
        self.wine.reg_add("[Background Path]", "REG_SZ", "C:\\gone\\photo.jpg")
        proc, saver = self.start_saver()
        box = harness.wait_window(self, self.wine, title=harness.ERROR_TITLE, class_name=harness.BOX_CLASS)
        self.assertIn("Background loading FAILED", harness.box_text(self.wine, box["hwnd"]))
        watch = harness.watch_exit(self, self.wine, saver["hwnd"])
        harness.post(self, self.wine, saver["hwnd"], harness.WM_CLOSE)
        harness.post(self, self.wine, box["hwnd"], harness.WM_COMMAND, harness.IDOK, must_arrive=False)
        self.assertEqual(harness.wait_exit(self, proc, watch=watch), 0)

    def test_a_lost_device_is_reset_in_either_mode_and_draws_again_on_every_monitor(self):
        """The device is lost (in Desktop mode through a swap chain's Present
        as well as its own); its first Resets are refused, and then a vertex
        buffer. Nothing is presented and nothing reset while it is lost; once
        a Reset succeeds it is never reset again, and the picture comes back
        with the device's states. Desktop mode: one windowed device and one
        windowed swap chain per other monitor, made again after the Reset,
        the saver window's depth buffer too; nothing full screen."""
        for desktop in (0, 1):
            with self.subTest(desktop_mode=desktop):
                self.wine.stop_programs()
                self.wine.reg_add("[Desktop Mode]", "REG_DWORD", desktop)
                self.check_lost_device(desktop)

    def check_lost_device(self, desktop):
        if desktop:
            self.pixels = harness.WindowPixels(self, self.display)
        folder, scr = harness.install_program(self.wine, D3D8_RECORDING)
        # Without multisampling from the start: a software renderer's frames
        # cannot pay for it, and the Reset that gives it up must not mix
        # with the loss's.
        open(os.path.join(folder, "refuse_multisample"), "w").close()
        # One 4:3 flag on every monitor: the folder's one GIF is of other proportions.
        self.wine.reg_add_all({"[Random Flag]": ("REG_DWORD", 0), "[Select Flag]": ("REG_SZ", "United States")})
        overrides = self.wine.env["WINEDLLOVERRIDES"] + ";d3d8=n,b"
        proc = self.wine.start(scr, "/s", env={"WINEDLLOVERRIDES": overrides})
        saver = harness.wait_window(self, self.wine)
        log = os.path.join(folder, "reset_calls.txt")
        self.assertTrue(harness.wait_for(lambda: any(line.startswith("counts ") for line in harness.read_file_lines(log)),
                                         timeout=60), "120 frames before the loss")
        if desktop:
            self.assert_waves(800, 600, "primary monitor")
            self.assert_waves(640, 480, "second monitor")
        else:
            _, before = harness.screenshot_when(self, self.wine, "lost-device-1.png", background_settled())
        open(os.path.join(folder, "lose_device_now"), "w").close()
        self.assertTrue(harness.wait_for(lambda: "presented after-reset" in harness.read_file_lines(log),
                                         timeout=90), harness.read_file_lines(log))
        if desktop:
            self.assert_waves(800, 600, "primary monitor after the reset")
            self.assert_waves(640, 480, "second monitor after the reset")
        else:
            # The camera, the material and the textures are the device's
            # states again: the background shows where it did, and the flag waves.
            _, after = harness.screenshot_when(
                self, self.wine, "lost-device-2.png", lambda im: harness.colour_count(im) > 200 and all(
                    harness.changed_fraction(before.crop(box), im.crop(box)) < 0.01 for box in BACKGROUND_ONLY))
            harness.screenshot_when(self, self.wine, "lost-device-3.png",
                                    lambda im: harness.changed_fraction(after, im) > 0.002)
        self.assertIsNone(proc.poll())
        self.assertFalse(harness.end_requested(self.wine, saver["hwnd"]))
        lines = harness.read_file_lines(log)
        events = [line for line in lines if not line.startswith(("counts ", "depth refused"))]
        if desktop:
            # The other monitor's view may present once more in the turn whose
            # first Present began the loss; never after it.
            events = [line.replace("presents-while-lost=1", "presents-while-lost=0") for line in events]
        self.assertRegex(events[0] if events else "", r"^lost present=\d+$")
        self.assertEqual(events[1:], [
            "not-reset lost-answers=10",
            *["reset phase=not-reset result=88760868 presents-while-lost=0"] * 3,
            "reset phase=not-reset result=0 presents-while-lost=0",
            "vertex-buffer refused",  # made at a later frame: nothing ends
            "presented after-reset",
        ])
        self.assertNotIn("drawn before filled", lines, "the buffer made again is filled first")
        calls = harness.read_file_lines(os.path.join(folder, "device_calls.txt"))
        if desktop:
            self.assertIn("depth refused", lines, "the saver window's depth buffer, made again")
            # The device is looked at once per turn, with the saver window's
            # frame, not once more for every other monitor's.
            counts = harness.parse_fields(next(line for line in lines if line.startswith("counts ")))
            self.assertGreater(int(counts["chain-presents"]), 60, counts)
            self.assertLessEqual(int(counts["device-looks"]), int(counts["device-presents"]) + 2, counts)
            chains = [c for c in calls if c.startswith("swap-chain")]
            self.assertEqual(chains, ["swap-chain windowed=1 size=640x480 samples=0 result=0"] * 2,
                             "one swap chain for the other monitor, made again after the Reset")
            self.assertEqual([c for c in calls if "windowed=0" in c], [], "nothing full screen")
        else:
            self.assertEqual(len(self.covers()), 1, "the cover stays")
        made = [c for c in calls if c.startswith("create") and c.endswith(" result=0")]
        self.assertEqual(made, [f"create windowed={desktop} size=800x600 samples=0 result=0"], "one device")
        # A small display's textures keep their sizes (light spot, font,
        # background, each view's flag), each with its mip chain.
        textures = harness.read_file_lines(os.path.join(folder, "texture_calls.txt"))
        self.assertEqual(sorted(re.sub(r" format=\d+", "", t) for t in textures if t.startswith("texture ")),
                         ["texture size=256x256 levels=9 result=0"] * 2 +
                         ["texture size=512x512 levels=10 result=0"] * (2 + desktop), textures)
        watch = harness.watch_exit(self, self.wine, saver["hwnd"])
        harness.post(self, self.wine, saver["hwnd"], harness.WM_KEYDOWN, 0x41)
        self.assert_gone_with_the_saver(proc, watch, saver)
        if desktop:
            self.pixels.close()

    def check_password_from_the_other_window(self, desktop):
        """A key on the other monitor's window asks for the password for the
        saver window; refused, the saver goes on with that window; accepted
        on the second check, both windows go."""
        self.wine.reg_add("ScreenSaveUsePassword", "REG_DWORD", 1, key=harness.DESKTOP_KEY)
        self.wine.reg_add("[Desktop Mode]", "REG_DWORD", 1 if desktop else 0)
        folder, scr = harness.install_program(self.wine, harness.PASSWORD_CPL)
        class_name = MONITOR_CLASS if desktop else COVER_CLASS
        proc, saver = self.start_saver(scr)
        other = self.shown_covers(class_name)[0]
        calls = lambda: [harness.parse_fields(line) for line in harness.read_file_lines(f"{folder}/verify_calls.txt")]

        harness.post(self, self.wine, other["hwnd"], harness.WM_KEYDOWN, 0x41)
        self.assertTrue(harness.wait_for(lambda: len(calls()) == 1, timeout=60))
        self.assertEqual(calls()[0]["owner"], saver["hwnd"])
        harness.drain_queue(self, self.wine, saver["hwnd"])
        self.assertIsNone(proc.poll())
        order = [w["hwnd"] for w in self.windows()]
        self.assertIn(other["hwnd"], order)
        if desktop:
            # The scene was made again, the other monitor's view with it.
            self.assert_waves(640, 480, "second monitor after a refused password")
        else:
            self.assertLess(order.index(saver["hwnd"]), order.index(other["hwnd"]), "the saver above its cover")

        watch = harness.watch_exit(self, self.wine, saver["hwnd"])
        harness.post(self, self.wine, other["hwnd"], harness.WM_KEYDOWN, 0x41)
        self.assert_gone_with_the_saver(proc, watch, saver)
        self.assertEqual([c["owner"] for c in calls()], [saver["hwnd"]] * 2)

    def test_a_key_on_the_cover_asks_for_the_password_for_the_saver_window(self):
        self.check_password_from_the_other_window(desktop=False)

    def test_a_key_on_the_desktop_mode_window_asks_for_the_password_and_the_view_comes_back(self):
        # Before the saver's windows exist (see WindowPixels).
        self.pixels = harness.WindowPixels(self, self.display)
        self.check_password_from_the_other_window(desktop=True)


class MonitorsThatComeAndGoTest(MonitorChecks, unittest.TestCase):
    """Desktop mode while monitors are unplugged, plugged in again and given
    new sizes: a real change of the display's layout (harness.MonitorLayout).
    The settings are an older version's (800 x 600 x 16, no [Desktop Mode]),
    which two 24-bit monitors do not offer: Desktop mode, with no black cover,
    no message and no display mode changed."""

    def test_windows_follow_the_monitors_and_input_still_ends_through_the_password_check(self):
        harness.require_display()
        layout = harness.MonitorLayout(self, ["800x600+0+0", "640x480+800+0"], screen="1440x900x24")
        self.display, self.wine = layout.display, layout.wine()
        self.addCleanup(self.wine.close)
        harness.use_flag_folder(self.wine)
        self.wine.reg_add_all({"[Screen X]": ("REG_DWORD", 800), "[Screen Y]": ("REG_DWORD", 600),
                               "[BPP]": ("REG_DWORD", 16), "[Pixel Format]": ("REG_DWORD", 24)})
        self.wine.reg_add("ScreenSaveUsePassword", "REG_DWORD", 1, key=harness.DESKTOP_KEY)
        self.pixels = harness.WindowPixels(self, self.display)
        folder, scr = harness.install_program(self.wine, harness.PASSWORD_CPL, D3D8_RECORDING)
        open(os.path.join(folder, "refuse_multisample"), "w").close()  # no Reset giving it up
        overrides = self.wine.env["WINEDLLOVERRIDES"] + ";d3d8=n,b"
        proc = self.wine.start(scr, "/s", env={"WINEDLLOVERRIDES": overrides})
        saver = harness.wait_window(self, self.wine)
        shown = lambda: [w["rect"] for w in self.covers(MONITOR_CLASS) if w.get("visible") == "1"]
        self.assertTrue(harness.wait_for(lambda: shown() == ["800,0,1440,480"], timeout=30), shown())
        self.assert_waves(640, 480, "second monitor")
        self.assertEqual(self.covers(), [], "no black cover")
        self.assertNotIn("Error", [w.get("title") for w in self.windows()])
        self.assertEqual(self.monitors(), [("0,0,800,600", "1"), ("800,0,1440,480", "0")], "no display mode changed")

        layout.change(self.wine, ["800x600+0+0"])
        self.assertTrue(harness.wait_for(lambda: shown() == [], timeout=30), "a window left on a monitor that has gone")
        self.assert_waves(800, 600, "the monitor that stays")
        layout.change(self.wine, ["800x600+0+0", "640x480+800+0"])
        self.assertTrue(harness.wait_for(lambda: shown() == ["800,0,1440,480"], timeout=30), shown())
        self.assert_waves(640, 480, "the monitor plugged in again")

        # A new size that the device keeps refusing: after five refusals the
        # last size that worked, and every monitor moves on.
        open(os.path.join(folder, "refuse_other_sizes"), "w").close()
        layout.change(self.wine, ["1024x768+0+0", "416x300+1024+0"])
        self.assertTrue(harness.wait_for(lambda: shown() == ["1024,0,1440,300"], timeout=30), shown())
        calls = lambda: [c for c in harness.read_file_lines(os.path.join(folder, "device_calls.txt"))
                         if c.startswith("reset ")]
        self.assertTrue(harness.wait_for(lambda: "reset windowed=1 size=800x600 samples=0 result=0" in calls(), timeout=30),
                        f"{len(calls())} Resets, the last {calls()[-3:]}")
        self.assertEqual(calls(), ["reset windowed=1 size=1024x768 samples=0 result=8876086c"] * 5 +
                         ["reset windowed=1 size=800x600 samples=0 result=0"])
        self.assertEqual(harness.window_line(self.wine, saver["hwnd"])["rect"], "0,0,1024,768")
        self.assert_waves(1024, 768, "primary monitor at the size that worked")
        self.assert_waves(416, 300, "second monitor at its new size")
        chains = [c for c in harness.read_file_lines(os.path.join(folder, "device_calls.txt")) if c.startswith("swap-chain")]
        self.assertTrue(chains[-1].startswith("swap-chain windowed=1 size=416x300 "), chains)

        # Input still ends the saver through the password check: refused,
        # then accepted.
        other = [w for w in self.covers(MONITOR_CLASS) if w.get("visible") == "1"][0]
        verified = lambda: harness.read_file_lines(os.path.join(folder, "verify_calls.txt"))
        harness.post(self, self.wine, other["hwnd"], harness.WM_KEYDOWN, 0x41)
        self.assertTrue(harness.wait_for(lambda: len(verified()) == 1, timeout=60))
        self.assert_waves(416, 300, "second monitor after a refused password")
        watch = harness.watch_exit(self, self.wine, saver["hwnd"])
        harness.post(self, self.wine, other["hwnd"], harness.WM_KEYDOWN, 0x41)
        self.assertEqual(harness.wait_exit(self, proc, watch=watch), 0)


class FirstRunOnAWideDisplayTest(unittest.TestCase):
    """A first run (only what an installer writes) on one 1280 x 720 x 24
    display, which cannot show the stored 800 x 600 x 16: Desktop mode at the
    display's own size, with no mode changed and nothing stored."""

    def test_one_window_at_the_display_size_filled_to_its_edges_paced_at_its_refresh(self):
        harness.require_display()
        self.display = harness.start_xvfb(self, "1280x720x24")
        self.wine = harness.Wine(display=self.display)
        self.addCleanup(self.wine.close)
        harness.use_flag_folder(self.wine)
        self.wine.xdotool("mousemove", "0", "0")
        before = self.wine.export_key()
        self.assertEqual(list(before), ["[Directory]"])
        # Xvfb cannot change its mode either way: a d3d8.dll around Wine's
        # records every device the saver makes.
        folder, scr = harness.install_program(self.wine, D3D8_RECORDING)
        refresh = os.path.join(folder, "refresh_hz")
        with open(refresh, "w") as f:
            f.write("120")  # what the display reports, through the recording d3d8.dll
        overrides = self.wine.env["WINEDLLOVERRIDES"] + ";d3d8=n,b"
        proc = self.wine.start(scr, "/s", env={"WINEDLLOVERRIDES": overrides})
        saver = harness.wait_window(self, self.wine)
        self.assertEqual(saver["rect"], "0,0,1280,720")

        # The clock (bottom right) in glyphs, not a filled box: on a 24-bit
        # screen the font picture's black reads back with its top byte set.
        # The start fades in from black, so wait for the text to be lit. The
        # text's green, blended over any background, is far greener than grass.
        def text_green(im):
            clock = list(im.crop((1090, 686, 1191, 712)).getdata())
            return sum(1 for r, g, b in clock if g >= 110 and g > r + 80 and g > b + 60) / len(clock)

        # The background, made for 4:3, fills the display to its corners and
        # the side strips a 4:3 rectangle leaves black, below the texts.
        edges = ((0, 0, 64, 64), (1216, 0, 1280, 64), (0, 656, 64, 720), (1216, 656, 1280, 720),
                 (0, 100, 140, 600), (1140, 100, 1280, 600))
        _, first = harness.screenshot_when(
            self, self.wine, "first-run-wide.png",
            lambda im: im.size == (1280, 720) and text_green(im) > 0.05 and
            all(harness.colour_count(im.crop(box)) > 20 for box in edges))
        middle = (320, 180, 960, 540)
        path, later = harness.screenshot_when(
            self, self.wine, "first-run-wide-later.png",
            lambda im: harness.changed_fraction(first.crop(middle), im.crop(middle)) > 0.01)
        self.assertTrue(0.05 < text_green(later) < 0.75,
                        f"clock text covers {text_green(later):.2f} of its box in {path}")
        code, out = self.wine.wintool("list")
        self.assertNotIn("Error", [w.get("title") for w in harness.parse_lines(out)])
        others = [w for w in harness.parse_lines(out)
                  if w.get("pid") == saver["pid"] and w.get("visible") == "1" and w["hwnd"] != saver["hwnd"]]
        self.assertEqual(others, [], "one window")
        # One windowed device at the display's size: no full-screen one, not
        # even for loading the background.
        calls = harness.read_file_lines(os.path.join(folder, "device_calls.txt"))
        self.assertEqual([c for c in calls if c.startswith("create ")], ["create windowed=1 size=1280x720 samples=4 result=0"])
        self.assertIn("depth size=1280x720 samples=4 result=0", calls)
        # Textures as large as the display draws them: the background by its
        # width, the flag (the random pick's, 4:3 or not) and the font by its height.
        made = [re.sub(r" format=\d+| result=0", "", t) for t in harness.read_file_lines(
            os.path.join(folder, "texture_calls.txt")) if t.startswith("texture ") and t.endswith(" result=0")]
        self.assertEqual([re.sub(r"512x256", "512x512", t) for t in made], [
            f"texture size={side}x{side} levels={levels}" for side, levels in
            ((256, 9), (2048, 12), (512, 10), (256, 9))], made)
        # The display goes from 120 Hz to 5: the next frames are paced at
        # 5 a second (slower than any machine draws them), with no Reset.
        log = os.path.join(folder, "reset_calls.txt")
        presents = lambda: [harness.parse_fields(line) for line in harness.read_file_lines(log)
                            if line.startswith("presents ")]
        with open(refresh, "w") as f:
            f.write("5")
        before_change = len(presents())
        harness.post(self, self.wine, saver["hwnd"], WM_DISPLAYCHANGE, 24, harness.mouse_lparam(1280, 720))
        self.assertTrue(harness.wait_for(lambda: len(presents()) >= before_change + 3, timeout=60), presents())
        last, previous = presents()[-1], presents()[-2]
        self.assertGreaterEqual(int(last["ms"]) - int(previous["ms"]), 20 * 1000 / 6,
                                "20 frames at no more than 6 a second")
        self.assertIsNone(proc.poll())
        watch = harness.watch_exit(self, self.wine, saver["hwnd"])
        self.assertEqual(harness.end_saver_by_input(self.wine, saver["hwnd"], proc, watch), 0)
        self.assertEqual(self.wine.export_key(), before)


class DesktopModeOnLargeDisplaysTest(unittest.TestCase):
    """Wide and large displays in Desktop mode: the background, made for 4:3,
    fills a 16:9 display to the edges, and the textures are as large as the
    display draws them (the background by the view's width, the flag and the
    font by its height), with smooth edges; where the device refuses large
    textures and multisampling, smaller ones and none, and the flag still
    shows."""

    # display, files beside the recording d3d8.dll, the textures made (light
    # spot, background, flag, font, large font), the device's samples, and
    # whether its frames fall so short of the pace (a software renderer at
    # 2560 x 1600 always does) that multisampling is given up. 1600 rows
    # take the largest textures (those of a 4K display) at half its pixels;
    # a 1280 x 720 display's are the first run's (FirstRunOnAWideDisplayTest).
    ROWS = [
        ("2560x1600x24", {}, ["256x256 levels=9", "2048x2048 levels=12", "2048x2048 levels=12",
                              "256x256 levels=9", "1024x1024 levels=11"], 4, True),
        ("2560x1600x24", {"max_texture_side": "1024", "refuse_multisample": ""},
         ["256x256 levels=9", "1024x1024 levels=11", "1024x1024 levels=11", "256x256 levels=9",
          "1024x1024 levels=11"], 0, False),
    ]

    def test_each_display_gets_textures_of_its_size_and_smooth_edges(self):
        harness.require_display()
        wine = None
        for screen, knobs, textures, samples, dropped in self.ROWS:
            with self.subTest(screen=screen, knobs=sorted(knobs)):
                if not wine or wine.screen != screen:
                    wine = harness.Wine(display=harness.start_xvfb(self, screen))
                    wine.screen = screen
                    self.addCleanup(wine.close)
                    harness.use_flag_folder(wine)
                    wine.reg_add_all({"[Desktop Mode]": ("REG_DWORD", 1), "[Random Flag]": ("REG_DWORD", 0),
                                      "[Select Flag]": ("REG_SZ", "United States")})
                    folder, scr = harness.install_program(wine, D3D8_RECORDING)
                self.check_display(wine, folder, scr, screen, knobs, textures, samples, dropped)

    def check_display(self, wine, folder, scr, screen, knobs, textures, samples, dropped):
        for name in ("texture_calls.txt", "device_calls.txt", "max_texture_side", "refuse_multisample"):
            if os.path.exists(os.path.join(folder, name)):
                os.remove(os.path.join(folder, name))
        for name, text in knobs.items():
            with open(os.path.join(folder, name), "w") as f:
                f.write(text)
        width, height = (int(n) for n in screen.split("x")[:2])
        overrides = wine.env["WINEDLLOVERRIDES"] + ";d3d8=n,b"
        proc = wine.start(scr, "/s", env={"WINEDLLOVERRIDES": overrides})
        saver = harness.wait_window(self, wine)
        self.assertEqual(saver["rect"], f"0,0,{width},{height}")
        # The side strips a 4:3 rectangle would leave black, below the
        # texts, and the flag's red stripes in the middle.
        strips = ((0, height // 7, width // 9, height * 5 // 6), (width * 8 // 9, height // 7, width, height * 5 // 6))
        middle = (width * 3 // 8, height * 3 // 8, width * 5 // 8, height * 5 // 8)
        harness.screenshot_when(
            self, wine, f"desktop-{width}x{height}-{samples}.png",
            lambda im: im.size == (width, height) and all(harness.colour_count(im.crop(box)) > 100 for box in strips)
            and sum(map(harness.is_reddish, harness.pixels(im, middle, step=8))) > 50)
        calls = lambda: harness.read_file_lines(os.path.join(folder, "device_calls.txt"))
        given_up = f"reset windowed=1 size={width}x{height} samples=0 result=0"
        if dropped:
            self.assertTrue(harness.wait_for(lambda: given_up in calls(), timeout=60), calls())
        watch = harness.watch_exit(self, wine, saver["hwnd"])
        harness.post(self, wine, saver["hwnd"], harness.WM_KEYDOWN, 0x41)
        self.assertEqual(harness.wait_exit(self, proc, timeout=harness.END_SECONDS, watch=watch), 0)
        self.assertEqual([c for c in calls() if c.startswith("create ") and c.endswith(" result=0")],
                         [f"create windowed=1 size={width}x{height} samples={samples} result=0"], calls())
        self.assertIn(f"depth size={width}x{height} samples={samples} result=0", calls())
        if dropped is False:
            self.assertNotIn(given_up, calls())
        made = [re.sub(r" format=\d+", "", t)[len("texture size="):]
                for t in harness.read_file_lines(os.path.join(folder, "texture_calls.txt")) if t.startswith("texture ")]
        self.assertEqual([t[:-len(" result=0")] for t in made if t.endswith(" result=0")], textures, made)
        if dropped:  # given up, the filters too: linear minifying and no mip filter, as before (D3DTSS_ 17, 18)
            stage = {f["state"]: f["value"] for f in map(harness.parse_fields, harness.read_file_lines(
                os.path.join(folder, "texture_calls.txt"))) if "state" in f and f.get("value")}
            self.assertEqual((stage.get("17"), stage.get("18")), ("2", "0"), stage)


if __name__ == "__main__":
    harness.main()
