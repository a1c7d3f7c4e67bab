"""Fixtures for the sheetpack integration tests.

The tests run the native sheetpack against the real launcher stubs from the win64 and
win32 build trees (ctest passes their paths in SHEETPACK_STUB_X64/X86) and the runtime
kit of the win64 tree (SHEETPACK_ADDIN_X64/X86). A missing file fails the tests instead
of skipping them: scripts/test builds the Windows trees before it runs these tests, so
a missing one means the Windows build is broken.
"""
import json
import os
import random
import struct
import subprocess
import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "common"))
import workbooks  # noqa: E402  (tests/common, shared with the e2e scenarios)

WORKBOOK_MARKER = struct.pack("<I", 0x30751092)


def _required_file(variable):
    value = os.environ.get(variable)
    if not value:
        pytest.fail(f"{variable} is not set: run these tests through ctest")
    path = Path(value)
    if not path.is_file():
        pytest.fail(f"{path} does not exist: build the win64 and win32 presets first (scripts/test does)")
    return path


@pytest.fixture(scope="session")
def sheetpack():
    return _required_file("SHEETPACK")


@pytest.fixture(scope="session")
def runtime_addins():
    """The runtime's add-ins of the win64 build tree: the kit sheetpack packs without "addinKit"."""
    return {"x64": _required_file("SHEETPACK_ADDIN_X64"), "x86": _required_file("SHEETPACK_ADDIN_X86")}


@pytest.fixture(scope="session")
def stubs():
    return {"x64": _required_file("SHEETPACK_STUB_X64"), "x86": _required_file("SHEETPACK_STUB_X86")}


def run(sheetpack, *args, env=None, cwd=None):
    environment = dict(os.environ)
    environment.update(env or {})
    return subprocess.run([str(sheetpack), *map(str, args)], capture_output=True, env=environment, cwd=cwd,
                          timeout=300)


def fake_jpeg(rng, size=3000):
    return b"\xFF\xD8\xFF\xE0\x00\x10JFIF\x00" + rng.randbytes(size) + b"\xFF\xD9"


def ico_file(images):
    """An .ico file with one directory entry per image (sizes 16, 32, ...)."""
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for index, image in enumerate(images):
        side = 16 * (index + 1)
        entries += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return header + entries + b"".join(images)


class App:
    """An application's files in a folder, and its configuration."""

    def __init__(self, folder, stubs, workbook_size=300_000, seed=1):
        rng = random.Random(seed)
        self.folder = folder
        self.kit = folder / "kit"
        self.kit.mkdir(parents=True)
        self.files = {
            "Report.xlsm": workbooks.ooxml("xlsm", payload=rng.randbytes(workbook_size)),
            "kit/addin-x86.dll": stubs["x86"].read_bytes(),
            "kit/addin-x64.dll": stubs["x64"].read_bytes(),
            "kit/loader.xls": b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + rng.randbytes(2000),
            "kit/1043.txt": "Index;English;Deutsch\n1;SUM;SUMME\n".encode("utf-8"),
            "kit/1045.txt": "\ufeffEnglish;Deutsch\r\n#DIV/0!;#DIV/0!\r\n".encode("utf-16-le"),
            "kit/1200.bin": b"QZH\x00" + struct.pack("<IIIII", 24, 256, 68, 184, 0) + rng.randbytes(68),
            "splash.jpg": fake_jpeg(rng),
            "notice.txt": "Welcome to <?APPNAME?>\nGrüße".encode("utf-8"),
            "app.ico": ico_file([rng.randbytes(300), rng.randbytes(1100)]),
        }
        for name, data in self.files.items():
            (folder / name).write_bytes(data)
        self.config = {
            "title": "Quarterly Report",
            "info": "Sales figures by region",
            "version": "1.2.3",
            "authorContact": "team@example.com",
            "password": "s3cret",
            "options": {"splash": True, "singleInstance": True, "checkHostVersion": True,
                        "keepHostHidden": False, "savedState": True},
            "workbook": "Report.xlsm",
            "splash": "splash.jpg",
            "notice": "notice.txt",
            "texts": {"7": "Achtung", "41": "Already running\\nTry later"},
            "icon": "app.ico",
            "addinKit": "kit",
            "arch": "x64",
            # Encryption has its own tests (test_workbook_encryption.py); here the packaged
            # workbook stays the author's bytes.
            "protectWorkbook": False,
            "onUpdate": "keepUserWorkbook",
            "versionInfo": {"productName": "Report", "fileDescription": "Quarterly report",
                            "company": "Example Ltd", "copyright": "(c) 2024 Example Ltd"},
        }

    def write_config(self, config=None, name="app.json"):
        path = self.folder / name
        path.write_text(json.dumps(self.config if config is None else config))
        return path


@pytest.fixture
def app(tmp_path, stubs):
    return App(tmp_path / "app", stubs)


def build(sheetpack, app, output, *extra, env=None):
    config = app.write_config()
    default_env = {"SOURCE_DATE_EPOCH": "1700000000"}
    default_env.update(env or {})
    return run(sheetpack, "build", config, "-o", output, *extra, env=default_env)


def inspect_json(sheetpack, exe):
    result = run(sheetpack, "inspect", exe, "--json")
    assert result.returncode == 0, result.stderr.decode()
    return json.loads(result.stdout)


def extract(sheetpack, exe, item, *extra):
    result = run(sheetpack, "extract", exe, item, *extra)
    assert result.returncode == 0, result.stderr.decode()
    return result.stdout
