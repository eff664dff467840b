"""The setup program end to end under Wine: silent and interactive installs,
the saver started from the system folder as Windows starts it, and the
uninstaller, which leaves nothing behind but another screen saver and the
pictures the user chose; an install over the earlier releases' flags."""
import hashlib
import os
import shutil
import subprocess
import unittest

from PIL import Image

import harness

UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Brevanto Flags"
SAVER = "BrevantoFlags.scr"
SETUP_TITLE = "Brevanto Flags Screensaver Setup"
ACTIVATE_TEXT = "Make Brevanto Flags my screen saver"
SETTINGS_TEXT = "Open the screen saver's settings"
DIRECTORY_EDIT = 1019  # the directory page's folder box
OTHER_SAVER = r"C:\windows\system32\other.scr"
# A flag that ships nowhere, in a colour that no background photograph has.
TEST_FLAG = "Test Magenta"
MAGENTA = (255, 0, 255)
TOLERANCE = 40
# Every flag file of the earlier releases, as committed (tools/earlier_flags.py).
EARLIER_FLAGS = os.path.join(harness.SOURCE, "tests", "e2e", "earlier_flags")


def is_64_bit(path):
    kind = subprocess.run(["file", path], capture_output=True, text=True).stdout
    return "PE32+" in kind


# The setup program that carries this build's saver.
SETUP = os.path.join(harness.BUILD, "BrevantoFlagsSetup-x64.exe" if is_64_bit(harness.SCR)
                     else "BrevantoFlagsSetup.exe")


def digests(folder):
    """{file name: SHA-256} of a folder's files."""
    def digest(name):
        with open(os.path.join(folder, name), "rb") as f:
            return hashlib.sha256(f.read()).hexdigest()
    return {name: digest(name) for name in os.listdir(folder)}


def shipped_flags():
    return digests(os.path.join(harness.FLAG_ROOT, "IMAGE"))


def magenta_share(path, half=60):
    """Share of pixels near magenta in a box around the middle of a screenshot."""
    image = Image.open(path).convert("RGB")
    cx, cy = image.width // 2, image.height // 2
    box = image.crop((cx - half, cy - half, cx + half, cy + half))
    pixels = list(box.getdata())
    near = sum(1 for p in pixels if all(abs(c - m) <= TOLERANCE for c, m in zip(p, MAGENTA)))
    return near / len(pixels)


