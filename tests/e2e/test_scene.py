"""The scene on the screen: a waving flag before a photograph, with the overlay.

Runs tests/tools/scene_viewer.exe full screen (800 x 600 at 16 bits in the
private Xvfb) with a flag picture of known colours, takes screenshots of
the X screen and checks their pixels with Pillow. The screenshots stay in
a folder of the run's own in <build>/test-output/ for a look by eye.
"""
import os
import time

from PIL import Image

import harness

VIEWER = os.path.join(harness.BUILD, "scene_viewer.exe")
VIEWER_CLASS = "FlagsSceneViewer"
# Long enough for any machine: a test closes the viewer once it has seen enough.
VIEWER_SECONDS = 600
RED = (220, 20, 30)
WHITE = (250, 250, 250)
# The flag hangs in the middle: about x 208 … 592, y 158 … 447 at 800 x 600.
FLAG_BOX = (240, 190, 560, 420)
CORNERS = [(30, 60), (770, 60), (30, 540), (770, 540)]


def write_band_flag(path):
    """Four vertical bands: red, white, red, white."""
    image = Image.new("RGB", (256, 192))
    for x in range(256):
        colour = RED if (x // 64) % 2 == 0 else WHITE
        for y in range(192):
            image.putpixel((x, y), colour)
    image.save(path, "BMP")


def near(pixel, colour, tolerance):
    return all(abs(a - b) <= tolerance for a, b in zip(pixel, colour))


def is_overlay_green(p):
    return p[1] > p[0] + 50 and p[1] > p[2] + 40


class SceneTest(harness.PrefixPerClassTest):
    def setUp(self):
        harness.require_program(VIEWER)
        super().setUp()
        self.flag = os.path.join(harness.output_folder(), "scene_band_flag.bmp")
        write_band_flag(self.flag)

    def start_viewer(self, *args, seconds=VIEWER_SECONDS):
        proc = self.wine.start(VIEWER, "--seconds", str(seconds), "--flag", harness.windows_path(self.flag), *args)
        self.addCleanup(lambda: proc.poll() is None and (proc.kill(), proc.wait()))
        # The first line tells that the scene is built.
        line = harness.read_line(proc, 120)
        self.assertIn("scene ready: device 1 flag 1 lightspot 1 buffers 1 1", line)
        return proc, line

    def close_viewer(self, proc):
        code, out = self.wine.wintool("wait", "--class", VIEWER_CLASS, "--timeout", "30000", timeout=60)
        self.assertEqual(code, 0, "no viewer window")
        hwnd = harness.parse_fields(out)["hwnd"]
        watch = self.wine.watch_exit(hwnd)
        self.wine.wintool("post", hwnd, str(harness.WM_CLOSE), "0", "0")
        self.assertEqual(harness.exit_code(proc, harness.END_SECONDS, watch), 0)

    def shot(self, name):
        return self.wine.shot(name)[1]

    def shot_until(self, name, check, timeout=90):
        """Screenshots until check(image) raises no AssertionError; returns
        that image, or raises the last failure after timeout s."""
        end = time.time() + timeout
        while True:
            image = self.shot(name)
            try:
                check(image)
                return image
            except AssertionError:
                if time.time() >= end:
                    raise
            time.sleep(0.3)

    def assert_flag_drawn(self, image):
        """The flag's red shows in the middle: frames are on the screen."""
        flag = harness.pixels(image, FLAG_BOX)
        self.assertGreater(len([p for p in flag if harness.is_reddish(p)]), len(flag) // 10)

    def test_waving_flag_before_the_photograph(self):
        proc, line = self.start_viewer()
        self.assertIn("background 1 1", line)
        first = self.shot_until("scene_flag_1.png", self.assert_flag_drawn)
        # The cloth swings into shapes where the light spot shows: checked on
        # later pictures until one shows it all.
        self.shot_until("scene_flag_2.png", lambda second: self.check_waving_flag(first, second))
        self.close_viewer(proc)

    def check_waving_flag(self, first, second):
        flag = harness.pixels(second, FLAG_BOX)
        reds = [p for p in flag if harness.is_reddish(p)]
        # White cloth turned from the light shows as light grey.
        whites = [p for p in flag if min(p) > 150 and max(p) - min(p) < 40]
        # The picture's own colours fill much of the middle, however the cloth
        # swings (16-bit screen: loose tolerance).
        self.assertGreater(len(reds), len(flag) // 10)
        self.assertGreater(len(whites), len(flag) // 10)
        self.assertTrue(any(near(p, RED, 24) for p in reds))
        # Where the cloth turns away the light spot darkens it.
        self.assertLess(min(p[0] for p in reds), max(p[0] for p in reds) - 30)
        # The photograph, not black, all around the flag.
        for corner in CORNERS:
            self.assertGreater(sum(second.getpixel(corner)), 60, corner)
        # The flag moves between the first picture and this later one.
        changed = sum(1 for a, b in zip(harness.pixels(first, FLAG_BOX), flag) if not near(a, b, 24))
        self.assertGreater(changed, 50)

    def test_no_background_leaves_black_and_overlay_writes_the_corners(self):
        proc, line = self.start_viewer("--no-background", "--overlay")
        self.assertIn("background 0 0", line)
        self.shot_until("scene_overlay_0.png", self.assert_flag_drawn)
        # (The clock's colon, shown in odd seconds only, is checked on the
        # clock's text by the unit tests.) The frame rate appears once a second has been counted.
        self.shot_until("scene_overlay_last.png", self.check_overlay)
        self.close_viewer(proc)

    def check_overlay(self, image):
        for corner in CORNERS:
            self.assertEqual((0, 0, 0), image.getpixel(corner), corner)
        flag = harness.pixels(image, FLAG_BOX)
        self.assertGreater(len([p for p in flag if harness.is_reddish(p)]), len(flag) // 5)
        # Flag name top left, frame rate bottom left, clock bottom right.
        areas = {"name": (0, 0, 200, 40), "fps": (0, 570, 120, 600), "clock": (670, 565, 800, 600)}
        for name, box in areas.items():
            green = [p for p in harness.pixels(image, box) if is_overlay_green(p)]
            self.assertGreater(len(green), 10, name)
        # Text is blended over black: green at about three quarters strength.
        green = [p for p in harness.pixels(image, areas["clock"]) if is_overlay_green(p)]
        self.assertTrue(all(p[1] < 200 for p in green))


if __name__ == "__main__":
    harness.main()
