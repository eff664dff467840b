"""Bad settings under the real program: the user's own flag picture and
background, and registry values of the wrong type, length or range.

The program must never crash or hang: it shows a flag and ends with code 0
on pointer moves, or ends cleanly by itself after telling the user, and it
never changes the settings key. Screenshots: a folder of the run's own in <build>/test-output/.
"""
import os

import harness
import bad_input_support as b


class SettingsTestBase(harness.PrefixPerClassTest):
    def setUp(self):
        super().setUp()
        self.files = os.path.join(self.wine.tmp, "files")
        os.makedirs(self.files, exist_ok=True)
        self.red = b.write(os.path.join(self.files, "red.gif"), b.encoded(b.band_flag(), "GIF"))

    def bad_files(self):
        """name -> Windows path of a file that is no usable picture, and whether
        the decoder may still read it (True: either outcome is sound). Each
        way a file fails to decode is checked on the loader itself; here, that
        a failure of either kind reaches the saver's fallback."""
        missing = os.path.join(self.files, "missing.jpg")
        text = b.write(os.path.join(self.files, "text.jpg"), b"no picture at all\n" * 50)
        return [
            ("missing", harness.windows_path(missing), False),
            ("not a picture", harness.windows_path(text), False),
        ]

    def run_case(self, name, values, errors=None, outcomes=(b.FLAG,), inspect=None):
        b.set_values(self.wine, values)
        before = self.wine.export_key()
        run = b.run_program(self, self.wine, ("/s",), name="bad-settings-" + name.replace(" ", "_")[:40],
                            inspect=inspect)
        self.assertIn(run.outcome, outcomes, run.screenshot)
        if errors is not None:
            self.assertIn(run.errors, errors)
        if before is None:
            # Start-up creates a missing key, empty.
            self.assertEqual(self.wine.reg_query(), {}, "the saver wrote settings")
        else:
            self.assertEqual(self.wine.export_key(), before, "the saver wrote settings")
        return run


class UserPicturesTest(SettingsTestBase):
    def test_bad_user_pictures_fall_back_and_a_bad_background_is_reported(self):
        # The flag and the background named the same bad file in one run: the
        # built-in flag shows, and only the background's failure is told.
        huge = b.write(os.path.join(self.files, "huge.jpg"), b.huge_jpeg())
        for name, path, may_load in self.bad_files() + [("8000 x 6000", harness.windows_path(huge), True)]:
            with self.subTest(name):
                flag = {} if may_load else {
                    "[Use Flag-Logo]": ("REG_DWORD", 1), "[Logo Full Path]": ("REG_SZ", path),
                    "[Logo Title]": ("REG_SZ", "Mine")}
                allowed = [[b.BACKGROUND_FAILED]] + ([[]] if may_load else [])
                run = self.run_case("pictures " + name, {
                    **flag,
                    "[Background Path]": ("REG_SZ", path),
                    "[Background Title]": ("REG_SZ", "Mine"),
                    "[Background Width]": ("REG_DWORD", 800),
                    "[Background Height]": ("REG_DWORD", 600)}, errors=allowed)
                if not may_load:
                    self.assertLess(b.band_flag_share(run.image), 0.05, run.screenshot)

    def test_numbers_out_of_range_keep_the_scene_finite(self):
        # Both ends of a 32-bit wind power, beside a stored background size
        # that does not fit the file; the clamp's boundaries and the fit of
        # every odd size are checked on their own. Here: the values reach
        # them unchecked, and the red flag still hangs before a blue picture.
        blue = b.write(os.path.join(self.files, "blue.gif"), b.encoded(b.solid((256, 192)), "GIF"))

        def flag_visible(run):
            self.assertGreater(b.band_flag_share(run.image), 0.1, f"no flag left: {run.screenshot}")

        for power, side in ((2147483647, 0), (0x80000000, 0xFFFFFFFF)):
            with self.subTest(power=power, background_side=side):
                self.run_case(f"wind {power} background {side}", {
                    "[Wind Power]": ("REG_DWORD", power & 0xFFFFFFFF),
                    "[Use Flag-Logo]": ("REG_DWORD", 1),
                    "[Logo Full Path]": ("REG_SZ", harness.windows_path(self.red)),
                    "[Background Path]": ("REG_SZ", harness.windows_path(blue)),
                    "[Background Width]": ("REG_DWORD", side),
                    "[Background Height]": ("REG_DWORD", side)}, errors=[[]], inspect=flag_visible)


