"""Fixtures of the e2e scenarios: one Wine prefix per test run with the testkit in it,
and per test a scenario folder with the stand-in host's and the driver's journals.

The win64 and win32 build trees come from SHEETPACK_BUILD_WIN64 and SHEETPACK_BUILD_WIN32
(default build/win64, build/win32), the native packer from SHEETPACK (default
build/native/packer/sheetpack). What a scenario needs and does not find fails it:
scripts/test builds everything before it runs these tests. Where this Wine runs no 32-bit
programs, the scenarios of a 32-bit stub or host are skipped with the reason
SHEETPACK_NO_WINE32 gives, or that of the probe.

Where the 32-bit side runs under an emulator (SHEETPACK_WINE32_EMULATED, set by
scripts/test), the 32-bit cases run with their time limits stretched: with
SHEETPACK_EMULATED_32_BIT=chosen only those of the scenarios marked `x86_every_run`, with
`all` every one.
"""
import os
import shutil
import time
from pathlib import Path

import pytest

import harness
from harness import (EMULATED_TIME_SCALE, PRESETS, REPO, DriverJournal, HostRegistration, Wine, pack_application,
                     read_journal, scaled, windows_path)

RUN_TIMEOUT_S = 90  # one program run, from start to its end
BITNESSES = list(PRESETS)
HOST_PROGRAMS = {"x64": "fakehost.exe", "x86": "fakehost-x86.exe"}


def _required(path, what):
    if not path.exists():
        pytest.fail(f"{path} does not exist: {what}")
    return path


@pytest.fixture(scope="session")
def build_win64():
    return Path(os.environ.get("SHEETPACK_BUILD_WIN64", REPO / "build" / "win64"))


@pytest.fixture(scope="session")
def build_win32():
    return Path(os.environ.get("SHEETPACK_BUILD_WIN32", REPO / "build" / "win32"))


@pytest.fixture(scope="session")
def stub_x64(build_win64):
    return _required(build_win64 / "launcher" / "sheetpack-stub-x64.exe", "build the win64 preset first")


@pytest.fixture(scope="session")
def no_wine32(wine, tmp_path_factory):
    """Why this Wine cannot run 32-bit programs, or None when it can."""
    reason = os.environ.get("SHEETPACK_NO_WINE32")
    if not reason and not wine.runs_32_bit(tmp_path_factory.mktemp("wine32") / "wine.log"):
        reason = "this Wine runs no 32-bit programs: install wine32 (i386)"
    return reason


EMULATED = bool(os.environ.get("SHEETPACK_WINE32_EMULATED"))
ALL_32_BIT = os.environ.get("SHEETPACK_EMULATED_32_BIT") == "all"
_running = None  # the test being set up, which a session fixture cannot name otherwise


def pytest_configure(config):
    config.addinivalue_line("markers", "x86_every_run: its 32-bit cases run in every run, even emulated")


@pytest.hookimpl(tryfirst=True)
def pytest_runtest_setup(item):
    global _running
    _running = item
    harness.time_scale = 1.0


def _skip_without_wine32(no_wine32):
    """Called by every scenario as it takes a 32-bit stub or host."""
    if no_wine32:
        pytest.skip(f"32-bit: {no_wine32}")
    if EMULATED:
        if not ALL_32_BIT and _running.get_closest_marker("x86_every_run") is None:
            pytest.skip("32-bit: emulated here, so only in the long run (SHEETPACK_EMULATED_32_BIT=all)")
        harness.time_scale = EMULATED_TIME_SCALE


@pytest.fixture(scope="session")
def stubs(build_win64, build_win32, no_wine32):
    """The launcher stub of a bitness, `stubs("x86")`; a 32-bit one skips the scenario
    where Wine runs no 32-bit programs."""
    def stub_of(bitness):
        if bitness == "x86":
            _skip_without_wine32(no_wine32)
        return _stub_path(build_win64, build_win32, bitness)
    return stub_of


def _stub_path(build_win64, build_win32, bitness):
    build = build_win64 if bitness == "x64" else build_win32
    return _required(build / "launcher" / f"sheetpack-stub-{bitness}.exe", f"build the {PRESETS[bitness]} preset first")


@pytest.fixture(scope="session", params=BITNESSES)
def stub_bitness(request):
    return request.param


@pytest.fixture(scope="session")
def stub(build_win64, build_win32, stub_bitness):
    """Each stub in turn, against the stand-in host of its own bitness: the scenarios that
    take it run for both. Whether a 32-bit case runs is decided for each test apart
    (`_gate_32_bit_cases`): a skip here would be kept for the whole session."""
    return _stub_path(build_win64, build_win32, stub_bitness)


@pytest.fixture(autouse=True)
def _gate_32_bit_cases(request):
    """Skips a case whose parameters name a 32-bit stub or host where none runs, or where
    it would run emulated outside the chosen set; stretches its time limits otherwise."""
    params = getattr(request.node, "callspec", None)
    params = params.params if params else {}
    if "x86" in (params.get("stub_bitness"), params.get("host_bitness"), params.get("launcher")):
        _skip_without_wine32(request.getfixturevalue("no_wine32"))


