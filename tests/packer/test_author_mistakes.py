"""The mistakes an author makes, one row each: the command as typed in the application's
folder, the exit code, the words its one line of output must hold (none: no output at
all), and the files it may write. Every file that was there before is left as it was,
and nothing else appears."""
import hashlib
import json
import os

import pytest

from conftest import build, run, workbooks

# Rows: (case, command, exit code, words of the message, files the command may write).
# In a command, {exe} is an application built from the folder before the row runs.
CASES = [
    ("-o names the workbook", "build app.json -o Report.xlsm", 2,
     ["Report.xlsm:", "is the workbook", "input of this build"], []),
    ("-o names the configuration", "build app.json -o app.json", 2, ["app.json:", "is the configuration"], []),
    ("-o names the workbook by another spelling", "build app.json -o kit/../Report.xlsm", 2,
     ["kit/../Report.xlsm:", "is the workbook"], []),
    ("-o names the workbook through a link", "build app.json -o link.xlsm", 2, ["link.xlsm:", "is the workbook"], []),
    ("-o names an add-in of the kit", "build app.json -o kit/addin-x64.dll", 2, ["is the 64-bit add-in"], []),
    ("extract -o names the executable", "extract {exe} 1020 -o {exe}", 2,
     ["is the executable the item is read from"], []),
    ("output without .exe", "build app.json -o App.bin", 0,
     ["App.bin:", "does not end in .exe"], ["App.bin"]),
    # The workbook, checked by its contents.
    ("a JPEG named .xlsm", "build Photo.json -o Photo.exe", 2, ["Photo.xlsm:", "is not a workbook: a JPEG picture"], []),
    ("a text file named .xls", "build Notes.json -o Notes.exe", 2, ["Notes.xls:", "is not a workbook: text"], []),
    ("a .xls named .xlsm", "build Old.json -o Old.exe", 2,
     ["Old.xlsm:", "Excel 97-2003 workbook (.xls), not a .xlsm", "name it .xls"], []),
    ("a .xlsm named .xls", "build New.json -o New.exe", 2,
     ["New.xls:", "macro-enabled workbook (.xlsm), not a .xls", "name it .xlsm"], []),
    ("a .xlsx renamed .xlsm", "build Plain.json -o Plain.exe", 2,
     ["Plain.xlsm:", "macro-free workbook (.xlsx)", "cannot carry the application's macros"], []),
    ("a Word document named .xlsm", "build Letter.json -o Letter.exe", 2, ["Letter.xlsm:", "Word document"], []),
    ("a workbook cut short", "build Cut.json -o Cut.exe", 2, ["Cut.xlsm:", "is not a workbook", "cut short"], []),
    ("a .xlsm without macros", "build Bare.json -o Bare.exe", 0,
     ["Bare.xlsm:", "warning", "has no VBA project"], ["Bare.exe"]),
    ("put 1020 of a JPEG", "put {exe} 1020 Photo.xlsm", 2, ["Photo.xlsm:", "is not a workbook: a JPEG picture"], []),
    ("put 1020 of a .xlsx", "put {exe} 1020 Plain.xlsm", 2, ["Plain.xlsm:", "macro-free workbook (.xlsx)"], []),
    # What an update does with the users' saved workbooks.
    ("onUpdate misspelt", "build update-typo.json -o App2.exe", 2,
     ["update-typo.json:", "key 'onUpdate'", '"keepUserWorkbook", "useNewWorkbook" or "ask"'], []),
    ("onUpdate without a saved state", "build update-unused.json -o App2.exe", 0,
     ["warning", "onUpdate has no effect without options.savedState"], ["App2.exe"]),
    # Smaller points.
    ("configuration in UTF-16", "build utf16.json -o App2.exe", 2, ["utf16.json:", "save the file as UTF-8"], []),
    ("configuration in an ANSI code page", "build ansi.json -o App2.exe", 2,
     ["ansi.json:", "line 1 is not UTF-8", "save the file as UTF-8"], []),
    ("unknown override key", "build texts.json -o App2.exe", 2,
     ["texts.json:", "key 'texts.99'", "no text of the launcher has this override key"], []),
    ("a key given twice", "build twice.json -o App2.exe", 2, ["twice.json:", "key 'title' is given twice"], []),
    ("a contact that is no address", "build contact.json -o App2.exe", 2,
     ["contact.json:", "key 'authorContact'", "neither a mail address", "nor a web address"], []),
    ("-q with -v", "build app.json -o App2.exe -q -v", 2, ["build:", "-q and -v exclude each other"], []),
    ("options before the command", "-q build app.json -o App2.exe", 0, [], ["App2.exe"]),
    ("a successful build says what it wrote", "build app.json -o App2.exe", 0, ["App2.exe:", "bytes written"],
     ["App2.exe"]),
    ("a usage error names the program once", "build app.json", 2, ["sheetpack: build: missing -o"], []),
    ("put of a PNG as the splash", "put {exe} 1050 picture.png", 2, ["picture.png:", "not a JPEG file"], []),
    ("put of text as the settings", "put {exe} 1100 app.json", 2, ["app.json:", "not a settings record"], []),
    ("put of a 32-bit add-in as the 64-bit one", "put {exe} 1027 kit/addin-x86.dll", 2,
     ["addin-x86.dll:", "is not a 64-bit (x64) DLL"], []),
    ("put of text as the override table", "put {exe} 1035 Notes.xls", 2, ["not a text override table"], []),
]