class RegistryValuesTest(SettingsTestBase):
    def test_values_of_the_wrong_type_or_length(self):
        # (name, values, the messages told). Only a background path that is
        # read (a text shorter than its field) and names no picture is told
        # about; a path of the wrong type, too long for its field, or empty
        # is no background at all.
        cases = [
            ("every value absent", {}, []),
            ("numbers stored as text or as wide binary", {
                "[Screen Y]": ("REG_SZ", "768"), "[bFps]": ("REG_SZ", "1"),
                "[Pixel Format]": ("REG_SZ", "22"), "[Random Flag]": ("REG_SZ", "0"),
                "[Screen X]": ("REG_BINARY", "00040000000000000000"),
                "[Wind Power]": ("REG_BINARY", "ffffffffffffff7f")}, []),
            ("texts stored as numbers", {
                "[Random Flag]": ("REG_DWORD", 0), "[Select Flag]": ("REG_DWORD", 5),
                "[Directory]": ("REG_DWORD", 7), "[Background Path]": ("REG_DWORD", 1),
                "[Logo Title]": ("REG_DWORD", 3)}, []),
            ("texts one byte shorter than their fields", {
                "[Directory]": ("REG_SZ", "D" * 4095), "[Background Path]": ("REG_SZ", "B" * 4095),
                "[Select Flag]": ("REG_SZ", "S" * 1023), "[Random Flag]": ("REG_DWORD", 0)},
             [b.BACKGROUND_FAILED]),
            # A text that fills its field or passes it reads as absent (each
            # length is checked on the store): the longest stands for them.
            ("texts of 10000 bytes", {
                "[Directory]": ("REG_SZ", "D" * 10000), "[Logo Full Path]": ("REG_SZ", "P" * 10000),
                "[Use Flag-Logo]": ("REG_DWORD", 1), "[Logo Title]": ("REG_SZ", "T" * 10000),
                "[Background Path]": ("REG_SZ", "B" * 10000), "[Select Flag]": ("REG_SZ", "S" * 10000)}, []),
            ("a long user title on the flag, a directory that does not exist", {
                "[Use Flag-Logo]": ("REG_DWORD", 1), "[Logo Full Path]": ("REG_SZ", harness.windows_path(self.red)),
                "[Logo Title]": ("REG_SZ", "\u00e9\u00e8~" * 300), "[Directory]": ("REG_SZ", r"Z:\no\such\folder")}, []),
            # Texts of no bytes at all, and without their terminator as earlier versions stored them.
            ("texts of no bytes or without terminator", {
                "[Select Flag]": ("REG_SZ", b""), "[Random Flag]": ("REG_DWORD", 0),
                "[Logo Title]": ("REG_SZ", b""), "[Background Path]": ("REG_SZ", b""),
                "[Background Title]": ("REG_SZ", harness.stored_text("T" * 1024).data),
                "[Directory]": ("REG_SZ", harness.stored_text(harness.windows_path(harness.FLAG_ROOT)).data)}, []),
        ]
        for name, values, errors in cases:
            with self.subTest(name):
                self.run_case(name, values, errors=[errors])

    def test_display_modes_that_cannot_or_can_hardly_be_made(self):
        # Either the device is made and the flag shows, or "CreateDevice FAILED"
        # is told and the program ends by itself: both end with code 0.
        either = (b.FLAG, b.ENDED)
        cases = [
            # Sizes and formats that no adapter lists all take one way (the
            # choice of mode is checked for each on its own): both ends here.
            ("screen 0 x 0", {"[Screen X]": 0, "[Screen Y]": 0}, either),
            ("screen 0xFFFFFFFF square", {"[Screen X]": 0xFFFFFFFF, "[Screen Y]": 0xFFFFFFFF}, either),
            ("pixel format 0", {"[Pixel Format]": 0}, (b.FLAG,)),
            ("32-bit format on a 16-bit screen", {"[Pixel Format]": 22}, (b.FLAG,)),
            ("hardware vertex processing", {"[bTnL]": 1}, either),
        ]
        for name, numbers, outcomes in cases:
            with self.subTest(name):
                run = self.run_case(name, {k: ("REG_DWORD", v) for k, v in numbers.items()},
                                    errors=[[], [b.DEVICE_FAILED]], outcomes=outcomes)
                if run.outcome == b.ENDED:
                    self.assertEqual(run.errors, [b.DEVICE_FAILED])


if __name__ == "__main__":
    harness.main()