@pytest.fixture
def host_bitness(request):
    """The stand-in host's bitness: that of the scenario's stub, else 64-bit. Scenarios of
    mixed bitness parametrise it."""
    return request.getfixturevalue("stub_bitness") if "stub_bitness" in request.fixturenames else "x64"


@pytest.fixture(scope="session")
def addin_kit(build_win64):
    return _required(build_win64 / "testkit" / "kit", "build the win64 preset first")


@pytest.fixture(scope="session")
def runtime_kit(build_win64):
    return _required(build_win64 / "runtime" / "kit", "build the win64 preset first")


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
def testkit(wine, build_win64, build_win32, tmp_path_factory):
    """fakehost.exe, the 32-bit fakehost-x86.exe beside it (the two read the one fakehost.ini)
    and driver.exe in a folder of their own. Each scenario registers the host it wants."""
    folder = tmp_path_factory.mktemp("testkit")
    for name in ("fakehost.exe", "driver.exe"):
        shutil.copy(_required(build_win64 / "testkit" / name, "build the win64 preset first"), folder)
    if (build_win32 / "testkit" / "fakehost.exe").exists():
        shutil.copy(build_win32 / "testkit" / "fakehost.exe", folder / HOST_PROGRAMS["x86"])
    return folder


@pytest.fixture(scope="session")
def host_registration(wine, testkit):
    return HostRegistration(wine, {bitness: testkit / name for bitness, name in HOST_PROGRAMS.items()},
                            testkit / "wine.log")


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
        self.temp_before = self._temp_entries()

    def host(self, **settings):
        """Writes the stand-in host's fakehost.ini; keys with dots are passed as a dict."""
        lines = [f"journal={windows_path(self.host_journal_path)}"]
        lines += [f"{key}={value}" for key, value in settings.items()]
        (self.testkit / "fakehost.ini").write_text("\n".join(lines) + "\n", encoding="utf-8")

    def pack(self, config, stub):
        """Packs an application with `sheetpack build` from a configuration dict; its
        relative paths count from the scenario folder."""
        return pack_application(self.packer(), self.folder, config, stub)

    def launch(self, program, *args, answers=None, timeout=None, journal=None, debug=None, bare=False,
               host_class=None, argv0=None, env=None):
        """Runs `program` under the driver; `answers` maps a class or title part to an action.
        `journal` is the driver's journal when not the scenario's own (a second program
        running at the same time); `debug` a WINEDEBUG setting, whose output goes to
        the scenario's wine.log; `bare` names the program by its file name alone, found
        in its folder, which the driver runs in; `argv0` names it by that text instead
        (a relative or oddly spelled name, as a user might type it), also run in its folder;
        `host_class` has the driver answer the host's boxes too and wait for the host's end
        (a window class of the host's); `env` sets environment variables of the program."""
        timeout = scaled(timeout or RUN_TIMEOUT_S)
        journal_path = journal or self.driver_journal_path
        command = ["--journal", windows_path(journal_path), "--timeout", str(int(timeout * 1000))]
        for match, action in (answers or {}).items():
            command += ["--answer", f"{match}={action}"]
        if host_class:
            command += ["--host-class", host_class]
        for variable, value in (env or {}).items():
            command += ["--env", f"{variable}={value}"]
        name = argv0 if argv0 is not None else program.name if bare else windows_path(program)
        command += ["--", name, *args]
        in_folder = bare or argv0 is not None
        code = self.wine.run(self.testkit / "driver.exe", *command, timeout=timeout + 30,
                             log=self.folder / "wine.log", debug=debug, cwd=program.parent if in_folder else None)
        journal = DriverJournal(read_journal(journal_path))
        assert not journal.timed_out, f"{program} did not end within {timeout} s"
        assert code == 0, f"driver.exe ended with {code}"
        return journal

    def host_journal(self):
        return read_journal(self.host_journal_path)

    def temp_folder(self):
        """The prefix's temporary folder, where the launcher makes its workspaces."""
        users = self.wine.prefix / "drive_c" / "users"
        folders = list(users.glob("*/AppData/Local/Temp")) + list(users.glob("*/Temp"))
        return folders[0] if folders else None

    def _temp_entries(self):
        temp = self.temp_folder()
        return {str(path.relative_to(temp)) for path in temp.rglob("*")} if temp else set()

    def left_behind(self, timeout=30):
        """What this scenario added to the temporary folder and is still there once it
        has had `timeout` seconds to go (the host may hold the add-in for a while)."""
        deadline = time.monotonic() + scaled(timeout)
        while True:
            new = self._temp_entries() - self.temp_before
            if not new or time.monotonic() > deadline:
                return sorted(new)
            time.sleep(0.25)

    def wait_for_host_end(self, timeout=30):
        """Waits until the stand-in host has journaled its end; a host that stays is a failure."""
        timeout = scaled(timeout)
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if ["end"] in self.host_journal():
                return self.host_journal()
            time.sleep(0.2)
        pytest.fail(f"the stand-in host did not end within {timeout} s")


@pytest.fixture
def scenario(wine, testkit, host_registration, host_bitness, tmp_path, request):
    if host_bitness == "x86":
        _skip_without_wine32(request.getfixturevalue("no_wine32"))
    host_registration.use(host_bitness)
    # The packer is looked up only by the scenarios that pack.
    return Scenario(wine, testkit, tmp_path, lambda: request.getfixturevalue("sheetpack"))
