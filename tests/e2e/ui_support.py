"""Helpers of the dialog scenarios: applications packed for them, a launch that runs in
the background while the test looks at the screen, real input through xdotool, and
screenshots of the virtual screen."""
import subprocess
import threading
import time

from harness import WINE_RUN, DriverJournal, read_journal, windows_path, workbooks

TITLE = "Ledger Pro"
PASSWORD = "Open Sesame"
CONTACT = "author@example.com"


def app_config(addin_kit, **extra):
    """A packaging configuration for a stand-in workbook; `extra` adds or replaces keys."""
    config = {"title": TITLE, "version": "1.2.3", "authorContact": CONTACT, "workbook": "Book.xlsm",
              "addinKit": str(addin_kit)}
    config.update(extra)
    return config


def pack_app(scenario, stub, addin_kit, **extra):
    (scenario.folder / "Book.xlsm").write_bytes(workbooks.ooxml("xlsm"))
    return scenario.pack(app_config(addin_kit, **extra), stub)


def make_jpeg(path, width, height, caption=None):
    """A JPEG of a blue-to-white gradient with a dark frame, at 96 dots per inch, with
    an optional caption in its middle."""
    command = ["convert", "-size", f"{width}x{height}", "gradient:#2a5db0-#e8f0ff",
               "-bordercolor", "#102040", "-border", "4", "-resize", f"{width}x{height}!"]
    if caption:
        command += ["-gravity", "center", "-fill", "white", "-font", "DejaVu-Sans-Bold",
                    "-pointsize", str(max(height // 7, 10)), "-annotate", "+0-20", caption]
    command += ["-density", "96", "-units", "PixelsPerInch", "-quality", "92", str(path)]
    subprocess.run(command, check=True)
    return path


def screenshot(path):
    """The whole virtual screen as a PNG."""
    subprocess.run(["import", "-window", "root", str(path)], check=True, timeout=60)
    return path


def screen_pixel(x, y):
    """The colour (r, g, b) of one pixel of the virtual screen."""
    out = subprocess.run(["import", "-window", "root", "-crop", f"1x1+{x}+{y}", "-depth", "8", "rgb:-"],
                         check=True, capture_output=True, timeout=60).stdout
    return tuple(out[:3])


def xdotool(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True, timeout=30)


def register_protocol_handler(wine, protocol, journal):
    """Makes `protocol:` links open a command that appends its argument to `journal`."""
    command = f'cmd.exe /c echo "%1">>{windows_path(journal)}'
    key = f"HKCR\\{protocol}\\shell\\open\\command"
    subprocess.run([WINE_RUN, "reg", "add", key, "/ve", "/d", command, "/f"], env=wine.env,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120, check=True)


def read_handler_journal(journal, timeout=20):
    """The targets the handler was given, waited for."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if journal.exists() and journal.read_bytes().strip():
            time.sleep(0.5)
            return [line.strip().strip('"') for line in journal.read_text(errors="replace").splitlines()
                    if line.strip()]
        time.sleep(0.2)
    return []


class BackgroundLaunch:
    """scenario.launch on a thread of its own, so that the test can watch the screen."""

    def __init__(self, scenario, program, *args, answers=None, timeout=90):
        self.scenario = scenario
        self.started = time.monotonic()
        self.ended = None
        self._journal = None
        self._error = None
        self._thread = threading.Thread(target=self._run, args=(program, args, answers, timeout), daemon=True)
        self._thread.start()

    def _run(self, program, args, answers, timeout):
        try:
            self._journal = self.scenario.launch(program, *args, answers=answers, timeout=timeout)
        except BaseException as error:  # handed to the test thread by result()
            self._error = error
        self.ended = time.monotonic()

    def wait_for_window(self, part, timeout=60):
        """The driver's complete record (up to its action) of the first window whose class
        or title holds `part`, and when it was seen."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            journal = DriverJournal(read_journal(self.scenario.driver_journal_path))
            for window in journal.windows:
                if (part in window.class_name or part in window.title) and window.action is not None:
                    return window, time.monotonic()
            if not self._thread.is_alive():
                break
            time.sleep(0.05)
        raise AssertionError(f"no window with {part!r} appeared")

    def result(self, timeout=120):
        self._thread.join(timeout)
        if self._thread.is_alive():
            raise AssertionError("the launch did not end")
        if self._error:
            raise self._error
        return self._journal
