"""Shared helpers of the end-to-end tests.

The tests run inside tools/test.sh, which exports DISPLAY (a private Xvfb at
800x600x16), WINEPREFIX (a private prefix in the build tree) and
WINE_ENV_TEMPLATE (the prepared prefix). A test that needs a registry of its
own calls `fresh_prefix()`, which copies the template and gives the test its
own wineserver; everything a test starts is stopped by PID.
"""
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

BUILD = os.environ.get("FLAGS_BUILD", os.path.join(os.path.dirname(__file__), "..", "..", "build", "win"))
SOURCE = os.environ.get("FLAGS_SOURCE", os.path.join(os.path.dirname(__file__), "..", ".."))
SCR = os.path.join(BUILD, "BrevantoFlags.scr")
WINTOOL = os.path.join(BUILD, "wintool.exe")
SETTINGS_KEY = r"HKCU\Control Panel\Desktop\Brevanto Flags"
OUTPUT = os.path.join(BUILD, "test-output")


def require_display():
    if not os.environ.get("DISPLAY") or not os.environ.get("WINEPREFIX"):
        raise unittest.SkipTest("needs the private display and prefix of tools/test.sh")


class Wine:
    """One Wine prefix with its own wineserver."""

    def __init__(self, prefix=None):
        require_display()
        self.owned = prefix is None
        if prefix is None:
            self.tmp = tempfile.mkdtemp(prefix="flags-prefix-", dir=BUILD)
            prefix = os.path.join(self.tmp, "prefix")
            subprocess.run(["cp", "-a", os.environ["WINE_ENV_TEMPLATE"], prefix], check=True)
        self.prefix = prefix
        self.env = dict(os.environ)
        self.env["WINEPREFIX"] = prefix
        self.env.setdefault("WINEDEBUG", "-all")
        self.env.setdefault("WINEDLLOVERRIDES", "mscoree=;mshtml=")
        self.procs = []
        if self.owned:
            # Start the server and Wine's services with no inherited pipes:
            # a service holding a test's pipe would keep communicate() waiting.
            subprocess.run(["wineserver", "-p"], env=self.env, check=True)
            subprocess.run([os.environ.get("WINE", "wine"), "wineboot"], env=self.env,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=120)
            # The desktop process (explorer /desktop) starts with the first
            # program that asks for a window and keeps that program's output
            # pipes; start it here, without pipes, so no test's run() waits on it.
            if os.path.exists(WINTOOL):
                subprocess.run([os.environ.get("WINE", "wine"), WINTOOL, "list"], env=self.env,
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, timeout=120)

    # processes
    def start(self, exe, *args, env=None, cwd=None):
        e = dict(self.env)
        if env:
            e.update(env)
        proc = subprocess.Popen([os.environ.get("WINE", "wine"), exe, *args], env=e, cwd=cwd,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.procs.append(proc)
        return proc

    def run(self, exe, *args, timeout=60, env=None, cwd=None):
        e = dict(self.env)
        if env:
            e.update(env)
        return run_to_files([os.environ.get("WINE", "wine"), exe, *args], e, cwd, timeout)

    def run_command_line(self, command_line, timeout=120):
        """Runs one exact Windows command line and returns its exit code.

        Wine quotes every argument that holds a blank; NSIS's "/D=" and "_?="
        must come unquoted, so the line goes through a batch file, whose cmd
        waits for GUI programs too."""
        fd, path = tempfile.mkstemp(suffix=".bat", dir=os.path.join(self.prefix, "drive_c"))
        with os.fdopen(fd, "w", newline="") as f:
            f.write("@" + command_line + "\r\n@exit %ERRORLEVEL%\r\n")
        try:
            code, _, _ = self.run("cmd", "/c", "C:\\" + os.path.basename(path), timeout=timeout)
        finally:
            os.remove(path)
        return code

    def wintool(self, *args, timeout=30):
        code, out, err = self.run(WINTOOL, *args, timeout=timeout)
        return code, out.replace("\r", "")

    def watch_exit(self, hwnd):
        """Holds the process of a window so that exit_code can read the code
        Windows records for it; None when the process has already gone."""
        watch = self.start(WINTOOL, "exit-code", str(hwnd))
        if "watching" in parse_fields(watch.stdout.readline()):
            return watch
        watch.wait(timeout=30)
        return None

    # registry
    def reg(self, *args):
        code, out, _ = run_to_files([os.environ.get("WINE", "wine"), "reg", *args], self.env, None, 60)
        return code, out.replace("\r", "")

    def reg_query(self, key=SETTINGS_KEY, value=None):
        """Returns {name: (type, data)} of a key, or one value's (type, data), or None."""
        args = ["query", key] + (["/v", value] if value else [])
        code, out = self.reg(*args)
        if code != 0:
            return None
        values = {}
        for line in out.splitlines():
            # Columns are separated by four blanks; value names may hold single blanks.
            parts = re.split(r"\s{4}", line.strip(), maxsplit=2) if line.startswith("    ") else None
            if parts and len(parts) >= 2 and parts[1].startswith("REG_"):
                values[parts[0]] = (parts[1], parts[2] if len(parts) > 2 else "")
        if value:
            return values.get(value)
        return values

    def reg_add(self, value, kind, data, key=SETTINGS_KEY):
        code, out = self.reg("add", key, "/v", value, "/t", kind, "/d", str(data), "/f")
        assert code == 0, out

    def reg_delete_key(self, key=SETTINGS_KEY):
        self.reg("delete", key, "/f")

    def export_key(self, key=SETTINGS_KEY):
        """The key's values as exported text (byte-for-byte comparison)."""
        path = os.path.join(self.prefix, "drive_c", "export.reg")
        code, _ = self.reg("export", key, "C:\\export.reg", "/y")
        if code != 0:
            return None
        with open(path, "rb") as f:
            return f.read()

    def screenshot(self, name, window="root"):
        os.makedirs(OUTPUT, exist_ok=True)
        path = os.path.join(OUTPUT, name)
        subprocess.run(["import", "-window", window, path], check=True, env=self.env, timeout=60)
        return path

    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], check=True, env=self.env, timeout=30)

    def close(self):
        for proc in self.procs:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
            for pipe in (proc.stdout, proc.stderr):
                if pipe:
                    pipe.close()
        if self.owned:
            subprocess.run(["wineserver", "-k"], env=self.env)
            subprocess.run(["wineserver", "-w"], env=self.env)
            shutil.rmtree(self.tmp, ignore_errors=True)


