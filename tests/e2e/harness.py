"""The e2e harness: a private Wine prefix, the testkit in it, and journal reading.

Everything Windows runs under Wine on the X display the caller provides (scripts/test
runs the suite inside xvfb-run). Every run has a time-out: a program that hangs fails
its test.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tests" / "common"))
import workbooks  # noqa: E402,F401  (the well-formed workbooks the scenarios pack)
PRESETS = {"x64": "win64", "x86": "win32"}  # the build preset of each bitness
WINE_RUN = REPO / "scripts" / "wine-run"  # runs a program with the Wine loader of its bitness

# Where the 32-bit side of Wine runs under an emulator, each 32-bit process starts tens of
# seconds late and runs many times slower: the limits of a scenario that runs one are
# multiplied by this (conftest sets it for each test).
EMULATED_TIME_SCALE = float(os.environ.get("SHEETPACK_EMULATED_TIME_SCALE", "8"))
time_scale = 1.0


def scaled(seconds):
    """A time limit of the running scenario, stretched where it runs emulated programs."""
    return seconds * time_scale


def windows_path(path):
    """The path as Wine's Z: drive shows the Linux file system."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def parse_journal_line(line):
    """Splits a journal line into its fields; quoted texts come back unescaped."""
    fields = []
    i = 0
    while i < len(line):
        if line[i] == " ":
            i += 1
            continue
        if line[i] != '"':
            end = line.find(" ", i)
            end = len(line) if end < 0 else end
            fields.append(line[i:end])
            i = end
            continue
        text = bytearray()
        i += 1
        while i < len(line) and line[i] != '"':
            if line[i] == "\\" and i + 1 < len(line):
                escape = line[i + 1]
                if escape == "x":
                    text.append(int(line[i + 2:i + 4], 16))
                    i += 4
                    continue
                text += {"n": b"\n", "r": b"\r", "t": b"\t"}.get(escape, escape.encode())
                i += 2
                continue
            text += line[i].encode()
            i += 1
        fields.append(text.decode("utf-8"))
        i += 1
    return fields


class JournalLine(list):
    """One journal line's fields. An `invoke` line ends with the locale id the call was
    made with (`lcid=<n>`); it is kept apart in `lcid`, so that the fields are the call
    alone and compare as they always did. `lcid` is None on every other line."""

    def __init__(self, fields):
        lcid = None
        if fields and fields[0] == "invoke" and fields[-1].startswith("lcid="):
            lcid = int(fields.pop()[len("lcid="):])
        super().__init__(fields)
        self.lcid = lcid


def read_journal(path):
    """The journal as a list of JournalLine; empty when nothing was journaled."""
    path = Path(path)
    if not path.exists():
        return []
    return [JournalLine(parse_journal_line(line)) for line in path.read_text(encoding="utf-8").splitlines()]


class Wine:
    """A fresh Wine prefix of its own, stopped and removed by close()."""

    def __init__(self):
        if not os.environ.get("DISPLAY"):
            raise RuntimeError("no X display: run the e2e tests under xvfb-run (scripts/test does)")
        self.prefix = Path(tempfile.mkdtemp(prefix="sheetpack-e2e-wine."))
        self.env = dict(os.environ, WINEPREFIX=str(self.prefix), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        template = os.environ.get("SHEETPACK_WINE_TEMPLATE")
        if template:
            # A copy of a prefix that nothing has run in yet is as fresh as a new one, and
            # with an emulated 32-bit side a new one takes minutes to make.
            shutil.copytree(template, self.prefix, symlinks=True, dirs_exist_ok=True)
        else:
            subprocess.run([WINE_RUN, "wineboot", "--init"], env=self.env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=900, check=True)
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=900, check=True)
        # One server for the whole session: programs start without waiting for a new one.
        subprocess.run(["wineserver", "-p"], env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60, check=True)

    def run(self, program, *args, timeout, log, debug=None, cwd=None):
        """Runs a Windows program to its end and returns its exit code. `debug` is a
        WINEDEBUG setting for this run and the processes it starts, `cwd` its current
        folder.

        Output goes to `log`, not to a pipe: a process the program leaves behind would
        keep a pipe open and the wait would never end.
        """
        env = dict(self.env, WINEDEBUG=debug) if debug else self.env
        with open(log, "ab") as output:
            process = subprocess.Popen([WINE_RUN, str(program), *map(str, args)], env=env, cwd=cwd,
                                       stdin=subprocess.DEVNULL, stdout=output, stderr=output)
            try:
                return process.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
                raise

    def runs_32_bit(self, log):
        """Whether this Wine runs 32-bit programs: without Debian's wine32 it runs none."""
        try:
            limit = 60 * (EMULATED_TIME_SCALE if os.environ.get("SHEETPACK_WINE32_EMULATED") else 1)
            return self.run("C:\\windows\\syswow64\\cmd.exe", "/c", "exit", "0", timeout=limit, log=log) == 0
        except subprocess.TimeoutExpired:
            return False

    def install_fonts(self):
        """Wine's own fonts (Marlett for the caption buttons, Tahoma) in the prefix's font
        folder, where every program finds them; Debian's Wine does not look for them in
        their package folder."""
        fonts = self.prefix / "drive_c" / "windows" / "Fonts"
        fonts.mkdir(parents=True, exist_ok=True)
        for name in ("marlett.ttf", "tahoma.ttf", "tahomabd.ttf"):
            source = Path("/usr/share/wine/fonts") / name
            if source.exists() and not (fonts / name).exists():
                shutil.copy(source, fonts)

    def unix_path(self, path):
        """Where a path on the prefix's C: drive lies in the Linux file system."""
        drive, _, rest = path.partition(":\\")
        assert drive.upper() == "C", f"not on drive C: {path}"
        return self.prefix / "drive_c" / rest.replace("\\", "/")

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        shutil.rmtree(self.prefix, ignore_errors=True)


