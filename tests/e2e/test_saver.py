"""The full-screen saver ("/s"): its window, the animation, what ends it and
what does not, the settings left untouched, a display that cannot switch to
the stored mode, a device that cannot be made in any mode, and a device that
is lost and reset."""
import os
import re
import time
import unittest

import harness

# A d3d8.dll around Wine's whose device is lost once the file lose_device_now
# appears beside it; it writes reset_calls.txt (tests/tools/dll/d3d8_lost_device.cpp).
D3D8_LOST_DEVICE = os.path.join(harness.TEST_DLLS, "d3d8-lost-device", "d3d8.dll")
# Parts of the screen where only the background shows at 800 x 600, well
# away from the flag (x 208 ... 592, y 158 ... 447 while it hangs flat) and the texts.
BACKGROUND_ONLY = [(200, 20, 600, 90), (620, 20, 790, 140), (10, 200, 170, 400)]


class SaverTest(harness.PrefixPerClassTest):
    def setUp(self):
        super().setUp()
        harness.use_flag_folder(self.wine)
        # Wine reports the pointer once when the window appears; at (0, 0)
        # that report changes no coordinate.
        self.wine.xdotool("mousemove", "0", "0")

    def start_saver(self):
        proc = self.wine.start(harness.SCR, "/s")
        return proc, harness.wait_window(self, self.wine)

    def test_the_flag_and_its_name_change_by_a_cross_fade_with_no_black_frame(self):
        """Random Logo, a change every minute, a folder of a red and a blue
        flag: after a minute the other flag fades in over the first on the
        waving cloth (half way, both show), its name replaces the first's,
        and no picture between is black."""
        from PIL import Image
        image = os.path.join(harness.output_folder(), "tour", "IMAGE")
        os.makedirs(image, exist_ok=True)
        for name, colour in (("Red", (220, 20, 30)), ("Blue", (20, 40, 220))):
            Image.new("RGB", (256, 192), colour).save(os.path.join(image, name + ".bmp"), "BMP")
        self.wine.reg_add_all({"[Directory]": ("REG_SZ", harness.windows_path(os.path.dirname(image))),
                               "[Change Minutes]": ("REG_DWORD", 1), "[Random Flag]": ("REG_DWORD", 1),
                               "[bCountry]": ("REG_DWORD", 1)})
        flag_box, name_box = (260, 200, 540, 400), (0, 0, 320, 40)

        def shares(im):
            seen = harness.pixels(im, flag_box, step=4)
            red = sum(1 for p in seen if p[0] > 120 and p[2] < 90) / len(seen)
            blue = sum(1 for p in seen if p[2] > 120 and p[0] < 90) / len(seen)
            mixed = sum(1 for p in seen if 60 < p[0] < 190 and 60 < p[2] < 190 and p[1] < 80) / len(seen)
            dark = sum(1 for p in seen if max(p) < 40) / len(seen)
            return red, blue, mixed, dark

        def steady_name(also):
            """A predicate: the name's corner as in the last three pictures
            before (no fade going on), and also(im)."""
            names = []

            def steady(im):
                names.append(im.crop(name_box))
                return len(names) > 3 and harness.changed_fraction(names[-4], names[-1]) == 0 and also(im)
            return steady

        proc, window = self.start_saver()
        _, first = harness.screenshot_when(self, self.wine, "tour-first.png",
                                           steady_name(lambda im: max(shares(im)[:2]) > 0.5))
        was_red = shares(first)[0] > 0.5
        seen = []

        def changed():
            _, im = self.wine.shot("tour.png", save=False)
            seen.append((shares(im), im))
            red, blue, _, _ = seen[-1][0]
            return (blue if was_red else red) > 0.5

        self.assertTrue(harness.wait_for(changed, timeout=120, interval=0.05), "the flag did not change")
        fading = [im for s, im in seen if s[2] > 0.15]
        self.assertTrue(fading, "no picture of the fade half way")
        self.wine.keep_shot(os.path.join(harness.output_folder(), "tour-fade.png"), fading[len(fading) // 2])
        self.assertEqual([s for s, _ in seen if s[3] > 0.5], [], "a black picture during the change")
        # Once the fade is over the name stays, and it is the other flag's.
        harness.screenshot_when(self, self.wine, "tour-after.png", steady_name(
            lambda im: harness.changed_fraction(first.crop(name_box), im.crop(name_box)) > 0.01), timeout=20)
        self.assertIsNone(proc.poll())
        watch = harness.watch_exit(self, self.wine, window["hwnd"])
        harness.post(self, self.wine, window["hwnd"], harness.WM_KEYDOWN, 0x41)
        self.assertEqual(harness.wait_exit(self, proc, watch=watch), 0)

    def test_window_animation_and_untouched_settings(self):
        before = self.wine.export_key()
        self.assertIsNotNone(before)
        proc, window = self.start_saver()

        self.assertEqual(window["title"], harness.SAVER_CLASS)
        self.assertEqual(window["rect"], "0,0,800,600")
        self.assertEqual(window["visible"], "1")
        style, exstyle = int(window["style"], 16), int(window["exstyle"], 16)
        self.assertTrue(style & 0x80000000, "WS_POPUP")       # a pop-up, not a child
        self.assertFalse(style & 0x40000000, "WS_CHILD")
        self.assertTrue(exstyle & 0x00000008, "WS_EX_TOPMOST")
        _, first = harness.screenshot_when(self, self.wine, "saver-1.png", lambda im: harness.colour_count(im) > 200)
        # One monitor: no cover window besides the saver's (covers come before the first frame).
        _, out = self.wine.wintool("list")
        self.assertNotIn("Brevanto Flags Cover", [w.get("class") for w in harness.parse_lines(out)])
        path, second = harness.screenshot_when(self, self.wine, "saver-2.png",
                                         lambda im: harness.changed_fraction(first, im) > 0.002)
        # The flag waves: a later picture differs in part.
        self.assertGreater(harness.changed_fraction(first, second), 0.002, path)

        watch = harness.watch_exit(self, self.wine, window["hwnd"])
        self.assertEqual(harness.end_saver_by_input(self.wine, window["hwnd"], proc, watch, how=("key", "space")), 0)
        self.assertEqual(self.wine.export_key(), before)

    def test_inputs_that_end_the_saver(self):
        # Wine merges pointer moves that queue up unread, so how many real
        # moves make six changes varies; the exact count is checked with
        # posted moves below. Here: real moves end it. A key or a click is
        # given once (the pointer rests on the saver window, which gets it
        # whether the X focus is on the saver window or the root).
        ways = [
            ("pointer moves", "pointer"),
            ("key press", ("key", "a")),
            ("left button", ("click", "1")),
            ("right button", ("click", "3")),
            ("middle button", ("post", harness.WM_MBUTTONDOWN, 0x10, 0)),
            ("another program activated", ("post", harness.WM_ACTIVATEAPP, 0, 0)),
            ("suspend", ("post", harness.WM_POWERBROADCAST, harness.PBT_APMSUSPEND, 0)),
            # Not one of the swallowed commands as a whole value: the system
            # closes the window, which also ends the program.
            ("close command 0xF061", ("post", harness.WM_SYSCOMMAND, 0xF061, 0)),
        ]
        for name, how in ways:
            with self.subTest(name):
                self.wine.xdotool("mousemove", "0", "0")
                proc, window = self.start_saver()
                try:
                    watch = harness.watch_exit(self, self.wine, window["hwnd"])
                    self.assertEqual(harness.end_saver_by_input(self.wine, window["hwnd"], proc, watch, how=how), 0)
                finally:
                    if proc.poll() is None:
                        proc.kill()
                        proc.wait()

    def test_inputs_that_do_not_end_the_saver(self):
        proc, window = self.start_saver()
        hwnd = window["hwnd"]
        ignored = [
            (harness.WM_SYSKEYDOWN, 0x41, harness.ALT_CONTEXT),  # Alt+A
            (harness.WM_SYSKEYDOWN, 0x79, 0),              # F10
            (harness.WM_LBUTTONUP, 0, 0),
            (harness.WM_RBUTTONUP, 0, 0),
            (harness.WM_MOUSEWHEEL, 0x00780000, 0),
            (harness.WM_ACTIVATEAPP, 1, 0),
            (harness.WM_POWERBROADCAST, 7, 0),
            (harness.WM_SYSCOMMAND, 0xF060, 0),  # close
            (harness.WM_SYSCOMMAND, 0xF140, 0),  # screen saver
            (harness.WM_SYSCOMMAND, 0xF050, 0),  # previous window
            (harness.WM_SYSCOMMAND, 0xF040, 0),  # next window
        ]
        for message, wparam, lparam in ignored:
            harness.post(self, self.wine, hwnd, message, wparam, lparam)
        # From (0, 0): 2, 3, 5 coordinate changes, and repeats that count nothing.
        for x, y in [(512, 384), (513, 384), (513, 384), (514, 385), (514, 385)]:
            harness.post(self, self.wine, hwnd, harness.WM_MOUSEMOVE, 0, harness.mouse_lparam(x, y))
        harness.drain_queue(self, self.wine, hwnd)
        self.assertFalse(harness.end_requested(self.wine, hwnd))
        self.assertIsNone(proc.poll())

        # The sixth change ends it.
        watch = harness.watch_exit(self, self.wine, hwnd)
        harness.post(self, self.wine, hwnd, harness.WM_MOUSEMOVE, 0, harness.mouse_lparam(515, 385))
        self.assertEqual(harness.wait_exit(self, proc, timeout=harness.END_SECONDS, watch=watch), 0)

    def test_a_device_that_cannot_be_made_is_reported_and_ends_the_program(self):
        # An adapter that lists no mode and makes no device at all: the saver
        # runs Desktop mode, and not even its windowed device can be made.
        folder, scr = harness.install_program(self.wine, harness.D3D8_WITHOUT_DEVICE)
        overrides = self.wine.env["WINEDLLOVERRIDES"] + ";d3d8=n"
        proc = self.wine.start(scr, "/s", env={"WINEDLLOVERRIDES": overrides})
        box = harness.wait_window(self, self.wine, title="Error", class_name="#32770")
        # Read once the box shows its text and a button: it makes them after its title.
        self.assertEqual(harness.box_text(self.wine, box["hwnd"]), "CreateDevice FAILED")
        watch = harness.watch_exit(self, self.wine, box["hwnd"])
        harness.post(self, self.wine, box["hwnd"], harness.WM_COMMAND, harness.IDOK)
        self.assertEqual(harness.wait_exit(self, proc, timeout=harness.END_SECONDS, watch=watch), 0)
        code, out = self.wine.wintool("list")
        self.assertNotIn(harness.SAVER_CLASS, out)
        with open(os.path.join(folder, "create_device_calls.txt")) as f:
            calls = [harness.parse_fields(line) for line in f if line.strip()]
        attempts = [(c["width"], c["height"], c["format"], c["windowed"]) for c in calls]
        # No loading device and no full-screen attempt: one windowed device in
        # the saver window's client area, in the display's own format.
        self.assertEqual(attempts, [("800", "600", "22", "1")])

    def test_a_lost_device_is_reset_and_draws_again(self):
        folder, scr = harness.install_program(self.wine, D3D8_LOST_DEVICE)
        # Native first, then built-in: the DLL loads Wine's own from system32.
        overrides = self.wine.env["WINEDLLOVERRIDES"] + ";d3d8=n,b"
        proc = self.wine.start(scr, "/s", env={"WINEDLLOVERRIDES": overrides})
        window = harness.wait_window(self, self.wine)
        # Once the start's fade from black is over: the background as half
        # a second before.
        shots = []

        def settled(im):
            now = time.monotonic()
            shots.append((now, im))
            older = [old for t, old in shots if now - t >= 0.5]
            return harness.colour_count(im) > 200 and bool(older) and all(
                harness.changed_fraction(older[-1].crop(box), im.crop(box)) < 0.01 for box in BACKGROUND_ONLY)

        _, before = harness.screenshot_when(self, self.wine, "lost-device-1.png", settled)
        log = os.path.join(folder, "reset_calls.txt")
        open(os.path.join(folder, "lose_device_now"), "w").close()
        self.assertTrue(harness.wait_for(lambda: "presented after-reset" in harness.read_file_lines(log),
                                         timeout=90), harness.read_file_lines(log))

        def as_before_the_loss(image):
            # The camera, the material and the textures are the device's
            # states again: the background shows where it did.
            return harness.colour_count(image) > 200 and all(
                harness.changed_fraction(before.crop(box), image.crop(box)) < 0.01 for box in BACKGROUND_ONLY)

        _, after = harness.screenshot_when(self, self.wine, "lost-device-2.png", as_before_the_loss)
        path, later = harness.screenshot_when(self, self.wine, "lost-device-3.png",
                                              lambda im: harness.changed_fraction(after, im) > 0.002)
        self.assertGreater(harness.changed_fraction(after, later), 0.002, path)
        watch = harness.watch_exit(self, self.wine, window["hwnd"])
        self.assertEqual(harness.end_saver_by_input(self.wine, window["hwnd"], proc, watch), 0)

        # Nothing presented and no Reset while the device was lost; the
        # refused Resets and the refused vertex buffer are tried again at
        # later frames, and once a Reset succeeds the device is never reset
        # again.
        lines = [line for line in harness.read_file_lines(log) if not line.startswith("counts ")]
        self.assertRegex(lines[0] if lines else "", r"^lost present=\d+$")
        self.assertEqual(lines[1:], [
            "not-reset lost-answers=10",
            *["reset phase=not-reset result=88760868 presents-while-lost=0"] * 3,
            "reset phase=not-reset result=0 presents-while-lost=0",
            "vertex-buffer refused",  # made at a later frame: nothing ends
            "presented after-reset",
        ])
        # On a small display the textures keep their sizes (light spot and
        # font, then background and flag), each with its mip chain, sampled
        # trilinear or better; the full-screen device has smooth edges.
        textures = harness.read_file_lines(os.path.join(folder, "texture_calls.txt"))
        self.assertEqual(sorted(re.sub(r" format=\d+", "", t) for t in textures if t.startswith("texture ")),
                         ["texture size=256x256 levels=9 result=0"] * 2 +
                         ["texture size=512x512 levels=10 result=0"] * 2, textures)
        self.assertIn("stage 0 state=18 value=2", textures, "linear between mip levels")
        self.assertIn("create windowed=0 size=800x600 samples=4 result=0",
                      harness.read_file_lines(os.path.join(folder, "device_calls.txt")))


class TodaysDisplayTest(unittest.TestCase):
    """A first run on a display that cannot switch to the default 800 x 600
    x 16 (a 24-bit X desktop): the saver runs in the display's own mode."""

    def setUp(self):
        harness.require_display()
        display = harness.start_xvfb(self, "1024x768x24")
        self.wine = harness.Wine(display=display)
        self.addCleanup(self.wine.close)
        # Only what an installer writes: nothing chooses a mode.
        harness.use_flag_folder(self.wine)
        self.wine.xdotool("mousemove", "0", "0")

    def test_first_run_covers_the_screen_in_its_own_mode_and_stores_nothing(self):
        before = self.wine.export_key()
        self.assertEqual(list(before), ["[Directory]"])
        proc = self.wine.start(harness.SCR, "/s")
        window = harness.wait_window(self, self.wine)
        self.assertEqual(window["rect"], "0,0,1024,768")

        # The clock (bottom right) in glyphs, not a filled box: on a 24-bit
        # screen the font picture's black reads back with its top byte set.
        # The start fades in from black, so wait for the text to be lit.
        def text_green(im):
            clock = list(im.crop((872, 732, 980, 762)).getdata())
            return sum(1 for r, g, b in clock if g >= 110 and g > r + 40 and g > b + 30) / len(clock)

        _, first = harness.screenshot_when(self, self.wine, "first-run-1024x768x24-1.png",
                                     lambda im: text_green(im) > 0.05)
        path, second = harness.screenshot_when(self, self.wine, "first-run-1024x768x24.png",
                                         lambda im: harness.changed_fraction(first, im) > 0.002)
        self.assertEqual(second.size, (1024, 768))
        # The background reaches the corners, beyond what 800 x 600 would cover.
        for box in [(0, 0, 64, 64), (960, 704, 1024, 768), (824, 0, 1024, 64), (0, 624, 64, 768)]:
            self.assertGreater(harness.colour_count(second.crop(box)), 20, f"{box} in {path}")
        self.assertTrue(0.05 < text_green(second) < 0.75,
                        f"clock text covers {text_green(second):.2f} of its box in {path}")
        code, out = self.wine.wintool("list")
        self.assertNotIn("Error", [w.get("title") for w in harness.parse_lines(out)])

        watch = harness.watch_exit(self, self.wine, window["hwnd"])
        self.assertEqual(harness.end_saver_by_input(self.wine, window["hwnd"], proc, watch), 0)
        self.assertEqual(self.wine.export_key(), before)

if __name__ == "__main__":
    harness.main()