# Workbooks that are not what their names say, each with a configuration <stem>.json.
WORKBOOKS = {
    "Photo.xlsm": b"\xFF\xD8\xFF\xE0\x00\x10JFIF\x00" + bytes(range(256)) * 8 + b"\xFF\xD9",
    "Notes.xls": b"Quarterly figures\r\nNorth;12\r\nSouth;7\r\n",
    "Old.xlsm": workbooks.xls(),
    "New.xls": workbooks.ooxml("xlsm"),
    "Plain.xlsm": workbooks.ooxml("xlsx", vba=False),
    "Letter.xlsm": workbooks.ooxml("docx", vba=False),
    "Cut.xlsm": workbooks.ooxml("xlsm")[:-100],
    "Bare.xlsm": workbooks.ooxml("xlsm", vba=False),
}

# Further configurations of the folder's own workbook.
CONFIGS = {
    "update-typo.json": {"workbook": "Report.xlsm", "addinKit": "kit", "options": {"savedState": True},
                         "onUpdate": "keep"},
    "update-unused.json": {"workbook": "Report.xlsm", "addinKit": "kit", "onUpdate": "useNewWorkbook"},
    "texts.json": {"workbook": "Report.xlsm", "addinKit": "kit", "texts": {"7": "Achtung", "99": "Hallo"}},
    "contact.json": {"workbook": "Report.xlsm", "addinKit": "kit", "authorContact": "Jane Doe"},
}

# Configurations as editors save them, and other files, byte for byte.
FILES = {
    "utf16.json": '\ufeff{"workbook": "Report.xlsm", "addinKit": "kit"}'.encode("utf-16-le"),
    "ansi.json": '{"workbook": "Report.xlsm", "addinKit": "kit", "title": "Grüße"}'.encode("cp1252"),
    "twice.json": b'{"workbook": "Report.xlsm", "addinKit": "kit", "title": "One", "title": "Two"}',
    "picture.png": b"\x89PNG\r\n\x1a\n" + bytes(200),
}


def snapshot(folder):
    """Every file under `folder`: its bytes' digest and its modification time."""
    files = {}
    for root, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(root, name)
            with open(path, "rb") as file:
                files[os.path.relpath(path, folder)] = (hashlib.sha256(file.read()).hexdigest(),
                                                        os.stat(path).st_mtime_ns)
    return files


@pytest.fixture
def folder(sheetpack, app):
    """The application's folder, with its configuration written, a link to its workbook,
    the workbooks of WORKBOOKS with their configurations, the CONFIGS, the FILES, and
    an application built from it (App.exe)."""
    app.write_config()
    (app.folder / "link.xlsm").symlink_to("Report.xlsm")
    for name, contents in WORKBOOKS.items():
        (app.folder / name).write_bytes(contents)
        (app.folder / (name.split(".")[0] + ".json")).write_text(json.dumps({"workbook": name, "addinKit": "kit"}))
    for name, config in CONFIGS.items():
        (app.folder / name).write_text(json.dumps(config))
    for name, data in FILES.items():
        (app.folder / name).write_bytes(data)
    assert build(sheetpack, app, app.folder / "App.exe").returncode == 0
    return app.folder


@pytest.mark.parametrize("case, command, code, words, writes", CASES, ids=[row[0] for row in CASES])
def test_mistake(sheetpack, folder, case, command, code, words, writes):
    before = snapshot(folder)
    args = [arg.format(exe="App.exe") for arg in command.split()]

    result = run(sheetpack, *args, cwd=folder, env={"SOURCE_DATE_EPOCH": "1700000000"})

    errors, said = result.stderr.decode().splitlines(), result.stdout.decode().splitlines()
    assert result.returncode == code, errors
    if code:
        # One line that names the file and the mistake, and nothing else.
        assert (len(errors), said) == (1, []), errors + said
    else:
        # At most a warning, and the one line of what was written (none with -q).
        assert len(errors) <= 1 and len(said) <= 1, errors + said
    output = "\n".join(errors + said)
    assert all(word in output for word in words), output
    if not words:
        assert output == ""
    after = snapshot(folder)
    assert {name: after[name] for name in before if name in after} == before, "an input changed"
    assert sorted(set(after) - set(before)) == sorted(writes)
