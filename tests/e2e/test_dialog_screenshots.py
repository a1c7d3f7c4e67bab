"""Screenshots of the three windows of a packed application as a user sees them: the
application runs in a Wine virtual desktop, which draws frames and captions the way
Windows does, and is answered with real key presses. The pictures go to
SHEETPACK_SCREENSHOTS (default: e2e-screenshots in the win64 build tree)."""
import os
import subprocess
import time
from pathlib import Path

import pytest

from harness import WINE_RUN, DriverJournal, message_text, read_journal, windows_path
from ui_support import PASSWORD, TITLE, make_jpeg, pack_app, screenshot, xdotool

PROMPT = f"{message_text(71)} {TITLE}"
NOTICE = f"{TITLE} - {message_text(17)}"
SPLASH = "SheetpackSplash"
DESKTOP = "1024x768"

NOTICE_TEXT = """Welcome to <?APPNAME?> <?APPVER?>.

This workbook keeps the accounts of a small business: invoices, payments and the \
yearly statements. Please save your work before you close Excel; the application \
keeps its settings between runs.

Questions and updates: http://example.com/ledger
"""


@pytest.fixture
def shots(build_win64, wine):
    wine.install_fonts()
    folder = Path(os.environ.get("SHEETPACK_SCREENSHOTS", build_win64 / "e2e-screenshots"))
    folder.mkdir(parents=True, exist_ok=True)
    return folder


class DesktopRun:
    """The driver and the program inside a Wine virtual desktop; explorer returns at
    once, so the end is read from the driver's journal."""

    def __init__(self, scenario, program, answers):
        self.scenario = scenario
        command = [f"/desktop=shots,{DESKTOP}", windows_path(scenario.testkit / "driver.exe"),
                   "--journal", windows_path(scenario.driver_journal_path), "--timeout", "90000"]
        for match, action in answers.items():
            command += ["--answer", f"{match}={action}"]
        command += ["--", windows_path(program)]
        self.process = subprocess.Popen([WINE_RUN, "explorer", *command], env=scenario.wine.env,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)

    def journal(self):
        return DriverJournal(read_journal(self.scenario.driver_journal_path))

    def wait_for_window(self, part, timeout=60):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for window in self.journal().windows:
                if (part in window.class_name or part in window.title) and window.action is not None:
                    time.sleep(0.7)  # drawn completely
                    return window
            time.sleep(0.1)
        raise AssertionError(f"no window with {part!r} appeared")

    def wait_for_end(self, timeout=90):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            journal = self.journal()
            if journal.exit_code is not None or journal.timed_out:
                self.process.wait(timeout=30)
                return journal
            time.sleep(0.2)
        raise AssertionError("the program did not end")


def save(shots, name, window, margin=12):
    """The screen, and the window with a margin around it."""
    whole = screenshot(shots / f"{name}-screen.png")
    left, top, width, height = window.rect
    subprocess.run(["convert", str(whole), "-crop",
                    f"{width + 2 * margin}x{height + 2 * margin}+{max(left - margin, 0)}+{max(top - margin, 0)}",
                    "+repage", str(shots / f"{name}.png")], check=True)


def test_screenshots_of_prompt_notice_and_splash(scenario, stub_x64, addin_kit, shots):
    (scenario.folder / "notice.txt").write_text(NOTICE_TEXT, encoding="utf-8")
    make_jpeg(scenario.folder / "splash.jpg", 480, 300, caption=TITLE)
    scenario.host(quitAfter1171=500)
    program = pack_app(scenario, stub_x64, addin_kit, password=PASSWORD, notice="notice.txt",
                       splash="splash.jpg", options={"splash": True})

    run = DesktopRun(scenario, program, {PROMPT: "wait", NOTICE: "wait", SPLASH: "wait"})
    prompt = run.wait_for_window(PROMPT)
    xdotool("type", "--delay", "40", PASSWORD)
    time.sleep(0.5)
    save(shots, "password-prompt", prompt)
    xdotool("key", "Return")

    notice = run.wait_for_window(NOTICE)
    save(shots, "start-notice", notice)
    xdotool("key", "Return")

    splash = run.wait_for_window(SPLASH)
    save(shots, "splash", splash)
    journal = run.wait_for_end()

    assert [w.title for w in journal.windows] == [PROMPT, NOTICE, ""]
    assert journal.exit_code == 0
    assert any(line[0] == "open" for line in scenario.host_journal()), "the start went through"
    for name in ("password-prompt", "start-notice", "splash"):
        assert (shots / f"{name}.png").stat().st_size > 0
