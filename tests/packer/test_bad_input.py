"""Bad input: each case exits 2 with one line naming the file and the problem, and
leaves no output file (and no temporary file) behind."""
import pefile
import pytest

from conftest import build, inspect_json, run
from pe_tools import with_looping_resources, with_signature


def config_case(change, message, named="app.json"):
    def setup(app, stubs, tmp_path):
        change(app.config)
        return app.write_config(), [], message, named
    return setup


def file_case(change, message, named):
    def setup(app, stubs, tmp_path):
        config = app.write_config()
        change(app)
        return config, [], message, named
    return setup


def stub_case(make, message):
    def setup(app, stubs, tmp_path):
        stub = tmp_path / "bad-stub.exe"
        stub.write_bytes(make(stubs["x64"].read_bytes()))
        return app.write_config(), ["--stub", stub], message, "bad-stub.exe"
    return setup


def other_arch_stub(app, stubs, tmp_path):
    return app.write_config(), ["--stub", stubs["x86"]], "is an x86 stub, but the configuration asks for x64", \
        stubs["x86"].name


CASES = {
    "missing config": lambda app, stubs, tmp: (app.folder / "missing.json", [], "no such file", "missing.json"),
    "malformed JSON": file_case(lambda app: (app.folder / "app.json").write_text('{"title": "x",}'),
                                "malformed JSON", "app.json"),
    "unknown key": config_case(lambda c: c.update(splashScreen="s.jpg"), "unknown key 'splashScreen'"),
    "wrong type": config_case(lambda c: c["options"].update(splash="yes"), "key 'options.splash': expected true or false"),
    "xlsx workbook": config_case(lambda c: c.update(workbook="Report.xlsx"),
                                 "a macro-free workbook (.xlsx) cannot carry the application's macros"),
    "missing workbook": config_case(lambda c: c.update(workbook="Gone.xlsm"), "no such file", "Gone.xlsm"),
    "empty workbook": file_case(lambda app: (app.folder / "Report.xlsm").write_bytes(b""),
                                "is empty (0 bytes)", "Report.xlsm"),
    "zero character in a text": config_case(lambda c: c["texts"].update({"7": "a\u0000b"}),
                                            "key 'texts.7': holds the character U+0000"),
    "kit text not UTF-8": file_case(lambda app: (app.kit / "1043.txt").write_bytes(b"Index;English\n1;\xc3(\n"),
                                    "invalid UTF-8", "1043.txt"),
    "kit text UTF-16 without a mark": file_case(
        lambda app: (app.kit / "1045.txt").write_bytes("English\r\n#N/A\r\n".encode("utf-16-le")),
        "UTF-16 text needs a byte-order mark", "1045.txt"),
    "missing add-in kit file": file_case(lambda app: (app.kit / "addin-x64.dll").unlink(),
                                         "missing from the add-in kit", "addin-x64.dll"),
    "swapped add-ins": file_case(lambda app: (app.kit / "addin-x86.dll").write_bytes(app.files["kit/addin-x64.dll"]),
                                 "is not a 32-bit (x86) DLL", "addin-x86.dll"),
    "splash not JPEG": file_case(lambda app: (app.folder / "splash.jpg").write_bytes(b"GIF89a..."),
                                 "not a JPEG file", "splash.jpg"),
    "bad icon": file_case(lambda app: (app.folder / "app.ico").write_bytes(b"\x00\x00\x01\x00\x05\x00"),
                          "truncated .ico directory", "app.ico"),
    "stub not PE": stub_case(lambda stub: b"#!/bin/sh\necho not a program\n" * 10, "not a PE file"),
    "truncated PE": stub_case(lambda stub: stub[:len(stub) // 2], "truncated"),
    "looping resource tree": stub_case(with_looping_resources, "loops back on itself"),
    "signed stub": stub_case(with_signature, "--strip-signature"),
    "stub of the other arch": other_arch_stub,
}


@pytest.mark.parametrize("case", CASES)
def test_bad_input_exits_2_without_output(sheetpack, app, tmp_path, stubs, case):
    config, extra, message, named = CASES[case](app, stubs, tmp_path)
    out_dir = tmp_path / "out"
    out_dir.mkdir()
    result = run(sheetpack, "build", config, "-o", out_dir / "App.exe", *extra)
    lines = result.stderr.decode().splitlines()
    assert result.returncode == 2, result.stderr.decode()
    assert len(lines) == 1, lines
    assert lines[0].startswith("sheetpack: ")
    assert named in lines[0] and message in lines[0], lines[0]
    assert list(out_dir.iterdir()) == []


def test_signed_stub_is_packed_with_strip_signature(sheetpack, app, tmp_path, stubs):
    stub = tmp_path / "signed.exe"
    stub.write_bytes(with_signature(stubs["x64"].read_bytes()))
    exe = tmp_path / "App.exe"
    result = build(sheetpack, app, exe, "--stub", stub, "--strip-signature")
    assert result.returncode == 0, result.stderr.decode()
    pe = pefile.PE(str(exe))
    security = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]]
    assert (security.VirtualAddress, security.Size) == (0, 0)
    assert pe.verify_checksum()
    last = pe.sections[-1]
    assert len(exe.read_bytes()) == last.PointerToRawData + last.SizeOfRawData, "certificate bytes dropped"


