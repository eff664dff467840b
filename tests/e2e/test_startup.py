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

    def test_product_is_a_32_bit_gui_executable(self):
        # The product is the 32-bit build, even where the tests run a 64-bit one.
        product = os.environ.get("FLAGS_PRODUCT", harness.SCR)
        kind = subprocess.run(["file", product], capture_output=True, text=True).stdout
        self.assertIn("PE32 executable (GUI) Intel 80386", kind)

    def test_modes_that_end_by_themselves_exit_with_code_0(self):
        # "/a" hands the change to Wine's own MPR.DLL, which returns at once.
        # "/p" with a number that names no window has nothing to draw into.
        for args in (["/a"], ["-A", "77"], ["/p", "123"], ["/p:99999999999999999999"]):
            with self.subTest(args=args):
                code, _, _ = self.wine.run(harness.SCR, *args, timeout=60)
                self.assertEqual(code, 0)


if __name__ == "__main__":
    unittest.main()
