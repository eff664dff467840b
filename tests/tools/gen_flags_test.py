"""tools/gen_flags.py --check on a tampered copy of the build's flag folder
(FLAG_FOLDER): it names each tampering, exits with 1 and writes nothing. Runs
natively, without Wine."""
import hashlib
import os
import shutil
import subprocess
import tempfile
import unittest

from PIL import Image

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
FOLDER = os.environ.get("FLAG_FOLDER", "")


def files_below(top):
    """{path: (time written, SHA-256 of its bytes)} of every file below top, but in .git and build folders."""
    found = {}
    for folder, subfolders, names in os.walk(top):
        subfolders[:] = [s for s in subfolders if s not in (".git", "build")]
        for name in names:
            with open(os.path.join(folder, name), "rb") as f:
                found[f.name] = os.fstat(f.fileno()).st_mtime_ns, hashlib.sha256(f.read()).hexdigest()
    return found


class TamperedCopyTest(unittest.TestCase):
    def test_each_tampering_named_and_nothing_written(self):
        self.assertTrue(os.path.isfile(os.path.join(FOLDER, "Chad.png")), f"no flag folder FLAG_FOLDER={FOLDER!r}")
        temp = tempfile.mkdtemp(prefix="flags-")
        self.addCleanup(shutil.rmtree, temp)
        copy = shutil.copytree(FOLDER, os.path.join(temp, "IMAGE"))
        with Image.open(os.path.join(copy, "Chad.png")) as chad:
            chad.convert("RGB").rotate(180).save(os.path.join(copy, "Chad.png"))
        with open(os.path.join(copy, "desktop.ini"), "w") as stray:
            stray.write("[.ShellClassInfo]\n")
        shutil.copy(os.path.join(copy, "Saint Lucia.png"), os.path.join(copy, "St. Lucia.png"))
        before = {**files_below(copy), **files_below(ROOT)}
        done = subprocess.run(["/usr/bin/python3", "-B", os.path.join(ROOT, "tools", "gen_flags.py"), "--check",
                               "--folder", copy], capture_output=True, text=True, timeout=600)
        self.assertEqual(done.returncode, 1, done.stderr)
        faults = [line for line in done.stderr.splitlines() if "FAULT:" in line]
        # Each tampering in a fault of its own kind (the badly named copy is a stray file too).
        for name, words in (("Chad.png", "differs from its rendering"), ("desktop.ini", "not made by this tool"),
                            ("'St. Lucia'", "or is a dot")):
            self.assertTrue(any(name in f and words in f for f in faults), f"no fault for {name}:\n{done.stderr}")
        after = {**files_below(copy), **files_below(ROOT)}
        self.assertEqual([path for path in sorted(set(before) | set(after)) if before.get(path) != after.get(path)],
                         [], "files the check wrote or removed")


if __name__ == "__main__":
    unittest.main()
