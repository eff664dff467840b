"""The same corner of a 3840 x 2160 frame (the flag's stars and its name)
from two builds, side by side: what a 4K monitor shows before and after.
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

CORNER = (0, 0, 1920, 1080)     # the name, and the flag's stars below it
SHOWN = (1440, 810, 2400, 1350)  # the flag's stripes


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
                          "[Select Flag]": ("REG_SZ", "United States")})
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
    corners = [frame(build).crop(CORNER).resize((960, 540), Image.LANCZOS) for build in (before, after)]
    gap, title = 16, 28
    sheet = Image.new("RGB", (2 * 960 + gap, 540 + title), (255, 255, 255))
    draw = ImageDraw.Draw(sheet)
    font = ImageFont.truetype("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 18)
    for i, (image, label) in enumerate(zip(corners, ("before", "after"))):
        sheet.paste(image, (i * (960 + gap), title))
        draw.text((i * (960 + gap) + 4, 4), f"{label}: the top-left quarter of a 3840 x 2160 frame, halved",
                  font=font, fill=(20, 20, 20))
    sheet.save(out, optimize=True)
    print(out)
    return 0


if __name__ == "__main__":
    sys.exit(soak.run_main("large_display_picture", main))
