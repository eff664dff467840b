"""Every command-line form starts and ends the real program with exit code 0."""
import os
import subprocess
import unittest

import harness


class StartupTest(unittest.TestCase):
    def setUp(self):
        self.wine = harness.Wine()

    def tearDown(self):
        self.wine.close()

    def test_program_is_a_32_bit_gui_executable(self):
        kind = subprocess.run(["file", harness.SCR], capture_output=True, text=True).stdout
        self.assertIn("PE32 executable (GUI) Intel 80386", kind)

    def test_modes_that_end_by_themselves_exit_with_code_0(self):
        # "/a" hands the change to Wine's own MPR.DLL, which returns at once.
        for args in (["/a"], ["-A", "77"]):
            with self.subTest(args=args):
                code, _, _ = self.wine.run(harness.SCR, *args, timeout=60)
                self.assertEqual(code, 0)


if __name__ == "__main__":
    unittest.main()
