"""wintool, the helper that the end-to-end tests drive windows with."""
import unittest

import harness

WM_CLOSE = 0x10
WM_GETTEXTLENGTH = 0x0E


class WintoolTest(unittest.TestCase):
    def setUp(self):
        self.wine = harness.Wine()

    def tearDown(self):
        self.wine.close()

    def start_host(self, *args):
        proc = self.wine.start(harness.WINTOOL, "host", *args)
        line = proc.stdout.readline()
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
        code, out = self.wine.wintool("send", hwnd, str(WM_GETTEXTLENGTH), "0", "0")
        self.assertEqual((code, harness.parse_fields(out)["result"]), (0, str(len(title))))

        code, _ = self.wine.wintool("post", hwnd, hex(WM_CLOSE), "0", "0")
        self.assertEqual(code, 0)
        self.assertEqual(proc.wait(timeout=20), 0)
        code, _ = self.wine.wintool("wait-gone", hwnd, "--timeout", "5000")
        self.assertEqual(code, 0)

    def test_host_title_and_missing_windows(self):
        proc, hwnd = self.start_host("200", "90", "second host")
        code, out = self.wine.wintool("wait", "--title", "second host", "--class", "wintool host")
        self.assertEqual((code, harness.parse_fields(out)["hwnd"]), (0, hwnd))
        self.wine.wintool("post", hwnd, str(WM_CLOSE), "0", "0")
        self.assertEqual(proc.wait(timeout=20), 0)

        cases = [
            (("wait", "--title", "no such window", "--timeout", "300"), 1),
            (("text", hwnd), 1),          # destroyed by now
            (("pid-of", "0x7ffffff0"), 1),
            (("send", hwnd, "16", "0"), 2),
            (("post", "abc", "16", "0", "0"), 2),
            (("wait",), 2),
            (("host", "0", "10"), 2),
            (("frobnicate",), 2),
        ]
        for args, expected in cases:
            with self.subTest(args=args):
                code, _ = self.wine.wintool(*args)
                self.assertEqual(code, expected)


if __name__ == "__main__":
    unittest.main()
