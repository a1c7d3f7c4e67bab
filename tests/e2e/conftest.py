"""Fixtures of the e2e scenarios: one Wine prefix per test run with the testkit in it,
and per test a scenario folder with the stand-in host's and the driver's journals.

The win64 build tree comes from SHEETPACK_BUILD_WIN64 (default build/win64), the native
packer from SHEETPACK (default build/native/packer/sheetpack). What a scenario needs and
does not find fails it: scripts/test builds everything before it runs these tests.
"""
import json
import os
import shutil
import subprocess
import time
from pathlib import Path

import pytest

from harness import REPO, DriverJournal, Wine, read_journal, windows_path

RUN_TIMEOUT_S = 90  # one program run, from start to its end


def _required(path, what):
    if not path.exists():
        pytest.fail(f"{path} does not exist: {what}")
    return path


@pytest.fixture(scope="session")
def build_win64():
    return Path(os.environ.get("SHEETPACK_BUILD_WIN64", REPO / "build" / "win64"))


@pytest.fixture(scope="session")
def stub_x64(build_win64):
    return _required(build_win64 / "launcher" / "sheetpack-stub-x64.exe", "build the win64 preset first")


@pytest.fixture(scope="session")
def addin_kit(build_win64):
    return _required(build_win64 / "testkit" / "kit", "build the win64 preset first")


@pytest.fixture(scope="session")
def sheetpack():
    path = Path(os.environ.get("SHEETPACK", REPO / "build" / "native" / "packer" / "sheetpack"))
    return _required(path, "build the native preset first")


@pytest.fixture(scope="session")
def wine():
    prefix = Wine()
    yield prefix
    prefix.close()


@pytest.fixture(scope="session")
def testkit(wine, build_win64, tmp_path_factory):
    """fakehost.exe (registered for the host's ProgID) and driver.exe in a folder of their own."""
    folder = tmp_path_factory.mktemp("testkit")
    for name in ("fakehost.exe", "driver.exe"):
        shutil.copy(_required(build_win64 / "testkit" / name, "build the win64 preset first"), folder)
    assert wine.run(folder / "fakehost.exe", "/regserver", timeout=60, log=folder / "wine.log") == 0
    return folder


class Scenario:
    """One run of a program under the driver, with the stand-in host as the spreadsheet host."""

    def __init__(self, wine, testkit, folder, packer):
        self.wine = wine
        self.packer = packer
        self.testkit = testkit
        self.folder = folder
        self.host_journal_path = folder / "host.journal"
        self.driver_journal_path = folder / "driver.journal"
        self.host()

    def host(self, **settings):
        """Writes the stand-in host's fakehost.ini; keys with dots are passed as a dict."""
        lines = [f"journal={windows_path(self.host_journal_path)}"]
        lines += [f"{key}={value}" for key, value in settings.items()]
        (self.testkit / "fakehost.ini").write_text("\n".join(lines) + "\n", encoding="utf-8")

    def pack(self, config, stub):
        """Packs an application with `sheetpack build` from a configuration dict; its
        relative paths count from the scenario folder."""
        config_path = self.folder / "app.json"
        config_path.write_text(json.dumps(config), encoding="utf-8")
        program = self.folder / "App.exe"
        result = subprocess.run([str(self.packer()), "build", str(config_path), "-o", str(program), "--stub", str(stub)],
                                capture_output=True, timeout=300)
        assert result.returncode == 0, result.stderr.decode(errors="replace")
        return program

    def launch(self, program, *args, answers=None, timeout=RUN_TIMEOUT_S):
        """Runs `program` under the driver; `answers` maps a class or title part to an action."""
        command = ["--journal", windows_path(self.driver_journal_path), "--timeout", str(timeout * 1000)]
        for match, action in (answers or {}).items():
            command += ["--answer", f"{match}={action}"]
        command += ["--", windows_path(program), *args]
        code = self.wine.run(self.testkit / "driver.exe", *command, timeout=timeout + 30,
                             log=self.folder / "wine.log")
        journal = DriverJournal(read_journal(self.driver_journal_path))
        assert not journal.timed_out, f"{program} did not end within {timeout} s"
        assert code == 0, f"driver.exe ended with {code}"
        return journal

    def host_journal(self):
        return read_journal(self.host_journal_path)

    def wait_for_host_end(self, timeout=30):
        """Waits until the stand-in host has journaled its end; a host that stays is a failure."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if ["end"] in self.host_journal():
                return self.host_journal()
            time.sleep(0.2)
        pytest.fail(f"the stand-in host did not end within {timeout} s")


@pytest.fixture
def scenario(wine, testkit, tmp_path, request):
    # The packer is looked up only by the scenarios that pack.
    return Scenario(wine, testkit, tmp_path, lambda: request.getfixturevalue("sheetpack"))
