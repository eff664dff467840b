"""The password check before the saver ends: a refused password resumes the
animation with the settings read again; the accepted one ends the saver;
without a password setting or a verifier the first input ends it."""
import os

from PIL import Image

import harness

MAGENTA = (255, 0, 255)
# Posted, so that exactly one check starts: a posted key is neither merged nor lost.
KEY_A = ("post", harness.WM_KEYDOWN, 0x41, 0)


class PasswordTest(harness.PrefixPerClassTest):
    def setUp(self):
        super().setUp()
        self.wine.reg_delete(harness.DESKTOP_KEY, "ScreenSaveUsePassword")
        harness.use_flag_folder(self.wine)
        self.wine.xdotool("mousemove", "0", "0")

    def calls(self, folder):
        path = os.path.join(folder, "verify_calls.txt")
        if not os.path.exists(path):
            return []
        with open(path) as f:
            return [harness.parse_fields(line) for line in f if line.strip()]

    def set_use_password(self, kind, data):
        self.wine.reg_add("ScreenSaveUsePassword", kind, data, key=harness.DESKTOP_KEY)

    def test_refused_password_resumes_with_fresh_settings_then_accepted_one_ends(self):
        self.set_use_password("REG_DWORD", 1)
        folder, scr = harness.install_program(self.wine, harness.PASSWORD_CPL)
        logo = os.path.join(folder, "magenta.bmp")
        Image.new("RGB", (64, 64), MAGENTA).save(logo)
        self.wine.reg_add("[Use Flag-Logo]", "REG_DWORD", 0)
        # A mode this display cannot show: the device runs in the display's own.
        self.wine.reg_add("[Screen X]", "REG_DWORD", 1024)
        self.wine.reg_add("[Screen Y]", "REG_DWORD", 768)
        with open(os.path.join(folder, "verify_accept_at.txt"), "w") as f:
            f.write("3")

        proc = self.wine.start(scr, "/s")
        hwnd = harness.wait_window(self, self.wine)["hwnd"]
        _, before = harness.screenshot_when(self, self.wine, "password-before.png",
                                      lambda im: harness.colour_count(im) > 200)
        self.assertLess(harness.near_colour_count(before, MAGENTA), 500)

        # Changed while the saver runs: only a reload can show it.
        self.wine.reg_add("[Use Flag-Logo]", "REG_DWORD", 1)
        self.wine.reg_add("[Logo Full Path]", "REG_SZ", harness.windows_path(logo))
        self.wine.reg_add("[Logo Title]", "REG_SZ", "Magenta")

        harness.post(self, self.wine, hwnd, harness.WM_KEYDOWN, 0x41)
        self.assertTrue(harness.wait_for(lambda: len(self.calls(folder)) == 1, timeout=30))
        path, after = harness.screenshot_when(self, self.wine, "password-resumed.png",
                                        lambda im: harness.near_colour_count(im, MAGENTA) > 20000)
        self.assertIsNone(proc.poll())
        self.assertEqual(harness.window_line(self.wine, hwnd)["class"], harness.SAVER_CLASS)

        # Refused again: the device comes back in the mode it had, not in the
        # reloaded settings' mode, which this display cannot show.
        harness.post(self, self.wine, hwnd, harness.WM_KEYDOWN, 0x41)
        self.assertTrue(harness.wait_for(lambda: len(self.calls(folder)) == 2, timeout=30))
        harness.drain_queue(self, self.wine, hwnd)
        _, out = self.wine.wintool("list")
        self.assertNotIn("Error", [w.get("title") for w in harness.parse_lines(out)])
        # Frames again: a picture that differs from a first one, both with the flag.
        _, again = harness.screenshot_when(self, self.wine, "password-resumed-again-1.png",
                                           lambda im: harness.near_colour_count(im, MAGENTA) > 20000)
        harness.screenshot_when(self, self.wine, "password-resumed-again.png",
                                lambda im: harness.near_colour_count(im, MAGENTA) > 20000
                                and harness.changed_fraction(again, im) > 0.002)
        self.assertIsNone(proc.poll())

        watch = harness.watch_exit(self, self.wine, hwnd)
        code = harness.end_saver_by_input(self.wine, hwnd, proc, watch, how=KEY_A,
                                          until=lambda: len(self.calls(folder)) >= 3)
        self.assertEqual(code, 0)
        self.assertEqual(self.calls(folder), [{"call": str(n), "owner": hwnd} for n in (1, 2, 3)])

    def test_inputs_during_the_check_and_after_the_grant_start_nothing(self):
        self.set_use_password("REG_DWORD", 1)
        folder, scr = harness.install_program(self.wine, harness.PASSWORD_CPL)
        with open(os.path.join(folder, "verify_accept_at.txt"), "w") as f:
            f.write("1")
        proc = self.wine.start(scr, "/s")
        hwnd = harness.wait_window(self, self.wine)["hwnd"]
        watch = harness.watch_exit(self, self.wine, hwnd)
        # The first is granted; the ones queued behind it find the end granted,
        # or, where the saver is quicker than the posts, no window at all.
        harness.post(self, self.wine, hwnd, harness.WM_KEYDOWN, 0x41)
        for key in (0x42, 0x43):
            harness.post(self, self.wine, hwnd, harness.WM_KEYDOWN, key, must_arrive=False)
        harness.post(self, self.wine, hwnd, harness.WM_LBUTTONDOWN, 1, must_arrive=False)
        self.assertEqual(harness.wait_exit(self, proc, timeout=harness.END_SECONDS, watch=watch), 0)
        self.assertEqual(len(self.calls(folder)), 1)

    def test_no_check_without_the_setting_or_the_verifier(self):
        cases = [
            ("value absent", None, True, 0),
            ("value 0", ("REG_DWORD", 0), True, 0),
            ("value 1, no verifier", ("REG_DWORD", 1), False, 0),
            # The type is not examined: the text "0" reads as 48, which asks.
            ("text zero", ("REG_SZ", "0"), True, 1),
        ]
        for name, value, with_dll, expected_calls in cases:
            with self.subTest(name):
                self.wine.reg_delete(harness.DESKTOP_KEY, "ScreenSaveUsePassword")
                if value:
                    self.set_use_password(*value)
                folder, scr = harness.install_program(self.wine, *([harness.PASSWORD_CPL] if with_dll else []))
                for stale in ("PASSWORD.CPL", "verify_calls.txt"):
                    if not with_dll or stale.endswith(".txt"):
                        path = os.path.join(folder, stale)
                        if os.path.exists(path):
                            os.remove(path)
                with open(os.path.join(folder, "verify_accept_at.txt"), "w") as f:
                    f.write("1")
                proc = self.wine.start(scr, "/s")
                try:
                    hwnd = harness.wait_window(self, self.wine)["hwnd"]
                    watch = harness.watch_exit(self, self.wine, hwnd)
                    code = harness.end_saver_by_input(self.wine, hwnd, proc, watch, how=KEY_A,
                                                      until=lambda: self.calls(folder))
                    self.assertEqual(code, 0)
                finally:
                    if proc.poll() is None:
                        proc.kill()
                        proc.wait()
                self.assertEqual(len(self.calls(folder)), expected_calls)


if __name__ == "__main__":
    harness.main()
