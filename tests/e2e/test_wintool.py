"""wintool, the helper that the end-to-end tests drive windows with."""
import os
import shutil
import subprocess
import unittest

import harness


class WintoolTest(harness.PrefixPerClassTest):
    def setUp(self):
        super().setUp()

    def start_host(self, *args):
        proc = self.wine.start(harness.WINTOOL, "host", *args)
        line = harness.read_line(proc, 60)
        hwnd = harness.parse_fields(line).get("hwnd")
        self.assertTrue(hwnd and hwnd.isdigit(), f"host printed {line!r}")
        return proc, hwnd

    def test_host_window_is_found_listed_renamed_and_closed(self):
        proc, hwnd = self.start_host("152", "112")

        code, out = self.wine.wintool("wait", "--title", "wintool host", "--timeout", "10000")
        self.assertEqual(code, 0, out)
        found = harness.parse_fields(out)
        self.assertEqual(found["hwnd"], hwnd)
        self.assertEqual(found["class"], "wintool host")
        self.assertEqual(found["visible"], "1")
        left, top, right, bottom = map(int, found["rect"].split(","))
        self.assertEqual((right - left, bottom - top), (152, 112))

        code, out = self.wine.wintool("list")
        self.assertEqual(code, 0)
        listed = [f for f in harness.parse_lines(out) if f.get("hwnd") == hwnd]
        self.assertEqual(len(listed), 1)
        self.assertEqual(listed[0]["rect"], found["rect"])

        code, out = self.wine.wintool("pid-of", hwnd)
        self.assertEqual((code, harness.parse_fields(out)["pid"]), (0, found["pid"]))

        code, out = self.wine.wintool("children", hwnd)
        self.assertEqual((code, out.strip()), (0, ""))

        # Its thread runs a message loop: it paints the window when asked.
        code, out = self.wine.wintool("painted", hwnd, "--timeout", "10000")
        self.assertEqual((code, harness.parse_fields(out).get("painted")), (0, "1"))

        code, out = self.wine.wintool("text", hwnd)
        self.assertEqual((code, harness.parse_fields(out)["text"]), (0, "wintool host"))

        # Quotes and backslashes survive the round trip through the escaping.
        title = 'flag "host" \\ two'
        code, _ = self.wine.wintool("settext", hwnd, title)
        self.assertEqual(code, 0)
        code, out = self.wine.wintool("text", hwnd)
        self.assertEqual(harness.parse_fields(out)["text"], title)
        code, out = self.wine.wintool("wait", "--title", title, "--timeout", "5000")
        self.assertEqual((code, harness.parse_fields(out)["hwnd"]), (0, hwnd))
        code, out = self.wine.wintool("send", hwnd, str(harness.WM_GETTEXTLENGTH), "0", "0")
        self.assertEqual((code, harness.parse_fields(out)["result"]), (0, str(len(title))))

        code, _ = self.wine.wintool("post", hwnd, hex(harness.WM_CLOSE), "0", "0")
        self.assertEqual(code, 0)
        self.assertEqual(proc.wait(timeout=20), 0)
        code, _ = self.wine.wintool("wait-gone", hwnd, "--timeout", "5000")
        self.assertEqual(code, 0)

    def test_host_title_and_missing_windows(self):
        proc, hwnd = self.start_host("200", "90", "second host")
        code, out = self.wine.wintool("wait", "--title", "second host", "--class", "wintool host")
        self.assertEqual((code, harness.parse_fields(out)["hwnd"]), (0, hwnd))
        self.wine.wintool("post", hwnd, str(harness.WM_CLOSE), "0", "0")
        self.assertEqual(proc.wait(timeout=20), 0)

        cases = [
            (("wait", "--title", "no such window", "--timeout", "300"), 1),
            (("text", hwnd), 1),          # destroyed by now
            (("painted", hwnd), 1),
            (("keystate", "0"), 2),
            (("keystate", "1", "2"), 2),
            (("pid-of", "0x7ffffff0"), 1),
            (("send", hwnd, "16", "0"), 2),
            (("post", "abc", "16", "0", "0"), 2),
            (("wait",), 2),
            (("host", "0", "10"), 2),
            (("frobnicate",), 2),
        ]
        server = self.wine.server.proc.pid
        for args, expected in cases:
            with self.subTest(args=args):
                code, _ = self.wine.wintool(*args)
                self.assertEqual(code, expected)
        # One wintool answered every served verb, its failures too.
        self.assertTrue(self.wine.server.alive())
        self.assertEqual(self.wine.server.proc.pid, server)

    def test_registry_values_are_written_listed_and_deleted_exactly(self):
        key = r"HKCU\Software\Wintool Test"
        self.assertIsNone(self.wine.reg_values(key))
        code, out = self.wine.wintool("reg-list", key)
        self.assertEqual((code, harness.parse_lines(out)), (1, [{"absent": "1"}]))
        writes = [
            # (verb, name, type, data) -> the value as stored
            (("reg-set", "text", "REG_SZ", 'a "b" \\ c\u00e9'), harness.stored_text('a "b" \\ c\u00e9\0')),
            (("reg-set", "empty", "REG_SZ", ""), harness.stored_text("\0")),
            (("reg-set", "", "REG_SZ", "default"), harness.stored_text("default\0")),
            (("reg-set", "path", "REG_EXPAND_SZ", "%TEMP%"), harness.stored_text("%TEMP%\0", "REG_EXPAND_SZ")),
            (("reg-set", "count", "REG_DWORD", "0x12345678"), ("REG_DWORD", b"\x78\x56\x34\x12")),
            (("reg-set", "minus", "REG_DWORD", "-1"), ("REG_DWORD", b"\xff\xff\xff\xff")),
            (("reg-set", "raw", "REG_BINARY", "00ff10"), ("REG_BINARY", b"\x00\xff\x10")),
            (("reg-set-bytes", "no bytes", "REG_SZ", ""), ("REG_SZ", b"")),
            (("reg-set-bytes", "unended", "REG_SZ", "610062006300"), harness.stored_text("abc")),
            (("reg-set-bytes", "odd", "77", "01"), (77, b"\x01")),
        ]
        for (verb, name, kind, data), expected in writes:
            with self.subTest(verb=verb, name=name):
                code, out = self.wine.wintool(verb, key, name, kind, data)
                self.assertEqual(code, 0, out)
                self.assertEqual(self.wine.reg_values(key).get(name), harness.RegValue(*expected))
        self.assertEqual(len(self.wine.reg_values(key)), len(writes))
        self.assertEqual(self.wine.reg_query(key, "text"), ("REG_SZ", 'a "b" \\ c\u00e9'))
        self.assertEqual(self.wine.reg_query(key, "unended"), ("REG_SZ", "abc"))
        self.assertEqual(self.wine.reg_query(key, "count"), ("REG_DWORD", 0x12345678))

        # Several values in one run store what one run per value stores, long texts too.
        values = {"text": ("REG_SZ", "t\u00e9"), "number": ("REG_DWORD", 0xFFFFFFFF),
                  "minus": ("REG_DWORD", -2), "raw": ("REG_BINARY", "0102"),
                  "exact": ("REG_SZ", b"x\0y\0"), "long": ("REG_SZ", "L" * 13000),
                  "longer": ("REG_SZ", "M" * 5000), "last": ("REG_SZ", "")}
        self.wine.reg_add_all(values, key=key + r"\Together")
        for name, (kind, data) in values.items():
            self.wine.reg_add(name, kind, data, key=key + r"\Apart")
        self.assertEqual(self.wine.reg_values(key + r"\Together"), self.wine.reg_values(key + r"\Apart"))
        self.assertEqual(len(self.wine.reg_values(key + r"\Together")), len(values))

        bad = [("reg-set", key, "x", "REG_BINARY", "0"), ("reg-set", key, "x", "REG_DWORD", "ten"),
               ("reg-set", key, "x", "REG_QWORD", "1"), ("reg-set-bytes", key, "x", "REG_SZ", "zz"),
               ("reg-set-bytes", key, "x", "REG_SZ", "00", "y", "REG_SZ"),
               ("reg-list", r"HKXX\Software"), ("reg-delete",), ("reg-list", key, "extra")]
        for args in bad:
            with self.subTest(args=args):
                self.assertEqual(self.wine.wintool(*args)[0], 2)

        self.assertTrue(self.wine.reg_delete(key, "text"))
        self.assertFalse(self.wine.reg_delete(key, "text"))
        self.assertNotIn("text", self.wine.reg_values(key))
        self.wine.reg_add("value", "REG_SZ", "below", key=key + r"\Below")
        self.assertTrue(self.wine.reg_delete(key))
        self.assertIsNone(self.wine.reg_values(key + r"\Below"))
        self.assertIsNone(self.wine.reg_values(key))
        self.assertFalse(self.wine.reg_delete(key))

    def test_run_starts_the_exact_command_line_and_gives_its_exit_code(self):
        folder = os.path.join(self.wine.prefix, "drive_c", "run test")
        os.makedirs(folder)
        record_args = os.path.join(harness.BUILD, "record_args.exe")
        harness.require_program(record_args)
        shutil.copy(record_args, folder)
        line = '"C:\\run test\\record_args.exe" /S /D=C:\\Some Folder\\x _?=C:\\a b'
        self.assertEqual(self.wine.run_command_line(line), 0)
        with open(os.path.join(folder, "record_args.txt")) as f:
            self.assertEqual(f.read().strip(), line)
        wintool = harness.windows_path(harness.WINTOOL)
        self.assertEqual(self.wine.run_command_line('"%s" frobnicate' % wintool), 2)
        code, out = self.wine.wintool("run", "C:\\no such program.exe")
        self.assertEqual(code, 1)
        self.assertIn("error", harness.parse_fields(out))


class ScreenshotTest(unittest.TestCase):
    def test_the_root_window_reads_as_imagemagick_reads_it(self):
        harness.require_display()
        from PIL import Image
        # Every 5-6-5 colour of the screen, and more besides, in one still picture.
        gradient = Image.new("RGB", (512, 512))
        gradient.putdata([(x // 2, (x + y) // 4 % 256, y // 2) for y in range(512) for x in range(512)])
        path = os.path.join(harness.output_folder(), "gradient.png")
        gradient.save(path)
        display = harness.own_display()
        env = {**os.environ, "DISPLAY": display}
        viewer = subprocess.Popen(["display", "-geometry", "+0+0", path], stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL, env=env)
        self.addCleanup(lambda: (viewer.kill(), viewer.wait()))
        shown = harness.wait_for(lambda: harness.colour_count(harness.grab_root(display)) > 2000)
        self.assertTrue(shown, "the gradient did not show")
        mine = harness.grab_root(display)
        theirs = os.path.join(harness.output_folder(), "gradient-import.png")
        subprocess.run(["import", "-window", "root", theirs], check=True, timeout=60, env=env)
        self.assertEqual(mine.tobytes(), harness.load(theirs).tobytes())


if __name__ == "__main__":
    harness.main()
