"""The full-screen saver ("/s"): its window, the animation, what ends it and
what does not, the settings left untouched and a device that cannot be made
in any mode. (A lost device, and a display that cannot switch to the stored
mode: test_monitors.py.)"""
import os
import time

import harness


class SaverTest(harness.PrefixPerClassTest):
    def setUp(self):
        super().setUp()
        harness.use_flag_folder(self.wine)
        # Wine reports the pointer once when the window appears; at (0, 0)
        # that report changes no coordinate.
        self.wine.xdotool("mousemove", "0", "0")

    def test_window_inputs_that_do_not_end_it_and_the_flag_changing_by_a_cross_fade(self):
        """Random Logo, a change every minute, a folder of a red and a blue
        flag, in Desktop mode (a new install's) on a display of 30 Hz (as
        the recording d3d8.dll reports it: a software renderer draws half the
        frames of the minute). The saver's window covers the screen and the
        flag waves; input that is no end request ends nothing, and the sixth
        mouse move ends the saver (after the change). After a minute the
        other flag fades in over the first on the waving cloth (half way,
        both show), its name replaces the first's, and no picture between is
        black. The settings stay as they were."""
        from PIL import Image
        image = os.path.join(harness.output_folder(), "tour", "IMAGE")
        os.makedirs(image, exist_ok=True)
        for name, colour in (("Red", (220, 20, 30)), ("Blue", (20, 40, 220))):
            Image.new("RGB", (256, 192), colour).save(os.path.join(image, name + ".bmp"), "BMP")
        self.wine.reg_add_all({"[Directory]": ("REG_SZ", harness.windows_path(os.path.dirname(image))),
                               "[Change Minutes]": ("REG_DWORD", 1), "[Random Flag]": ("REG_DWORD", 1),
                               "[bCountry]": ("REG_DWORD", 1), "[Desktop Mode]": ("REG_DWORD", 1)})
        folder, scr = harness.install_program(self.wine, harness.D3D8_RECORDING)
        with open(os.path.join(folder, "refresh_hz"), "w") as f:
            f.write("30")
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

        before = self.wine.export_key()
        proc = self.wine.start(scr, "/s", env={"WINEDLLOVERRIDES": self.wine.env["WINEDLLOVERRIDES"] + ";d3d8=n,b"})
        window = harness.wait_window(self, self.wine)
        started = time.monotonic()
        hwnd = window["hwnd"]
        self.assertEqual(window["title"], harness.SAVER_CLASS)
        self.assertEqual(window["rect"], "0,0,800,600")
        self.assertEqual(window["visible"], "1")
        style, exstyle = int(window["style"], 16), int(window["exstyle"], 16)
        self.assertTrue(style & 0x80000000, "WS_POPUP")  # a pop-up, not a child
        self.assertFalse(style & 0x40000000, "WS_CHILD")
        self.assertTrue(exstyle & 0x00000008, "WS_EX_TOPMOST")
        _, first = harness.screenshot_when(self, self.wine, "tour-first.png",
                                           steady_name(lambda im: max(shares(im)[:2]) > 0.5))
        was_red = shares(first)[0] > 0.5
        # One monitor: no cover window besides the saver's (covers come before the first frame).
        _, out = self.wine.wintool("list")
        self.assertNotIn("Brevanto Flags Cover", [w.get("class") for w in harness.parse_lines(out)])
        # The flag waves: a later picture differs in part.
        harness.screenshot_when(self, self.wine, "saver-waves.png",
                                lambda im: harness.changed_fraction(first, im) > 0.002)

        ignored = [
            (harness.WM_SYSKEYDOWN, 0x41, harness.ALT_CONTEXT),  # Alt+A
            (harness.WM_SYSKEYDOWN, 0x79, 0),  # F10
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
        seen = []

        def changed():
            _, im = self.wine.shot("tour.png", save=False)
            share = shares(im)
            # Only the fade's pictures and black ones are kept, with their time from the start.
            seen.append((share, im if share[2] > 0.15 or share[3] > 0.5 else None, time.monotonic() - started))
            red, blue, _, _ = share
            return (blue if was_red else red) > 0.5

        # The change is due a minute after the start: looked for twice a
        # second until shortly before, then at every frame or so.
        harness.wait_for(lambda: time.monotonic() > started + 50 or changed(), timeout=60, interval=0.5)
        self.assertTrue(harness.wait_for(changed, timeout=120, interval=0.05), "the flag did not change")
        fading = [im for share, im, _ in seen if im is not None and share[2] > 0.15]
        self.assertTrue(fading, "no picture of the fade half way")
        self.wine.keep_shot(os.path.join(harness.output_folder(), "tour-fade.png"), fading[len(fading) // 2])
        # From 40 s on: early in the run a software renderer gives up the
        # extras by a Reset, which may show a black frame.
        black = [(round(t, 1), im) for share, im, t in seen if share[3] > 0.5 and t > 40]
        if black:
            self.wine.keep_shot(os.path.join(harness.output_folder(), "tour-black.png"), black[0][1])
        self.assertEqual([t for t, _ in black], [], "seconds from the start of black pictures")
        # Once the fade is over the name stays, and it is the other flag's.
        harness.screenshot_when(self, self.wine, "tour-after.png", steady_name(
            lambda im: harness.changed_fraction(first.crop(name_box), im.crop(name_box)) > 0.01), timeout=20)
        self.assertIsNone(proc.poll())
        # The sixth change ends it.
        watch = harness.watch_exit(self, self.wine, hwnd)
        harness.post(self, self.wine, hwnd, harness.WM_MOUSEMOVE, 0, harness.mouse_lparam(515, 385))
        self.assertEqual(harness.wait_exit(self, proc, watch=watch), 0)
        self.assertEqual(self.wine.export_key(), before)

    def test_inputs_that_end_the_saver(self):
        # Real pointer moves end every saver the bad-input runs start (the
        # exact count is checked with posted moves above). A key or a click is
        # given once (the pointer rests on the saver window, which gets it
        # whether the X focus is on the saver window or the root).
        ways = [
            ("key press", ("key", "space")),
            # The right button's message has its row in the window rules,
            # which every message of the window goes through.
            ("left button", ("click", "1")),
            # Posted: one message the rules end the saver on (each such
            # message has its row there) and the one the system acts on.
            ("suspend", ("post", harness.WM_POWERBROADCAST, harness.PBT_APMSUSPEND, 0)),
            # Not one of the swallowed commands as a whole value: the system
            # closes the window, which also ends the program.
            ("close command 0xF061", ("post", harness.WM_SYSCOMMAND, 0xF061, 0)),
        ]
        for name, how in ways:
            with self.subTest(name):
                self.wine.xdotool("mousemove", "0", "0")
                proc = self.wine.start(harness.SCR, "/s")
                window = harness.wait_window(self, self.wine)
                try:
                    watch = harness.watch_exit(self, self.wine, window["hwnd"])
                    self.assertEqual(harness.end_saver_by_input(self.wine, window["hwnd"], proc, watch, how=how), 0)
                finally:
                    if proc.poll() is None:
                        proc.kill()
                        proc.wait()

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


if __name__ == "__main__":
    harness.main()
