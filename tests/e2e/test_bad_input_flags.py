"""Bad flag folders under the real program: empty or missing folders, files
that only look like pictures, odd pictures and odd names.

Every case must end with a flag on the screen (its own picture where it can
be read, else the built-in one), no message, exit code 0 after pointer moves,
and the settings key unchanged. Pictures in red bands tell on the screen
whether the file itself was loaded. Screenshots: a folder of the run's own in <build>/test-output/.
"""
import os

import harness
import bad_input_support as b

RED = b.encoded(b.band_flag(), "GIF")
LONGEST_NAME = "N" * 250          # with ".gif", 254 bytes: near the file system's limit
LATIN_NAME = "C\u00f4te d'Ivoire"  # stored as UTF-8 on the Unix side
# The random pick visits every file up to 64 times and takes each with odds
# 1/128, else the built-in flag shows: with 32 copies it misses all of them
# with odds (127/128)^(64 x 32) = 1e-7, for each case that expects the file
# itself (10 copies would miss once in 150 runs of a case).
COPIES = 32


def truncated(data):
    return data[: len(data) // 3]


# name -> {file name in IMAGE: bytes, or None for a sub-folder}. Each way a
# file fails to decode (empty, truncated JPEG, GIF or PNG) is checked on the
# loader itself; one such file here stands for them on the random pick.
def folder_cases():
    jpeg = b.encoded(b.band_flag(), "JPEG")
    return {
        # Half files, half folders, all named like pictures.
        "no picture behind the name": {**{"Fake%d.jpg" % k: b"this is no picture\n" * 20 for k in range(COPIES // 2)},
                                       **{"Folder%d.jpg" % k: None for k in range(COPIES // 2)}},
        # The random pick's ending test is case-sensitive, and of "Red. Stars"
        # it takes "Red", which loads nothing by that name.
        "upper-case endings and several dots": {**{"FRANCE%d.JPG" % k: jpeg for k in range(COPIES // 2)},
                                                **{"Red. Stars%d.jpg" % k: jpeg for k in range(COPIES // 2)}},
        "name of 250 characters": {LONGEST_NAME[:-1] + "%d.gif" % k: RED for k in range(COPIES)},
        "Latin-1 name in UTF-8": {LATIN_NAME + "%d.gif" % k: RED for k in range(COPIES)},
        # A byte that is no UTF-8: Wine has to show it somehow.
        "Latin-1 byte in the Unix name": {b"C\xf4te%d.gif" % k: RED for k in range(COPIES)},
    }


class FlagFolderTest(harness.PrefixPerClassTest):
    def setUp(self):
        super().setUp()
        self.root = os.path.join(self.wine.tmp, "flags")

    def make_folder(self, name, files, image=True):
        folder = os.path.join(self.root, name.replace(" ", "_"))
        os.makedirs(folder, exist_ok=True)
        if image:
            os.makedirs(os.path.join(folder, "IMAGE"), exist_ok=True)
        for file_name, data in files.items():
            path = os.path.join(os.fsencode(folder), b"IMAGE", os.fsencode(file_name))
            if data is None:
                os.makedirs(path, exist_ok=True)
            else:
                b.write(path, data)
        return folder

    def run_case(self, name, values, expect_red=None):
        b.set_values(self.wine, values)
        before = self.wine.export_key()
        run = b.run_program(self, self.wine, ("/s",), name="bad-flag-" + name.replace(" ", "_")[:40])
        self.assertEqual(run.outcome, b.FLAG, f"{run.screenshot}, messages {run.errors}")
        self.assertEqual(run.errors, [])
        self.assertEqual(self.wine.export_key(), before, "the saver wrote settings")
        share = b.band_flag_share(run.image)
        if expect_red is True:
            self.assertGreater(share, 0.15, f"the picture itself should show: {run.screenshot}")
        elif expect_red is False:
            self.assertLess(share, 0.05, f"the built-in flag should show: {run.screenshot}")
        return run

    def test_random_choice_over_bad_folders(self):
        # Files that cannot load end in the built-in flag; files that can, show.
        # (An empty folder's pick is the flag folder's own check under Wine.)
        cases = [
            ("no IMAGE folder", {}, False, False),
        ] + [(name, files, True, None) for name, files in folder_cases().items()]
        expect = {"no picture behind the name": False, "upper-case endings and several dots": False,
                  # Its full path passes 260 characters, which the decoder
                  # does not open: the built-in flag is sound as well.
                  "name of 250 characters": None,
                  "Latin-1 name in UTF-8": True, "Latin-1 byte in the Unix name": None}
        for name, files, image, red in cases:
            with self.subTest(name):
                folder = self.make_folder("random " + name, files, image)
                self.run_case("random " + name, {
                    "[Directory]": ("REG_SZ", harness.windows_path(folder)),
                    "[Random Flag]": ("REG_DWORD", 1)}, expect.get(name, red))

    def test_named_choice_of_bad_files(self):
        jpeg = b.encoded(b.band_flag(), "JPEG")
        # Files that do not decode: one stands for the kinds the loader's own
        # check goes through, and one truncated picture for those the decoder
        # may still read in part.
        files = {
            "Fake.jpg": b"this is no picture\n" * 20,
            "CutJ.jpg": truncated(jpeg),
            "Dot.bmp": b.encoded(b.solid((1, 1), b.BAND_RED), "BMP"),
            # Over 64 megapixels: shrunk without its natural-size drawing (a
            # huge picture within them is the user's background's case).
            "Vast.jpg": b.huge_jpeg((8200, 8200)),
            "Anim.gif": b.animated_gif(),
        }
        folder = self.make_folder("named", files)
        # selected name -> the picture itself shows (True), the built-in one (False),
        # or either is sound (None: the decoder may or may not read a damaged file).
        # Odd names, a missing file and an overlong name are the flag folder's
        # own checks under Wine (flag_catalogue_wintest.cpp).
        cases = [("Fake", False), ("CutJ", None), ("Dot", True), ("Vast", True), ("Anim", None)]
        for selected, red in cases:
            with self.subTest(selected[:40]):
                self.run_case("named " + selected[:30], {
                    "[Directory]": ("REG_SZ", harness.windows_path(folder)),
                    "[Random Flag]": ("REG_DWORD", 0),
                    "[Select Flag]": ("REG_SZ", selected)}, red)


if __name__ == "__main__":
    harness.main()
