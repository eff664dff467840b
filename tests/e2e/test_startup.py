"""Every command-line form starts and ends the real program with exit code 0."""
import os
import subprocess
import unittest
from xml.etree import ElementTree

import harness


def product():
    """The product: the 32-bit build, even where the tests run a 64-bit one."""
    path = os.environ.get("FLAGS_PRODUCT")
    if not path:
        raise harness.CannotRun("FLAGS_PRODUCT (the 32-bit product's path) not set")
    harness.require_program(path)
    return path


class ProductFileTest(unittest.TestCase):
    """Needs no display: runs wherever the product has been built."""

    def test_product_is_a_32_bit_gui_executable(self):
        kind = subprocess.run(["file", product()], capture_output=True, text=True).stdout
        self.assertIn("PE32 executable (GUI) Intel 80386", kind)


class StartupTest(unittest.TestCase):
    def setUp(self):
        self.wine = harness.Wine()

    def tearDown(self):
        self.wine.close()

    def test_manifest_runs_as_invoker_per_monitor_dpi_aware_with_common_controls_6_on_windows_7_to_11(self):
        # Windows reads the manifest of resource type 24, id 1, as it starts the program.
        asm1, asm3 = "{urn:schemas-microsoft-com:asm.v1}", "{urn:schemas-microsoft-com:asm.v3}"
        settings = "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}"
        compat = "{urn:schemas-microsoft-com:compatibility.v1}"
        windows_7_to_11 = {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                           "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                           "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                           "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}
        builds = {harness.SCR, product()}
        for build in sorted(builds):
            with self.subTest(build=build):
                scr = "Z:" + os.path.abspath(build).replace("/", "\\")
                code, out = self.wine.wintool("resource", scr, "24", "1")
                self.assertEqual(code, 0, out)
                fields = harness.parse_fields(out)
                data = bytes.fromhex(fields["data"])
                self.assertEqual(len(data), int(fields["size"]))
                root = ElementTree.fromstring(data.decode("utf-8"))
                self.assertEqual(root.tag, asm1 + "assembly")
                levels = [e.get("level") for e in root.iter(asm3 + "requestedExecutionLevel")]
                self.assertEqual(levels, ["asInvoker"])
                aware = [e.text.strip().lower() for e in root.iter(settings + "dpiAware")]
                self.assertIn(aware, (["true"], ["true/pm"]))
                awareness = [e.text.replace(" ", "") for e in root.iter(
                    "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}dpiAwareness")]
                self.assertEqual(awareness, ["PerMonitorV2,PerMonitor"])
                controls = [e.attrib for e in root.iter(asm1 + "assemblyIdentity")
                            if e.get("name") == "Microsoft.Windows.Common-Controls"]
                self.assertEqual(len(controls), 1, controls)
                self.assertEqual(controls[0].get("version"), "6.0.0.0")
                self.assertEqual(controls[0].get("publicKeyToken"), "6595b64144ccf1df")
                systems = {e.get("Id").lower() for e in root.iter(compat + "supportedOS")}
                self.assertEqual(systems, windows_7_to_11)
                # One manifest: no second id that Windows would not read.
                code, out = self.wine.wintool("resource", scr, "24", "2")
                self.assertEqual((code, harness.parse_fields(out).get("absent")), (1, "1"))

    def test_modes_that_end_by_themselves_exit_with_code_0(self):
        # "/a" hands the change to Wine's own MPR.DLL, which returns at once.
        # "/p" with a number that names no window has nothing to draw into.
        for args in (["/a"], ["-A", "77"], ["/p", "123"], ["/p:99999999999999999999"]):
            with self.subTest(args=args):
                code, _, _ = self.wine.run(harness.SCR, *args, timeout=60)
                self.assertEqual(code, 0)


if __name__ == "__main__":
    harness.main()
