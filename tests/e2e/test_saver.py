"""The full-screen saver ("/s"): its window, the animation, what ends it and
what does not, the settings left untouched, and a device that cannot be made."""
import unittest

import harness
import saver_support as s


class SaverTest(unittest.TestCase):
    def setUp(self):
        self.wine = harness.Wine()
        s.use_flag_folder(self.wine)
        # Wine reports the pointer once when the window appears; at (0, 0)
        # that report changes no coordinate.
        self.wine.xdotool("mousemove", "0", "0")

    def tearDown(self):
        self.wine.close()

    def start_saver(self):
        proc = self.wine.start(harness.SCR, "/s")
        return proc, s.wait_window(self, self.wine)

    def test_window_animation_and_untouched_settings(self):
        before = self.wine.export_key()
        self.assertIsNotNone(before)
        proc, window = self.start_saver()

        self.assertEqual(window["title"], s.SAVER_CLASS)
        self.assertEqual(window["rect"], "0,0,800,600")
        self.assertEqual(window["visible"], "1")
        style, exstyle = int(window["style"], 16), int(window["exstyle"], 16)
        self.assertTrue(style & 0x80000000, "WS_POPUP")       # a pop-up, not a child
        self.assertFalse(style & 0x40000000, "WS_CHILD")
        self.assertTrue(exstyle & 0x00000008, "WS_EX_TOPMOST")

        _, first = s.screenshot_when(self, self.wine, "saver-1.png", lambda im: s.colour_count(im) > 200)
        path, second = s.screenshot_when(self, self.wine, "saver-2.png",
                                         lambda im: s.changed_fraction(first, im) > 0.002)
        # The flag waves: a later picture differs in part.
        self.assertGreater(s.changed_fraction(first, second), 0.002, path)

        watch = s.watch_exit(self, self.wine, window["hwnd"])
        self.assertEqual(harness.end_saver_by_input(self.wine, window["hwnd"], proc, watch, how=("key", "space")), 0)
        self.assertEqual(self.wine.export_key(), before)

    def test_inputs_that_end_the_saver(self):
        # Wine merges pointer moves that queue up unread, so how many real
        # moves make six changes varies; the exact count is checked with
        # posted moves below. Here: real moves end it.
        ways = [
            ("pointer moves", "pointer"),
            ("key press", ("key", "a")),
            ("left button", ("click", "1")),
            ("right button", ("click", "3")),
            ("middle button", ("post", s.WM_MBUTTONDOWN, 0x10, 0)),
            ("another program activated", ("post", s.WM_ACTIVATEAPP, 0, 0)),
            ("suspend", ("post", s.WM_POWERBROADCAST, s.PBT_APMSUSPEND, 0)),
            # Not one of the swallowed commands as a whole value: the system
            # closes the window, which also ends the program.
            ("close command 0xF061", ("post", s.WM_SYSCOMMAND, 0xF061, 0)),
        ]
        for name, how in ways:
            with self.subTest(name):
                self.wine.xdotool("mousemove", "0", "0")
                proc, window = self.start_saver()
                try:
                    watch = s.watch_exit(self, self.wine, window["hwnd"])
                    self.assertEqual(harness.end_saver_by_input(self.wine, window["hwnd"], proc, watch, how=how), 0)
                finally:
                    if proc.poll() is None:
                        proc.kill()
                        proc.wait()

    def test_inputs_that_do_not_end_the_saver(self):
        proc, window = self.start_saver()
        hwnd = window["hwnd"]
        ignored = [
            (s.WM_SYSKEYDOWN, 0x41, s.ALT_CONTEXT),  # Alt+A
            (s.WM_SYSKEYDOWN, 0x79, 0),              # F10
            (s.WM_LBUTTONUP, 0, 0),
            (s.WM_RBUTTONUP, 0, 0),
            (s.WM_MOUSEWHEEL, 0x00780000, 0),
            (s.WM_ACTIVATEAPP, 1, 0),
            (s.WM_POWERBROADCAST, 7, 0),
            (s.WM_SYSCOMMAND, 0xF060, 0),  # close
            (s.WM_SYSCOMMAND, 0xF140, 0),  # screen saver
            (s.WM_SYSCOMMAND, 0xF050, 0),  # previous window
            (s.WM_SYSCOMMAND, 0xF040, 0),  # next window
        ]
        for message, wparam, lparam in ignored:
            s.post(self, self.wine, hwnd, message, wparam, lparam)
        # From (0, 0): 2, 3, 5 coordinate changes, and repeats that count nothing.
        for x, y in [(512, 384), (513, 384), (513, 384), (514, 385), (514, 385)]:
            s.post(self, self.wine, hwnd, s.WM_MOUSEMOVE, 0, s.mouse_lparam(x, y))
        s.drain_queue(self, self.wine, hwnd)
        self.assertFalse(s.end_requested(self.wine, hwnd))
        self.assertIsNone(proc.poll())

        # The sixth change ends it.
        watch = s.watch_exit(self, self.wine, hwnd)
        s.post(self, self.wine, hwnd, s.WM_MOUSEMOVE, 0, s.mouse_lparam(515, 385))
        self.assertEqual(s.wait_exit(self, proc, watch=watch), 0)

    def test_a_device_that_cannot_be_made_is_reported_and_ends_the_program(self):
        # The 800 x 600 display cannot show 1024 x 768 in any format.
        self.wine.reg_add("[Screen X]", "REG_DWORD", 1024)
        self.wine.reg_add("[Screen Y]", "REG_DWORD", 768)
        proc = self.wine.start(harness.SCR, "/s")
        box = s.wait_window(self, self.wine, title="Error", class_name="#32770")
        code, out = self.wine.wintool("children", box["hwnd"])
        texts = [f["text"] for f in harness.parse_lines(out) if f["class"].lower() == "static"]
        self.assertIn("CreateDevice FAILED", texts)
        watch = s.watch_exit(self, self.wine, box["hwnd"])
        s.post(self, self.wine, box["hwnd"], s.WM_COMMAND, s.IDOK)
        self.assertEqual(s.wait_exit(self, proc, watch=watch), 0)
        code, out = self.wine.wintool("list")
        self.assertNotIn(s.SAVER_CLASS, out)


if __name__ == "__main__":
    unittest.main()
