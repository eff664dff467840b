"""Password change ("/a"): handed to "PwdChangePasswordA" of "MPR.DLL", and
the two messages when the service is missing."""
import os
import shutil

import harness

# Wine's own MPR.DLL loads unless the override says otherwise.
USE_FOLDER_MPR = {"WINEDLLOVERRIDES": "mscoree=;mshtml=;mpr=n,b"}
NO_MPR = {"WINEDLLOVERRIDES": "mscoree=;mshtml=;mpr="}


def is_64_bit(path):
    with open(path, "rb") as f:
        header = f.read(4096)
    pe = int.from_bytes(header[0x3C:0x40], "little")
    return header[pe + 24:pe + 26] == b"\x0b\x02"  # the optional header of PE32+


def recorded_calls(record):
    """The calls the recording MPR.DLL wrote, one {field: value} each; [] when none."""
    if not os.path.exists(record):
        return []
    with open(record) as f:
        return [harness.parse_fields(line) for line in f if line.strip()]


def one_call(owner):
    return [{"provider": "SCRSAVE", "owner": owner, "reserved1": "0", "reserved2": "0"}]


class ChangePasswordTest(harness.PrefixPerClassTest):
    def system_folder(self):
        """The prefix's system folder as the program sees it (a 32-bit
        program in a 64-bit prefix sees SysWOW64 as its system folder)."""
        windows = os.path.join(self.wine.prefix, "drive_c", "windows")
        wow = os.path.join(windows, "syswow64")
        return wow if not is_64_bit(harness.SCR) and os.path.isdir(wow) else os.path.join(windows, "system32")

    def use_recording_system_mpr(self):
        """Puts the recording MPR.DLL in place of the system's own until the
        test ends; returns the path of its record. The system's file is a
        hard link shared with the prepared prefix, so it is moved aside,
        never written."""
        folder = self.system_folder()
        system_mpr = os.path.join(folder, "mpr.dll")
        aside = system_mpr + ".wine"
        record = os.path.join(folder, "mpr_calls.txt")
        os.replace(system_mpr, aside)
        self.addCleanup(os.replace, aside, system_mpr)
        shutil.copyfile(harness.MPR_RECORDING, system_mpr)
        self.addCleanup(lambda: os.path.exists(record) and os.remove(record))
        return record

    def test_system_service_is_called_and_the_program_ends(self):
        # Wine's own service: whatever it answers, the program ends with 0.
        code, _, _ = self.wine.run(harness.SCR, "/a", timeout=60)
        self.assertEqual(code, 0)
        # The service found in the system folder (none beside the program)
        # is called, once, with the arguments a password provider expects.
        record = self.use_recording_system_mpr()
        code, _, _ = self.wine.run(harness.SCR, "/a", env=USE_FOLDER_MPR, timeout=60)
        self.assertEqual(code, 0)
        self.assertEqual(recorded_calls(record), one_call("0"))

    def test_service_gets_the_provider_the_owner_and_two_zeros(self):
        folder, scr = harness.install_program(self.wine, harness.MPR_RECORDING)
        record = os.path.join(folder, "mpr_calls.txt")
        for args, owner in ((["/a:4660"], "4660"), (["/a"], "0")):
            with self.subTest(args=args):
                if os.path.exists(record):
                    os.remove(record)
                code, _, _ = self.wine.run(scr, *args, env=USE_FOLDER_MPR, timeout=60)
                self.assertEqual(code, 0)
                self.assertEqual(recorded_calls(record), one_call(owner))

    def test_missing_service_is_reported_in_a_box_owned_by_the_given_window(self):
        cases = [
            ("library without the function", harness.MPR_WITHOUT, USE_FOLDER_MPR, "Can't get PwdChangePassword"),
            ("library disabled", None, NO_MPR, "Can't load MPR.DLL"),
        ]
        for name, dll, env, text in cases:
            with self.subTest(name):
                host = self.wine.start(harness.WINTOOL, "host", "200", "100", "owner of the box")
                owner = harness.parse_fields(harness.read_line(host, 60))["hwnd"]
                folder, scr = harness.install_program(self.wine, *([dll] if dll else []))
                if not dll and os.path.exists(os.path.join(folder, "MPR.DLL")):
                    os.remove(os.path.join(folder, "MPR.DLL"))
                proc = self.wine.start(scr, "/a", owner, env=env)
                try:
                    box = harness.wait_window(self, self.wine, title="Error", class_name="#32770")
                    self.assertEqual(box["owner"], owner)
                    self.assertEqual(harness.box_text(self.wine, box["hwnd"]), text)
                    watch = harness.watch_exit(self, self.wine, box["hwnd"])
                    harness.post(self, self.wine, box["hwnd"], harness.WM_COMMAND, harness.IDOK)
                    self.assertEqual(harness.wait_exit(self, proc, watch=watch), 0)
                finally:
                    if proc.poll() is None:
                        proc.kill()
                        proc.wait()
                    harness.post(self, self.wine, owner, harness.WM_CLOSE)
                    self.assertEqual(host.wait(timeout=harness.END_SECONDS), 0)


if __name__ == "__main__":
    harness.main()
