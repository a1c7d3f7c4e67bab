"""Large workbooks: sizes the package cannot hold are refused before anything is read
(exit 2, the file and the limit named, no output), the encrypted workbook is not bound to
a compound file of 109 FAT sectors (about 7 MB), and the progress line appears on a
terminal and nowhere else."""
import io
import os
import pty
import random
import select
import subprocess
import zipfile

import pytest

from conftest import build
from test_workbook_encryption import decrypt, key_password, macro_workbook, packaged_workbook

ITEM_LIMIT = 0xFFFFFFFF          # a packed item's 32-bit sizes
IMAGE_LIMIT = 1 << 31            # Windows starts an executable image only below 2 GiB


def sparse(path, size):
    """A file of `size` bytes that takes no disk space and no time to make."""
    with open(path, "wb") as f:
        f.truncate(size)


def workbook_with_media(size, seed=7):
    """A well-formed macro workbook with an incompressible picture, `size` bytes in all."""
    base = macro_workbook()
    rng = random.Random(seed)
    out = io.BytesIO(base)
    with zipfile.ZipFile(out, "a", zipfile.ZIP_STORED) as z:
        z.writestr("xl/media/image1.png", rng.randbytes(max(size - len(base) - 200, 1)))
    return out.getvalue()


def leftovers(app, output):
    return [p.name for p in app.folder.iterdir() if p.name.startswith(".") or p == output]


LIMIT_CASES = {
    # The workbook item is the 4-byte marker and the workbook: one byte past a container.
    "workbook past a packed item": ("Report.xlsm", ITEM_LIMIT - 3, False,
                                    f"is {ITEM_LIMIT - 3} bytes; a packed item holds at most {ITEM_LIMIT} bytes"),
    # Encrypted, the workbook is stored as it is: it cannot fit beside the stub.
    "encrypted workbook past the executable": ("Report.xlsm", IMAGE_LIMIT, True,
                                               f"Windows starts only when it is below 2 GiB ({IMAGE_LIMIT} bytes)"),
    "splash past the executable": ("splash.jpg", IMAGE_LIMIT - 1000, False, f"({IMAGE_LIMIT} bytes)"),
    "kit file past a packed item": ("kit/1043.txt", ITEM_LIMIT + 1, False, f"holds at most {ITEM_LIMIT} bytes"),
}


@pytest.mark.parametrize("case", LIMIT_CASES.values(), ids=LIMIT_CASES.keys())
def test_sizes_past_the_limits_are_refused_up_front(sheetpack, app, tmp_path, case):
    name, size, protect, message = case
    sparse(app.folder / name, size)
    app.config["protectWorkbook"] = protect
    output = app.folder / "App.exe"
    result = build(sheetpack, app, output)
    assert result.returncode == 2, result.stderr.decode()
    lines = result.stderr.decode().splitlines()
    assert len(lines) == 1 and os.path.basename(name) in lines[0] and message in lines[0], lines
    assert leftovers(app, output) == []


def test_encrypted_workbook_past_the_header_fat(sheetpack, app, tmp_path):
    # More than 109 FAT sectors of 512-byte sectors: the compound file needs DIFAT sectors.
    workbook = workbook_with_media(8 * 1024 * 1024)
    (app.folder / "Report.xlsm").write_bytes(workbook)
    app.config["protectWorkbook"] = True
    exe = tmp_path / "App.exe"
    result = build(sheetpack, app, exe)
    assert result.returncode == 0, result.stderr.decode()
    assert decrypt(packaged_workbook(sheetpack, exe), key_password(app)) == workbook


def run_on_terminal(command):
    """Runs the command with its standard error on a pseudo-terminal; returns what it wrote there."""
    controller, terminal = pty.openpty()
    process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=terminal,
                               env=dict(os.environ, SOURCE_DATE_EPOCH="1700000000"))
    os.close(terminal)
    written = b""
    while True:
        ready, _, _ = select.select([controller], [], [], 120)
        if not ready:
            break
        try:
            chunk = os.read(controller, 65536)
        except OSError:  # the terminal is gone once the process has ended
            break
        if not chunk:
            break
        written += chunk
    os.close(controller)
    assert process.wait(timeout=120) == 0, written.decode(errors="replace")
    return written.decode(errors="replace")


@pytest.fixture(scope="module")
def slow_app(tmp_path_factory, stubs):
    """An application whose workbook takes a few seconds to pack."""
    from conftest import App
    app = App(tmp_path_factory.mktemp("slow"), stubs)
    (app.folder / "Report.xlsm").write_bytes(workbook_with_media(64 * 1024 * 1024))
    return app


@pytest.mark.parametrize("quiet", [False, True], ids=["terminal", "terminal with -q"])
def test_progress_on_a_terminal(sheetpack, slow_app, tmp_path, quiet):
    command = [str(sheetpack), "build", str(slow_app.write_config()), "-o", str(tmp_path / "App.exe")]
    written = run_on_terminal(command + (["-q"] if quiet else []))
    if quiet:
        assert written == ""
    else:
        assert "sheetpack: packing Report.xlsm:" in written and "% (" in written and "\r" in written


def test_no_progress_without_a_terminal(sheetpack, slow_app, tmp_path):
    result = build(sheetpack, slow_app, tmp_path / "App.exe")
    assert result.returncode == 0, result.stderr.decode()
    assert b"packing" not in result.stderr and b"\r" not in result.stderr
