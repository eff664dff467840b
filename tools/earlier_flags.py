#!/usr/bin/python3
"""Lists, from the repository's history, the flag files that earlier releases
installed into IMAGE, so that the setup program can remove them.

    /usr/bin/python3 tools/earlier_flags.py          write the list and the test copies
    /usr/bin/python3 tools/earlier_flags.py --check  read the history again and compare;
                                                     writes nothing

Until commit 5fb61a0 the folder held hand-drawn GIF, JPEG and BMP flags (and
four PNG) under the names of today's nations; loading by name tries those
endings before ".png", so left beside today's flags they show a nation twice.
Every version of a file in IMAGE committed before then goes to
  installer/earlier-flags.txt   the versions under names that are not today's
                                files: SHA-256, size in bytes, name
  tests/e2e/earlier_flags/      every such file as it was committed, the
                                earlier releases' folder the installer test
                                installs over
The history before that commit never changes; the check fails (status 1)
when the committed files differ from it or the history is not there.
"""

import hashlib
import os
import subprocess
import sys

import gen_flags

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LIST_PATH = os.path.join(ROOT, "installer", "earlier-flags.txt")
COPIES_DIR = os.path.join(ROOT, "tests", "e2e", "earlier_flags")
# The commit that put the rendered flags in place of the hand-drawn ones.
REPLACED_BY = "5fb61a0e923990bf53e2f6f77d4d2ae94454a964"
HEADER = """\
# The flag files that earlier releases installed into IMAGE, under names that
# are not today's flags: one version a line, SHA-256, size in bytes, name.
# The setup program removes such a file only where it is one of these
# versions byte for byte. Made by tools/earlier_flags.py from the history.
"""


def git(*args):
    return subprocess.run(["git", "-C", ROOT, *args], check=True, capture_output=True).stdout


def committed_versions():
    """{file name: {bytes, ...}} of every file version in IMAGE before REPLACED_BY."""
    versions = {}
    for commit in git("log", "--format=%H", REPLACED_BY + "^", "--", "IMAGE").split():
        for entry in git("ls-tree", "-r", "-z", commit.decode(), "IMAGE/").split(b"\0"):
            if entry:
                meta, path = entry.split(b"\t", 1)
                blob = meta.split()[2]
                versions.setdefault(os.path.basename(path.decode()), {})[blob] = None
    return {name: [git("cat-file", "blob", blob.decode()) for blob in blobs]
            for name, blobs in versions.items()}


def made_files():
    """{path: bytes} of the list and the copies, as the history gives them."""
    versions = committed_versions()
    if any(len(found) > 1 for found in versions.values()):
        # One folder of copies cannot hold two versions under one name.
        raise SystemExit("earlier_flags: a name with two versions: the copies need another layout")
    # The files of today's folder, as the build renders it.
    today = {name + ".png" for _, name in gen_flags.FLAGS} | set(gen_flags.KEPT_FLAGS) | {gen_flags.REGION_LIST}
    lines = ["%s %d %s\n" % (hashlib.sha256(data).hexdigest(), len(data), name)
             for name, found in sorted(versions.items()) if name not in today for data in found]
    files = {LIST_PATH: (HEADER + "".join(lines)).encode("utf-8")}
    for name, (data,) in versions.items():
        files[os.path.join(COPIES_DIR, name)] = data
    return files


def read(path):
    try:
        with open(path, "rb") as handle:
            return handle.read()
    except OSError:
        return None


def main(argv):
    if argv[1:] not in ([], ["--check"]):
        sys.stderr.write("usage: earlier_flags.py [--check]\n")
        return 2
    try:
        files = made_files()
    except subprocess.CalledProcessError as failed:
        sys.stderr.write("earlier_flags: the history before %s is not there (%s)\n"
                         % (REPLACED_BY[:7], failed.stderr.decode().strip()))
        return 1
    present = set(os.listdir(COPIES_DIR)) if os.path.isdir(COPIES_DIR) else set()
    extra = sorted(present - {os.path.basename(p) for p in files if p != LIST_PATH})
    if not argv[1:]:
        os.makedirs(COPIES_DIR, exist_ok=True)
        for name in extra:
            os.remove(os.path.join(COPIES_DIR, name))
        for path, data in files.items():
            if read(path) != data:
                with open(path, "wb") as handle:
                    handle.write(data)
        extra = []
    faults = [os.path.relpath(p, ROOT) + " differs" for p, data in files.items() if read(p) != data]
    faults += ["%s is not a file of the history" % name for name in extra]
    for fault in faults:
        sys.stderr.write("earlier_flags: FAULT: %s\n" % fault)
    if faults:
        return 1
    print("earlier_flags: %d versions listed, %d copies match the history before %s"
          % (files[LIST_PATH].count(b"\n") - HEADER.count("\n"), len(files) - 1, REPLACED_BY[:7]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