_FIELD = re.compile(r'([A-Za-z_][A-Za-z0-9_-]*)=("(?:[^"\\]|\\.)*"|\S*)')
_ESCAPES = {"n": "\n", "r": "\r", "t": "\t"}


def parse_fields(line):
    """One wintool line as {key: value}; quoted values come back unescaped."""
    fields = {}
    for key, value in _FIELD.findall(line):
        if value.startswith('"'):
            value = re.sub(r'\\(x[0-9A-Fa-f]{2}|.)',
                           lambda m: chr(int(m.group(1)[1:], 16)) if len(m.group(1)) == 3 and m.group(1)[0] == "x"
                           else _ESCAPES.get(m.group(1), m.group(1)), value[1:-1])
        fields[key] = value
    return fields


def parse_lines(text):
    """Every non-empty line of wintool output, parsed."""
    return [parse_fields(line) for line in text.splitlines() if line.strip()]


def run_to_files(command, env, cwd, timeout):
    """Runs a program to its end and returns (code, stdout, stderr).

    The output goes through files, not pipes: Wine's desktop process, started
    again by whichever program next needs it, inherits that program's output
    and would keep a pipe open long after the program ended."""
    with tempfile.TemporaryFile("w+", encoding="utf-8", errors="replace") as out, \
            tempfile.TemporaryFile("w+", encoding="utf-8", errors="replace") as err:
        proc = subprocess.Popen(command, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                                stdout=out, stderr=err)
        try:
            proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
            raise AssertionError(f"{command[1:]} did not end within {timeout} s")
        out.seek(0)
        err.seek(0)
        return proc.returncode, out.read(), err.read()


def exit_code(proc, timeout, watch=None):
    """The program's exit code once it has ended (TimeoutExpired if it does not).

    With a watch, the code is the one Windows recorded. Wine's server kills a
    process whose Unix teardown after ExitProcess lasts over about a second
    (Mesa's, under load), so its Unix status may read -9 although the program
    ended with its own code."""
    unix_code = proc.wait(timeout=timeout)
    if watch is None:
        return unix_code
    out, _ = watch.communicate(timeout=30)
    fields = parse_fields(out)
    if "code" not in fields:
        raise AssertionError(f"no exit code from the watch: {out!r}")
    code = int(fields["code"])
    if unix_code not in (code & 0xFF, -signal.SIGKILL):
        raise AssertionError(f"Unix status {unix_code} does not match the exit code {code}")
    return code


def wait_for(predicate, timeout=30.0, interval=0.2):
    end = time.time() + timeout
    while time.time() < end:
        value = predicate()
        if value:
            return value
        time.sleep(interval)
    return predicate()