class InstallerTest(unittest.TestCase):
    def setUp(self):
        if not os.path.exists(SETUP):
            self.fail(f"{SETUP} was not built")
        self.wine = harness.Wine()
        # A 32-bit setup in a 64-bit prefix is redirected to the 32-bit folders.
        wow = not is_64_bit(SETUP) and os.path.isdir(self.unix(r"C:\windows\syswow64"))
        self.system_saver = "C:\\windows\\%s\\%s" % ("syswow64" if wow else "system32", SAVER)
        self.default_folder = r"C:\Program Files (x86)\Brevanto Flags" if wow else r"C:\Program Files\Brevanto Flags"

    def tearDown(self):
        self.wine.close()

    # helpers
    def unix(self, path):
        """The prefix's file for a C: path (Wine keeps the names' case as created)."""
        assert path[:3].upper() == "C:\\", path
        return os.path.join(self.wine.prefix, "drive_c", *path[3:].split("\\"))

    def install(self, *options):
        return self.wine.run_command_line('"%s" %s' % (harness.windows_path(SETUP), " ".join(options)))

    def value(self, key, name):
        found = self.wine.reg_query(key, name)
        return found[1] if found else None

    def leftovers(self, folder, kept=()):
        """What the uninstaller has not removed yet, besides the user's files
        `kept` (paths in the folder) and the folders that hold them."""
        root = self.unix(folder)
        left = [os.path.relpath(os.path.join(d, n), root) for d, _, names in os.walk(root) for n in names]
        left = [path for path in left if path not in kept]
        if os.path.exists(root) and not kept:
            left.append(folder)
        if os.path.exists(self.unix(self.system_saver)):
            left.append(self.system_saver)
        if self.wine.reg_query(harness.SETTINGS_KEY) is not None:
            left.append(harness.SETTINGS_KEY)
        if self.wine.reg_query(UNINSTALL_KEY) is not None:
            left.append(UNINSTALL_KEY)
        return left

    def uninstall_quietly(self, folder, kept=()):
        """Runs the registered quiet uninstall command, as Windows would, and
        waits until it is done: it copies itself away and returns at once."""
        command = self.value(UNINSTALL_KEY, "QuietUninstallString")
        self.assertEqual(command, '"%s\\Uninstall.exe" /S' % folder)
        self.assertEqual(self.wine.run_command_line(command), 0)
        harness.wait_for(lambda: not self.leftovers(folder, kept), timeout=60, interval=0.5)
        self.assertEqual(self.leftovers(folder, kept), [], "what the uninstaller left")
        self.assertEqual([path for path in kept if not os.path.isfile(os.path.join(self.unix(folder), path))], [],
                         "the user's files that the uninstaller removed")

    def assert_installed(self, folder, users=None):
        """users: {name: SHA-256} of the user's pictures in IMAGE."""
        self.assertEqual(sorted(os.listdir(self.unix(folder))), ["BrevantoFlags.scr", "FLAGS-LICENSE.txt", "IMAGE", "Uninstall.exe"])
        found, expected = digests(self.unix(folder + r"\IMAGE")), dict(shipped_flags(), **(users or {}))
        self.assertEqual({name: d for name, d in found.items() if expected.get(name) != d}, {}, "IMAGE: not installed")
        self.assertEqual(sorted(expected.keys() - found.keys()), [], "IMAGE: missing")
        with open(harness.SCR, "rb") as built:
            saver = built.read()
        for copy in (folder + "\\" + SAVER, self.system_saver):
            with open(self.unix(copy), "rb") as f:
                self.assertEqual(f.read(), saver, copy)
        self.assertEqual(self.wine.reg_query(harness.SETTINGS_KEY, "[Directory]"), ("REG_SZ", folder))
        expected = {
            "DisplayName": "Brevanto Flags Screensaver",
            "DisplayVersion": "1.0",
            "InstallLocation": folder,
            "UninstallString": '"%s\\Uninstall.exe"' % folder,
            "QuietUninstallString": '"%s\\Uninstall.exe" /S' % folder,
            "DisplayIcon": folder + "\\" + SAVER + ",0",
            "NoModify": 1,
            "NoRepair": 1,
        }
        entry = self.wine.reg_query(UNINSTALL_KEY)
        self.assertIsNotNone(entry, "no uninstall entry")
        self.assertEqual({name: entry.get(name, (None, None))[1] for name in expected}, expected)
        self.assertTrue(entry.get("Publisher", (None, ""))[1])

    def show_saver_with_test_flag(self, folder):
        """Adds a flag that only the installed folder has, chooses it, and
        starts the saver from the system folder with another current directory."""
        Image.new("RGB", (480, 320), MAGENTA).save(self.unix(folder + r"\IMAGE" + "\\" + TEST_FLAG + ".bmp"))
        self.wine.reg_add("[Random Flag]", "REG_DWORD", 0)
        self.wine.reg_add("[Select Flag]", "REG_SZ", TEST_FLAG)
        elsewhere = os.path.join(self.wine.tmp, "elsewhere")
        os.makedirs(elsewhere)
        saver = self.wine.start(self.system_saver, "/s", cwd=elsewhere)
        shots = []

        def flag_shown():
            shots.append(self.wine.screenshot("installer-saver-%d.png" % len(shots)))
            return magenta_share(shots[-1]) > 0.5

        shown = harness.wait_for(flag_shown, timeout=60, interval=1.0)
        self.assertTrue(shown, f"the installed flag {TEST_FLAG!r} is not in the middle of {shots[-1]}")
        return saver

    def end_saver(self, saver):
        code, out = self.wine.wintool("wait", "--class", harness.SAVER_CLASS, "--timeout", "30000", timeout=60)
        self.assertEqual(code, 0, "no saver window")
        window = harness.parse_fields(out)
        watch = self.wine.watch_exit(window["hwnd"])
        self.assertEqual(harness.end_saver_by_input(self.wine, window["hwnd"], saver, watch), 0)

    def child_controls(self, window):
        _, out = self.wine.wintool("children", str(window))
        return harness.parse_lines(out)

    @staticmethod
    def find(controls, text=None, ident=None, enabled=True):
        """The visible (and enabled) control with that text or id, or None."""
        for c in controls:
            if c.get("visible") == "1" and (c.get("enabled") == "1" or not enabled) \
                    and (text is None or c.get("text") == text) and (ident is None or c.get("id") == str(ident)):
                return c
        return None

    def control(self, window, text=None, ident=None, enabled=True, timeout=30):
        """Waits until the window shows a control with that text or id, one
        that can be clicked unless enabled=False (a page's controls come
        after the page), and returns it."""
        controls = harness.wait_children(self.wine, window, lambda cs: self.find(cs, text, ident, enabled), timeout)
        return self.find(controls, text, ident, enabled)

    def wait_window(self, title):
        code, out = self.wine.wintool("wait", "--title", title, "--timeout", "30000", timeout=60)
        self.assertEqual(code, 0, f"no window {title!r}")
        return harness.parse_fields(out.splitlines()[0])

    def click(self, control):
        self.assertIsNotNone(control)
        self.wine.wintool("click", control["hwnd"])

    # tests
    def test_silent_install_with_activation_runs_the_saver_and_uninstall_removes_everything(self):
        self.assertEqual(self.install("/S", "/ACTIVATE=1"), 0)
        folder = self.default_folder
        self.assert_installed(folder)
        self.assertEqual(self.value(harness.DESKTOP_KEY, "SCRNSAVE.EXE"), self.system_saver)
        # A new install runs Desktop mode.
        self.assertEqual(self.wine.reg_query(harness.SETTINGS_KEY, "[Desktop Mode]"), ("REG_DWORD", 1))
        self.assertEqual(self.wine.reg_query(harness.SETTINGS_KEY, "[Change Minutes]"), ("REG_DWORD", 3))

        saver = self.show_saver_with_test_flag(folder)
        self.end_saver(saver)

        # The test flag is the user's: it stays.
        self.uninstall_quietly(folder, kept=[os.path.join("IMAGE", TEST_FLAG + ".bmp")])
        self.assertIsNone(self.value(harness.DESKTOP_KEY, "SCRNSAVE.EXE"))

    def test_silent_install_into_a_chosen_folder_keeps_another_screen_saver(self):
        # The user's own saver survives both the install (not asked to
        # activate) and the uninstall (the value does not name this saver).
        self.wine.reg_add("SCRNSAVE.EXE", "REG_SZ", OTHER_SAVER, key=harness.DESKTOP_KEY)
        # An upgrade keeps the mode the user chose, also as a string.
        self.wine.reg_add("[Desktop Mode]", "REG_SZ", "0")
        self.wine.reg_add("[Change Minutes]", "REG_DWORD", 0)
        folder = r"C:\Flag Savers\Brevanto"
        self.assertEqual(self.install("/S", "/D=" + folder), 0)
        self.assert_installed(folder)
        self.assertEqual(self.value(harness.DESKTOP_KEY, "SCRNSAVE.EXE"), OTHER_SAVER)
        self.assertEqual(self.wine.reg_query(harness.SETTINGS_KEY, "[Desktop Mode]"), ("REG_SZ", "0"))
        self.assertEqual(self.wine.reg_query(harness.SETTINGS_KEY, "[Change Minutes]"), ("REG_DWORD", 0))

        self.uninstall_quietly(folder)
        self.assertEqual(self.value(harness.DESKTOP_KEY, "SCRNSAVE.EXE"), OTHER_SAVER)

    def test_saver_that_cannot_reach_the_system_folder_is_used_from_the_install_folder(self):
        # A folder in the way of the system copy makes the copy fail.
        os.makedirs(self.unix(self.system_saver))
        folder = self.default_folder
        self.assertEqual(self.install("/S", "/ACTIVATE=1"), 3)
        own_copy = folder + "\\" + SAVER
        self.assertTrue(os.path.isfile(self.unix(own_copy)))
        self.assertEqual(self.value(harness.SETTINGS_KEY, "[Directory]"), folder)
        self.assertEqual(self.value(harness.DESKTOP_KEY, "SCRNSAVE.EXE"), own_copy)
        # Installed all the same: the uninstaller is registered.
        self.assertEqual(self.value(UNINSTALL_KEY, "QuietUninstallString"), '"%s\\Uninstall.exe" /S' % folder)
        self.assertEqual(self.value(UNINSTALL_KEY, "InstallLocation"), folder)

        self.assertEqual(self.wine.run_command_line(self.value(UNINSTALL_KEY, "QuietUninstallString")), 0)

        def left():  # the folder in the way of the system copy is the user's, not the uninstaller's
            return [name for name in self.leftovers(folder) if name != self.system_saver]
        harness.wait_for(lambda: not left(), timeout=60, interval=0.5)
        self.assertEqual(left(), [], "what the uninstaller left")
        self.assertIsNone(self.value(harness.DESKTOP_KEY, "SCRNSAVE.EXE"))

    def test_install_over_the_earlier_release_leaves_each_flag_once_and_the_users_pictures(self):
        folder = self.default_folder
        image = self.unix(folder + r"\IMAGE")
        shutil.copytree(EARLIER_FLAGS, image)
        # The user's: an earlier flag changed in the same size (only its
        # bytes tell it from the shipped one), and a picture of their own.
        with open(os.path.join(image, "Austria.bmp"), "r+b") as changed:
            changed.seek(-1, os.SEEK_END)
            last = changed.read(1)[0]
            changed.seek(-1, os.SEEK_END)
            changed.write(bytes([last ^ 0xFF]))
        Image.new("RGB", (480, 320), MAGENTA).save(os.path.join(image, "My Own Flag.jpg"))
        users = {name: digest for name, digest in digests(image).items() if name in ("Austria.bmp", "My Own Flag.jpg")}

        self.assertEqual(self.install("/S"), 0)
        # Today's flags and the user's pictures, nothing else: each nation once.
        self.assert_installed(folder, users)

        self.uninstall_quietly(folder, kept=[os.path.join("IMAGE", name) for name in users])

    def test_interactive_setup_can_be_cancelled_on_its_first_page(self):
        setup = self.wine.start(SETUP)
        window = self.wait_window(SETUP_TITLE)
        self.control(window["hwnd"], text="&Next >")
        # The picture of the first page for the documentation: the window
        # without its frame, which has no window manager to draw it here.
        left, top, right, bottom = (int(v) for v in window["rect"].split(","))
        page = next(c for c in self.child_controls(window["hwnd"])
                    if c.get("class") == "#32770" and c.get("visible") == "1")
        border = int(page["rect"].split(",")[0]) - left
        caption = int(page["rect"].split(",")[1]) - top
        shot = self.wine.screenshot("installer-first-page.png")
        Image.open(shot).crop((left + border, top + caption, right - border, bottom - border)).save(
            os.path.join(harness.output_folder(), "installer.png"))

        self.click(self.control(window["hwnd"], ident=harness.IDCANCEL))
        # "Are you sure you want to quit?" has the setup's title too.
        question = harness.wait_for(lambda: next(
            (w for w in harness.parse_lines(self.wine.wintool("list")[1])
             if w.get("title") == SETUP_TITLE and w["hwnd"] != window["hwnd"] and w.get("visible") == "1"), None))
        self.assertIsNotNone(question, "no question before quitting")
        self.assertIn("Are you sure you want to quit", harness.box_text(self.wine, question["hwnd"]))
        self.click(self.control(question["hwnd"], ident=harness.IDYES))
        self.assertEqual(setup.wait(timeout=60), 1)  # NSIS: cancelled by the user
        self.assertFalse(os.path.exists(self.unix(self.default_folder)))
        self.assertIsNone(self.wine.reg_query(UNINSTALL_KEY))

    def test_interactive_install_activates_and_opens_the_settings(self):
        setup = self.wine.start(SETUP)
        window = self.wait_window(SETUP_TITLE)["hwnd"]
        self.click(self.control(window, text="&Next >"))
        folder_box = self.control(window, ident=DIRECTORY_EDIT)
        self.assertEqual(folder_box["text"], self.default_folder)
        folder = r"C:\Interactive Flags"
        code, _ = self.wine.wintool("settext", folder_box["hwnd"], folder)
        self.assertEqual(code, 0)
        self.click(self.control(window, text="&Install"))

        finish_page = harness.wait_children(self.wine, window, lambda cs: all(
            self.find(cs, text=t) for t in (ACTIVATE_TEXT, SETTINGS_TEXT, "&Finish")), timeout=120)
        activate, settings = self.find(finish_page, text=ACTIVATE_TEXT), self.find(finish_page, text=SETTINGS_TEXT)
        self.assertEqual((activate["check"], settings["check"]), ("1", "1"))
        self.click(self.find(finish_page, text="&Finish"))

        dialog = self.wait_window(harness.DIALOG_TITLE)["hwnd"]
        self.assertEqual(setup.wait(timeout=60), 0)
        self.assert_installed(folder)
        self.assertEqual(self.value(harness.DESKTOP_KEY, "SCRNSAVE.EXE"), self.system_saver)
        # The dialog lists the installed flags: it found them through "[Directory]".
        flag_list = self.control(dialog, ident=harness.IDC_FLAG_LIST, enabled=False)  # read only
        _, out = self.wine.wintool("combo", flag_list["hwnd"])
        listed = int(harness.parse_lines(out)[0]["count"])
        self.assertEqual(listed, sum(1 for name in shipped_flags()
                                     if name.lower().endswith((".gif", ".jpg", ".bmp", ".png"))))
        self.click(self.control(dialog, ident=harness.IDCANCEL))
        code, _ = self.wine.wintool("wait-gone", dialog, "--timeout", "30000", timeout=60)
        self.assertEqual(code, 0)


if __name__ == "__main__":
    harness.main()
