"""Strange command lines under the real program: every switch form, window
numbers that name no window or do not fit 32 bits, very long lines and junk.

Each run must end with code 0 and leave no window behind: by itself, after
its settings dialog is closed, or after pointer moves once the saver shows
its flag. The settings key stays as it was.
"""
import harness
import bad_input_support as b

FLAG, DIALOG, ENDED = b.FLAG, b.DIALOG, b.ENDED


class CommandLineTest(harness.PrefixPerClassTest):
    def setUp(self):
        super().setUp()
        # Start-up creates a missing settings key (empty); with one value in
        # it the key compares byte for byte before and after.
        self.wine.reg_add("[bTime]", "REG_DWORD", 1)

    def check(self, cases):
        before = self.wine.export_key()
        for label, args, outcomes in cases:
            with self.subTest(label):
                run = b.run_program(self, self.wine, args, name="bad-cmd-" + label.replace(" ", "_")[:40])
                self.assertIn(run.outcome, outcomes)
                # Nothing may be said: the switches carry no file names.
                self.assertEqual(run.errors, [])
                self.assertEqual(self.wine.export_key(), before, "the program wrote settings")

    def test_switch_forms(self):
        self.check([
            ("/s", ("/s",), (FLAG,)),
            ("/S:0", ("/S:0",), (FLAG,)),
            ("/c", ("/c",), (DIALOG,)),
            ("-C with no separator", ("x-C",), (DIALOG,)),
            # Window 123 does not exist: the dialog opens without it or not at all.
            ("/c:123", ("/c:123",), (DIALOG, ENDED)),
            # A child window needs a parent: none, 0 or one that does not exist.
            ("/p with no number", ("/p",), (ENDED,)),
            ("/p 0", ("/p", "0"), (ENDED,)),
            ("/p 12345678", ("/p", "12345678"), (ENDED,)),
            ("/p:abc", ("/p:abc",), (ENDED,)),
            ("/a", ("/a",), (ENDED,)),
            ("/a 12345678", ("/a", "12345678"), (ENDED,)),
            ("unknown switches only", ("/x", "-q", "/z"), (DIALOG, FLAG, ENDED)),
        ])

    def test_numbers_beyond_32_bits(self):
        self.check([
            # 4294967297 is window 1 modulo 2^32, which is no window here.
            ("/p 4294967297", ("/p", "4294967297"), (ENDED,)),
            ("/p 99999999999999999999", ("/p", "9" * 20), (ENDED,)),
            ("/p with 400 digits", ("/p", "7" * 400), (ENDED,)),
            # A saver owned by a window that does not exist.
            ("/s 4294967296", ("/s", "4294967296"), (FLAG, ENDED)),
            ("/c 18446744073709551617", ("/c", "18446744073709551617"), (DIALOG, ENDED)),
        ])

    def test_long_lines_and_junk(self):
        junk = "".join(chr(c) for c in range(1, 32) if c not in (9, 10, 13)) + "\x7f\u00ff\u00fe\u00a0"
        self.check([
            ("30000 characters and junk bytes then /s", ("x" * 30000 + junk, "/s"), (FLAG,)),
            ("/s then junk and 30000 digits", ("/s" + junk, "9" * 30000), (FLAG, ENDED)),
            ("/p then 30000 colons", ("/p" + ":" * 30000,), (ENDED,)),
            # Wine escapes each quote for the Windows command line (two
            # characters): 9000 pairs stay under its 32767-character limit.
            ("/c then 27000 characters of quotes and blanks", ("/c", '" ' * 9000), (DIALOG,)),
            ("junk bytes only", (junk,), (DIALOG, FLAG, ENDED)),
            ("a lone slash at the end", ("/",), (DIALOG, FLAG, ENDED)),
        ])


if __name__ == "__main__":
    harness.main()
