"""The settings dialog as the README shows it, written to docs/dialog.png
(or --out FILE). Run by tools/dialog_picture.sh, which provides the private
display and prefix.

The picture is taken once every control of the dialog is shown and filled
(the picture static holds its bitmap, the lists their entries) and two
screenshots taken one after the other agree on the dialog's rectangle: a
screenshot taken as soon as the window exists can catch it half painted."""
import argparse
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import harness  # noqa: E402

# Every control of the dialog but the labels (which share one id).
CONTROLS = (harness.IDC_DEFAULTS, harness.IDC_RESOLUTION, harness.IDC_USE_TNL, harness.IDC_SHOW_TIME,
            harness.IDC_SHOW_FPS, harness.IDC_FLAG_LIST, harness.IDC_SHOW_COMMAND, harness.IDC_WIND_POWER,
            harness.IDC_LINK_PICTURE, harness.IDC_RANDOM_LOGO, harness.IDC_LINK_BUTTON, harness.IDC_USE_LOGO,
            harness.IDC_USE_PICTURE, harness.IDC_PICTURE_TITLE, harness.IDC_CHANGE_PICTURE,
            harness.IDC_PICTURE_DEFAULT, harness.IDC_BACKGROUND_TITLE, harness.IDC_CHANGE_BACKGROUND,
            harness.IDC_BACKGROUND_DEFAULT, harness.IDC_CHANGE_MINUTES, harness.IDC_FLAG_REGION,
            harness.IDC_SAME_FLAG, harness.IDOK, harness.IDCANCEL)
LINK_PICTURE_SIZE = (158, 118)  # the built-in dialog picture


class PictureError(Exception):
    pass


def filled(wine, controls):
    """Every control shown, the link picture at its bitmap's size, both lists filled."""
    by_id = {int(c["id"]): c for c in controls if c.get("id", "").lstrip("-").isdigit()}
    if any(by_id.get(i, {}).get("visible") != "1" for i in CONTROLS):
        return False
    left, top, right, bottom = map(int, by_id[harness.IDC_LINK_PICTURE]["rect"].split(","))
    if (right - left, bottom - top) != LINK_PICTURE_SIZE:
        return False
    for combo in (harness.IDC_RESOLUTION, harness.IDC_FLAG_LIST, harness.IDC_CHANGE_MINUTES, harness.IDC_FLAG_REGION):
        code, out = wine.wintool("combo", by_id[combo]["hwnd"])
        if code != 0 or int(harness.parse_lines(out)[0].get("count", "0")) == 0:
            return False
    return True


def painted_picture(wine, rect, timeout=60):
    """The dialog's rectangle once two screenshots in a row show it alike."""
    left, top, right, bottom = rect
    box = (max(left, 0), max(top, 0), right, bottom)
    previous = None
    end = time.time() + timeout
    while time.time() < end:
        image = wine.shot("dialog-picture.png")[1].crop(box)
        if previous is not None and harness.changed_fraction(previous, image, threshold=0) == 0:
            return image
        previous = image
        time.sleep(0.5)
    raise PictureError(f"the dialog's picture did not settle within {timeout} s")


def take(out):
    wine = harness.Wine()
    try:
        harness.use_flag_folder(wine)
        # What a new install stores: Desktop mode, a new flag every three minutes.
        wine.reg_add_all({"[Desktop Mode]": ("REG_DWORD", 1), "[Change Minutes]": ("REG_DWORD", 3)})
        proc = wine.start(harness.SCR, "/c")
        code, line = wine.wintool("wait", "--title", harness.DIALOG_TITLE, "--timeout", "60000", timeout=90)
        if code != 0:
            raise PictureError("no settings dialog")
        dialog = harness.parse_fields(line)
        controls = harness.wait_children(wine, dialog["hwnd"], lambda cs: filled(wine, cs), timeout=60)
        image = painted_picture(wine, tuple(map(int, dialog["rect"].split(","))))
        os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
        image.save(out, optimize=True)
        cancel = next(c["hwnd"] for c in controls if c["id"] == str(harness.IDCANCEL))
        watch = wine.watch_exit(dialog["hwnd"])
        wine.wintool("click", cancel)
        if harness.exit_code(proc, 60, watch) != 0:
            raise PictureError("the dialog did not end with exit code 0")
        print(out)
    finally:
        wine.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(harness.SOURCE, "docs", "dialog.png"))
    args = parser.parse_args()
    try:
        take(args.out)
    except (PictureError, AssertionError, OSError) as problem:
        print(f"dialog_picture: {problem}".splitlines()[0], file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main())
