"""Password change ("/a"): handed to "PwdChangePasswordA" of "MPR.DLL", and
the two messages when the service is missing."""
import os
import unittest

import harness

# Wine's own MPR.DLL loads unless the override says otherwise.
USE_FOLDER_MPR = {"WINEDLLOVERRIDES": "mscoree=;mshtml=;mpr=n,b"}
NO_MPR = {"WINEDLLOVERRIDES": "mscoree=;mshtml=;mpr="}


class ChangePasswordTest(harness.PrefixPerClassTest):
    def setUp(self):
        super().setUp()

    def test_system_service_is_called_and_the_program_ends(self):
        code, _, _ = self.wine.run(harness.SCR, "/a", timeout=60)
        self.assertEqual(code, 0)

    def test_service_gets_the_provider_the_owner_and_two_zeros(self):
        folder, scr = harness.install_program(self.wine, harness.MPR_RECORDING)
        record = os.path.join(folder, "mpr_calls.txt")
        for args, owner in ((["/a:4660"], "4660"), (["/a"], "0")):
            with self.subTest(args=args):
                if os.path.exists(record):
                    os.remove(record)
                code, _, _ = self.wine.run(scr, *args, env=USE_FOLDER_MPR, timeout=60)
                self.assertEqual(code, 0)
                with open(record) as f:
                    calls = [harness.parse_fields(line) for line in f if line.strip()]
                self.assertEqual(calls, [{"provider": "SCRSAVE", "owner": owner,
                                          "reserved1": "0", "reserved2": "0"}])

    def test_missing_service_is_reported_in_a_box_owned_by_the_given_window(self):
        cases = [
            ("library without the function", harness.MPR_WITHOUT, USE_FOLDER_MPR, "Can't get PwdChangePassword"),
            ("library disabled", None, NO_MPR, "Can't load MPR.DLL"),
        ]
        for name, dll, env, text in cases:
            with self.subTest(name):
                host = self.wine.start(harness.WINTOOL, "host", "200", "100", "owner of the box")
                owner = harness.parse_fields(host.stdout.readline())["hwnd"]
                folder, scr = harness.install_program(self.wine, *([dll] if dll else []))
                if not dll and os.path.exists(os.path.join(folder, "MPR.DLL")):
                    os.remove(os.path.join(folder, "MPR.DLL"))
                proc = self.wine.start(scr, "/a", owner, env=env)
                try:
                    box = harness.wait_window(self, self.wine, title="Error", class_name="#32770")
                    self.assertEqual(box["owner"], owner)
                    code, out = self.wine.wintool("children", box["hwnd"])
                    statics = [f["text"] for f in harness.parse_lines(out) if f["class"].lower() == "static"]
                    self.assertIn(text, statics)
                    watch = harness.watch_exit(self, self.wine, box["hwnd"])
                    harness.post(self, self.wine, box["hwnd"], harness.WM_COMMAND, harness.IDOK)
                    self.assertEqual(harness.wait_exit(self, proc, watch=watch), 0)
                finally:
                    if proc.poll() is None:
                        proc.kill()
                        proc.wait()
                    harness.post(self, self.wine, owner, harness.WM_CLOSE)
                    self.assertEqual(host.wait(timeout=30), 0)


if __name__ == "__main__":
    unittest.main()
