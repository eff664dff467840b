"""The flag's name and stars of a 3840 x 2160 frame, 1 : 1, from two
builds side by side: what a 4K monitor shows before and after.
Run through tools/large_display_picture.sh.

    large_display_picture.py OUT.png BEFORE_BUILD AFTER_BUILD

Each build's saver runs Desktop mode with the United States flag on a
private 3840 x 2160 x 24 Xvfb; the frame is taken once the flag shows and
the start's fade from black is over."""
import os
import sys
import time
import unittest

import soak_support as soak
import harness  # importable once soak_support is

NAME = (0, 0, 960, 150)          # the flag's name, 1 : 1
STARS = (1230, 560, 2190, 1100)  # the flag's stars at its top-left corner, 1 : 1
SHOWN = (1440, 810, 2400, 1350)  # the flag's stripes
# Both builds show the same photograph: the built-in lake scene's large
# picture as the user's own background (the earlier build loads it at 512).
BACKGROUND = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "src", "resources",
                          "background1010.jpg")


class Display(unittest.TestCase):
    """A holder for the harness's display and checks outside a test run."""

    def runTest(self):
        pass


def frame(build):
    """The saver's frame at 3840 x 2160 from the build in `build`."""
    holder = Display()
    try:
        display = harness.start_xvfb(holder, "3840x2160x24")
        wine = harness.Wine(display=display)
        holder.addCleanup(wine.close)
        wine.reg_add_all({"[Directory]": ("REG_SZ", harness.windows_path(os.path.join(build, "shipped"))),
                          "[Desktop Mode]": ("REG_DWORD", 1), "[Random Flag]": ("REG_DWORD", 0),
                          "[Select Flag]": ("REG_SZ", "United States"),
                          "[Background Path]": ("REG_SZ", harness.windows_path(os.path.abspath(BACKGROUND))),
                          "[Background Width]": ("REG_DWORD", 2048), "[Background Height]": ("REG_DWORD", 2048)})
        wine.xdotool("mousemove", "0", "0")
        proc = wine.start(os.path.join(build, os.path.basename(harness.SCR)), "/s")
        saver = harness.wait_window(holder, wine)
        started = time.time()
        _, image = harness.screenshot_when(
            holder, wine, "large-display.png", timeout=120,
            predicate=lambda im: time.time() - started > 2.5 and
            sum(map(harness.is_reddish, harness.pixels(im, SHOWN, step=8))) > 50)
        harness.post(holder, wine, saver["hwnd"], harness.WM_KEYDOWN, 0x41)
        harness.wait_exit(holder, proc, timeout=harness.END_SECONDS)
        return image
    finally:
        holder.doCleanups()


def main():
    from PIL import Image, ImageDraw, ImageFont
    out, before, after = sys.argv[1:4]
    frames = [frame(build) for build in (before, after)]
    gap, title = 16, 28
    width, height = NAME[2] - NAME[0], (NAME[3] - NAME[1]) + (STARS[3] - STARS[1])
    sheet = Image.new("RGB", (2 * width + gap, height + title), (255, 255, 255))
    draw = ImageDraw.Draw(sheet)
    font = ImageFont.truetype("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 18)
    for i, (image, label) in enumerate(zip(frames, ("before", "after"))):
        x = i * (width + gap)
        sheet.paste(image.crop(NAME), (x, title))
        sheet.paste(image.crop(STARS), (x, title + NAME[3] - NAME[1]))
        draw.text((x + 4, 4), f"{label}: the name and the stars of a 3840 x 2160 frame, 1 : 1",
                  font=font, fill=(20, 20, 20))
    sheet.save(out, optimize=True)
    print(out)
    return 0


if __name__ == "__main__":
    sys.exit(soak.run_main("large_display_picture", main))