class HostRegistration:
    """The stand-in host of one bitness registered for the host's ProgID at a time;
    `programs` maps a bitness ("x64", "x86") to its fakehost.exe.

    A server registers in the registry view of its own bitness. Wine, as Windows does,
    keeps the ProgID's key in one place for both views, starts the server of the client's
    own view when both views have one, and the other view's when only that one has: with
    one registration at a time, the caller decides which host a launcher of either
    bitness gets. Unregistering removes the shared ProgID key too, so the host registered
    goes before the other comes."""

    def __init__(self, wine, programs, log):
        self.wine = wine
        self.programs = programs
        self.log = log
        self.registered = None

    def _run(self, bitness, switch):
        program = self.programs[bitness]
        assert program.exists(), f"{program} does not exist: build the {PRESETS[bitness]} preset first"
        assert self.wine.run(program, switch, timeout=scaled(60), log=self.log) == 0, f"{program} {switch}"

    def use(self, bitness):
        if self.registered == bitness:
            return
        if self.registered:
            self._run(self.registered, "/unregserver")
            self.registered = None
        self._run(bitness, "/regserver")
        self.registered = bitness


def pack_application(packer, folder, config, stub):
    """Packs an application with `sheetpack build` from a configuration dict into
    `folder`/App.exe; its relative paths count from `folder`. The workbook is packed
    unencrypted unless the configuration says otherwise (test_workbook_encryption.py)."""
    config = {"protectWorkbook": False, **config}
    config_path = folder / "app.json"
    config_path.write_text(json.dumps(config), encoding="utf-8")
    program = folder / "App.exe"
    result = subprocess.run([str(packer), "build", str(config_path), "-o", str(program), "--stub", str(stub)],
                            capture_output=True, timeout=300)
    assert result.returncode == 0, result.stderr.decode(errors="replace")
    return program


def message_text(table_id):
    """A built-in text of the launcher's main table, from its readable source."""
    wanted = f"main {table_id} ="
    source = REPO / "core" / "text" / "message_texts.txt"
    for line in source.read_text(encoding="utf-8").splitlines():
        if line.startswith(wanted):
            text = line[len(wanted):]
            return text[1:] if text.startswith(" ") else text
    raise KeyError(table_id)


class Window:
    """One top-level window as the driver journaled it."""

    def __init__(self, class_name, title):
        self.class_name = class_name
        self.title = title
        self.rect = None        # (left, top, width, height) on the screen
        self.owner = None       # (class, title) of the owner window, when it has one
        self.children = []      # (class, id, text, (x, y, width, height)) in the client area
        self.icon = None        # message-box icon: error, question, warning, information, none
        self.action = None      # what the driver did with it

    def texts(self, class_name):
        return [text for cls, _, text, _ in self.children if cls.lower() == class_name.lower()]


class DriverJournal:
    """The driver's journal: the program's windows in order of appearance and its end."""

    def __init__(self, lines):
        self.lines = lines
        self.windows = []
        self.exit_code = None
        self.timed_out = False
        for fields in lines:
            event, values = fields[0], fields[1:]
            if event == "window":
                self.windows.append(Window(*values))
            elif event == "rect":
                self.windows[-1].rect = tuple(map(int, values))
            elif event == "owner":
                self.windows[-1].owner = tuple(values)
            elif event == "child":
                cls, ident, text, *box = values
                self.windows[-1].children.append((cls, int(ident), text, tuple(map(int, box))))
            elif event == "icon":
                self.windows[-1].icon = values[0]
            elif event == "action":
                self.windows[-1].action = values[0]
            elif event == "exit":
                self.exit_code = int(values[0])
            elif event == "timeout":
                self.timed_out = True
