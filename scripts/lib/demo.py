"""Packs examples/budget as an author would, with no add-in kit of its own (sheetpack packs
the runtime shipped with it), and launches it under Wine against the stand-in host,
which plays a user who closes Excel after a while; then tells what the launcher and the
runtime did, in the order the host saw it, and whether the workspace was removed. Run
by scripts/demo."""
import shutil
import subprocess
import sys
import threading
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tests" / "e2e"))

from harness import DriverJournal, Wine, read_journal, windows_path  # noqa: E402

BUILD = REPO / "build"
OUT = BUILD / "demo"

MEMBERS = {
    "118": "Workbooks.Count", "298": "Workbook.Saved",
    "139": "Caption", "277": "Workbooks.Close", "302": "Quit", "343": "DisplayAlerts", "392": "Version",
    "558": "Visible", "572": "Workbooks", "682": "Workbooks.Open", "1209": "DefaultSaveFormat",
    "1210": "UserControl", "1798": "ProductCode", "1801": "LanguageSettings", "1950": "Hwnd",
    "1": "LanguageID",
}

MESSAGES = {
    "1159": "the launcher's process id", "1181": "the default save format and the UI language",
    "1178": "the silent-start value", "1160": "the launcher's path is known", "1155": "settings are available",
    "1179": "the last synchronous message", "1171": "posted: the add-in takes over",
}


def describe(fields):
    event, values = fields[0], fields[1:]
    if event == "invoke":
        member = MEMBERS.get(values[0], f"member {values[0]}")
        arguments = " ".join(values[2:]).replace("named=-3 ", "")
        return f"host call   {values[1]:<6} {member} {arguments}".rstrip()
    if event == "msg":
        meaning = MESSAGES.get(values[0], "")
        return f"add-in got  message {values[0]} ({values[1]}, {values[2]}) {meaning}".rstrip()
    if event == "startinfo":
        info = bytes.fromhex(values[0]).decode("utf-8", "replace").replace("\n", " | ") if values[0] not in (
            "empty", "none") else values[0]
        return f"add-in read the start-up information: {info}"
    if event == "folder":
        return f"workspace   {values[0]} ({values[1]} bytes)"
    if event in ("open", "posted"):
        values = values[:-1]  # the time of the event
    labels = {"open": "host opened", "loader": "loader macro: DummyFunc9 returned", "visible": "host visible =",
              "posted": "host got the posted message", "close": "workbook closed by", "user": "the user did:",
              "quit": "host quit", "end": "host ended", "released": "the last reference to the host went"}
    return f"{labels.get(event, event)} {' '.join(values)}".rstrip()


def screenshots(stop, wine_env):
    """The screen every second while the application starts."""
    for second in range(1, 30):
        if stop.wait(1.0):
            return
        subprocess.run(["import", "-window", "root", str(OUT / f"screen-{second:02d}s.png")], env=wine_env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def main():
    shutil.rmtree(OUT, ignore_errors=True)
    OUT.mkdir(parents=True)
    program = OUT / "Budget.exe"
    packed = subprocess.run([str(BUILD / "native" / "packer" / "sheetpack"), "build",
                             str(REPO / "examples" / "budget" / "budget.json"), "-o", str(program)],
                            capture_output=True, text=True)
    print(packed.stdout + packed.stderr, end="")
    if packed.returncode != 0:
        return packed.returncode
    print(f"packed {program.relative_to(REPO)} ({program.stat().st_size} bytes)")

    wine = Wine()
    wine.install_fonts()
    try:
        testkit = OUT / "testkit"
        testkit.mkdir()
        for name in ("fakehost.exe", "driver.exe"):
            shutil.copy(BUILD / "win64" / "testkit" / name, testkit)
        wine.run(testkit / "fakehost.exe", "/regserver", timeout=60, log=OUT / "wine.log")
        journal = OUT / "host.journal"
        # The user closes Excel's window eight seconds after the workbook opened.
        (testkit / "fakehost.ini").write_text(
            f"journal={windows_path(journal)}\nuserCloses=window\nuserDelay=8000\n", encoding="utf-8")
        temp = wine.prefix / "drive_c" / "users"
        before = set(temp.rglob("Temp/*"))

        stop = threading.Event()
        shooter = threading.Thread(target=screenshots, args=(stop, wine.env))
        shooter.start()
        started = time.monotonic()
        driver_journal = OUT / "driver.journal"
        # A Wine desktop of the screen's size draws window frames and captions as Windows does.
        wine.run("explorer", "/desktop=Demo,1024x768", windows_path(testkit / "driver.exe"), "--journal", windows_path(driver_journal), "--timeout", "60000", "--settle", "2500",
                 "--answer", "Before you start=press:1", "--answer", "SheetpackSplash=wait", "--host-class", "XLMAIN",
                 "--", windows_path(program), timeout=90,
                 log=OUT / "wine.log")
        launcher_seconds = time.monotonic() - started
        deadline = time.monotonic() + 30
        while ["end"] not in read_journal(journal) and time.monotonic() < deadline:
            time.sleep(0.2)
        stop.set()
        shooter.join()
        # The launcher's watcher removes the workspace once the host's process has ended.
        deadline = time.monotonic() + 30
        while set(temp.rglob("Temp/*")) - before and time.monotonic() < deadline:
            time.sleep(0.2)
        left = sorted(str(path.relative_to(temp)) for path in set(temp.rglob("Temp/*")) - before)

        driver = DriverJournal(read_journal(driver_journal))
        for window in driver.windows:
            print(f"window      \"{window.title}\" ({window.class_name}) answered with {window.action}")
        print(f"launcher    ended with exit code {driver.exit_code} after {launcher_seconds:.1f} s")
        # Repeated lines (the runtime watching the workbook) are told once, with their count.
        lines = [describe(fields) for fields in read_journal(journal)]
        for i, line in enumerate(lines):
            if i + 1 < len(lines) and lines[i + 1] == line:
                continue
            repeats = next((n for n in range(i, -1, -1) if lines[n] != line), -1)
            count = i - repeats
            print(line if count == 1 else f"{line} (x{count})")
        print("workspace   removed by the launcher's watcher" if not left else f"left behind: {left}")
    finally:
        wine.close()
    print(f"screenshots in {OUT.relative_to(REPO)}/screen-*.png")
    return 0


if __name__ == "__main__":
    sys.exit(main())