def test_inspect_says_whether_the_executable_is_signed(sheetpack, app, tmp_path):
    exe, signed = tmp_path / "App.exe", tmp_path / "Signed.exe"
    assert build(sheetpack, app, exe).returncode == 0
    signed.write_bytes(with_signature(exe.read_bytes()))
    for path, expected, words in ((exe, False, b", not signed\n"), (signed, True, b", signed (Authenticode)\n")):
        assert inspect_json(sheetpack, path)["signed"] is expected
        result = run(sheetpack, "inspect", path)
        assert result.returncode == 0 and words in result.stdout.splitlines(keepends=True)[0], result.stdout[:200]


@pytest.mark.parametrize("args, message", [
    (["build"], "missing arguments"),
    (["build", "app.json"], "missing -o"),
    (["build", "app.json", "-o"], "-o needs a value"),
    (["build", "app.json", "-o", "x.exe", "--fast"], "unknown option --fast"),
    (["frobnicate"], "unknown command 'frobnicate'"),
    (["extract", "App.exe", "12x"], "'12x' is not an item id"),
    (["put", "App.exe", "1020", "f", "--raw", "--packed"], "--raw and --packed exclude each other"),
])
def test_usage_errors_exit_2(sheetpack, args, message):
    result = run(sheetpack, *args)
    assert result.returncode == 2
    assert message in result.stderr.decode()


def test_help_for_every_command(sheetpack):
    for command in ("build", "inspect", "extract", "put"):
        result = run(sheetpack, command, "--help")
        assert result.returncode == 0
        assert result.stdout.startswith(f"usage: sheetpack {command}".encode())
    assert run(sheetpack, "--help").stdout.startswith(b"usage: sheetpack COMMAND")
    assert run(sheetpack).returncode == 2


@pytest.mark.parametrize("output, what", [
    ("Report.xlsm", "the workbook"),
    ("app.json", "the configuration"),
    ("sub/../splash.jpg", "the splash picture"),  # the same file, spelled otherwise
    ("kit/addin-x64.dll", "the add-in"),
])
def test_an_output_that_is_one_of_the_inputs_is_refused_and_left_alone(sheetpack, app, output, what):
    config = app.write_config()
    (app.folder / "sub").mkdir(exist_ok=True)
    target = app.folder / output
    before = target.read_bytes()
    result = run(sheetpack, "build", config, "-o", target)
    assert result.returncode == 2, result.stderr.decode()
    assert f"is {what} of this build" in result.stderr.decode()
    assert target.read_bytes() == before


def test_an_output_not_ending_in_exe_is_written_with_a_warning(sheetpack, app, tmp_path):
    result = run(sheetpack, "build", app.write_config(), "-o", tmp_path / "App.bin")
    assert result.returncode == 0, result.stderr.decode()
    assert "does not end in .exe" in result.stderr.decode()
    assert (tmp_path / "App.bin").read_bytes()[:2] == b"MZ"
