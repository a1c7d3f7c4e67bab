"""The mistakes an author makes, one row each: the command as typed in the application's
folder, the exit code, the words its one line of output must hold (none: no output at
all), and the files it may write. Every file that was there before is left as it was,
and nothing else appears."""
import hashlib
import json
import os
import shutil
import stat

import pytest

from conftest import App, build, run, workbooks

# Rows: (case, command, exit code, words of the message, files the command may write).
# In a command, {exe} is an application built from the folder before the row runs.
CASES = [
    ("-o names the workbook", "build app.json -o Report.xlsm", 2,
     ["Report.xlsm:", "is the workbook of this build"], []),
    ("-o names the configuration", "build app.json -o app.json", 2, ["app.json:", "is the configuration"], []),
    ("-o names the workbook by another spelling", "build app.json -o kit/../Report.xlsm", 2,
     ["kit/../Report.xlsm:", "is the workbook"], []),
    ("-o names the workbook through a link", "build app.json -o link.xlsm", 2, ["link.xlsm:", "is the workbook"], []),
    ("-o names an add-in of the kit", "build app.json -o kit/addin-x64.dll", 2, ["kit/addin-x64.dll:", "is the add-in of this build"], []),
    ("extract -o names the executable", "extract {exe} 1020 -o {exe}", 2,
     ["is the executable the item is read from"], []),
    # -o writes regular files only, and never over the application's key or sheetpack's own files.
    ("-o names a FIFO", "build app.json -o pipe.exe", 2, ["pipe.exe:", "is a FIFO", "writes only regular files"], []),
    ("-o names a link to another file", "build app.json -o shortcut.exe", 2,
     ["shortcut.exe:", "is a symbolic link", "writes only regular files"], []),
    ("-o names a link to nowhere", "extract {exe} 1020 -o dangling.bin", 2, ["dangling.bin:", "is a symbolic link"], []),
    ("-o names a device", "extract {exe} 1020 -o /dev/null", 2, ["/dev/null:", "is a device"], []),
    ("-o names a folder", "extract {exe} 1020 -o kit", 2, ["kit:", "is a folder"], []),
    ("-o into a missing folder", "build app.json -o missing/App2.exe", 2,
     ["missing/App2.exe:", "its folder does not exist"], []),
    ("-o names the build's key file", "build locked.json -o locked.sheetpack-key", 2,
     ["locked.sheetpack-key:", "is the key file of this build"], []),
    ("-o names the key file the build would write", "build fresh.json -o fresh.sheetpack-key", 2,
     ["fresh.sheetpack-key:", "is the key file of this build"], []),
    ("extract -o names a key file", "extract {exe} 1020 -o locked.sheetpack-key", 2,
     ["locked.sheetpack-key:", "is a key file", "every later version"], []),
    ("build -o names another application's key file", "build app.json -o locked.sheetpack-key", 2,
     ["locked.sheetpack-key:", "is a key file"], []),
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
    # The workbook of an application that encrypts it: the runtime opens it with the application's password.
    ("put 1020 of a workbook encrypted with another password", "put Locked.exe 1020 Encrypted.xlsm", 2,
     ["Encrypted.xlsm:", "encrypted with another password than the application's"], []),
    ("put 1020 of an .xls into an application that encrypts it", "put Locked.exe 1020 Legacy.xls", 2,
     ["Legacy.xls:", "cannot protect", "weak RC4"], []),
    ("put 1020 of a .xlsx into an application that encrypts it", "put Locked.exe 1020 Plain.xlsm", 2,
     ["Plain.xlsm:", "macro-free workbook (.xlsx)"], []),
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
    ("a comment in the configuration", "build comment.json -o App2.exe", 2,
     ["comment.json:", "line 3: JSON allows no comments"], []),
    ("a misspelt key", "build typo.json -o App2.exe", 2, ["typo.json:", "unknown key 'titel'", "did you mean 'title'?"], []),
    ("a misspelt option", "build option-typo.json -o App2.exe", 2,
     ["option-typo.json:", "unknown key 'options.SavedState'", "did you mean 'options.savedState'?"], []),
    ("an unknown key near none", "build unknown.json -o App2.exe", 2, ["unknown.json:", "unknown key 'colour'"], []),
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
    "update-unused.json": {"workbook": "Report.xlsm", "addinKit": "kit", "onUpdate": "useNewWorkbook",
                           "protectWorkbook": False},
    "texts.json": {"workbook": "Report.xlsm", "addinKit": "kit", "texts": {"7": "Achtung", "99": "Hallo"}},
    "contact.json": {"workbook": "Report.xlsm", "addinKit": "kit", "authorContact": "Jane Doe"},
    # Applications whose workbook is encrypted, each with its own key file.
    "locked.json": {"workbook": "Small.xlsm", "addinKit": "kit", "protectWorkbook": True},
    "other.json": {"workbook": "Small.xlsm", "addinKit": "kit", "protectWorkbook": True},
    "fresh.json": {"workbook": "Small.xlsm", "addinKit": "kit", "protectWorkbook": True},
}

# Configurations as editors save them, and other files, byte for byte.
FILES = {
    "utf16.json": '\ufeff{"workbook": "Report.xlsm", "addinKit": "kit"}'.encode("utf-16-le"),
    "ansi.json": '{"workbook": "Report.xlsm", "addinKit": "kit", "title": "Grüße"}'.encode("cp1252"),
    "twice.json": b'{"workbook": "Report.xlsm", "addinKit": "kit", "title": "One", "title": "Two"}',
    "comment.json": b'{\n  "workbook": "Report.xlsm",\n  // the built-in kit is not used here\n  "addinKit": "kit"\n}',
    "typo.json": b'{"workbook": "Report.xlsm", "addinKit": "kit", "titel": "Report"}',
    "option-typo.json": b'{"workbook": "Report.xlsm", "addinKit": "kit", "options": {"SavedState": true}}',
    "unknown.json": b'{"workbook": "Report.xlsm", "addinKit": "kit", "colour": "blue"}',
    "picture.png": b"\x89PNG\r\n\x1a\n" + bytes(200),
    "Small.xlsm": workbooks.ooxml("xlsm", cell="Locked"),
    "Legacy.xls": workbooks.xls(),
}


def snapshot(folder):
    """Every entry under `folder`: a file's digest and modification time, a link's target, a
    FIFO as such (neither followed nor opened)."""
    files = {}
    for root, folders, names in os.walk(folder):
        for name in names + [name for name in folders if os.path.islink(os.path.join(root, name))]:
            path = os.path.join(root, name)
            info = os.lstat(path)
            if stat.S_ISLNK(info.st_mode):
                seen = ("link", os.readlink(path))
            elif stat.S_ISFIFO(info.st_mode):
                seen = ("fifo", info.st_mtime_ns)
            else:
                with open(path, "rb") as file:
                    seen = (hashlib.sha256(file.read()).hexdigest(), info.st_mtime_ns)
            files[os.path.relpath(path, folder)] = seen
    return files


@pytest.fixture(scope="module")
def template(sheetpack, stubs, tmp_path_factory):
    """The application's folder, made once: its configuration, a link to its workbook, the
    workbooks of WORKBOOKS with their configurations, the CONFIGS, the FILES, an application
    built from it (App.exe), two that encrypt their workbook (Locked.exe, Other.exe, each
    with its key file) and what `extract 1020` gives of Other.exe (Encrypted.xlsm)."""
    app = App(tmp_path_factory.mktemp("template") / "app", stubs)
    app.write_config()
    (app.folder / "link.xlsm").symlink_to("Report.xlsm")
    for name, contents in WORKBOOKS.items():
        (app.folder / name).write_bytes(contents)
        (app.folder / (name.split(".")[0] + ".json")).write_text(
            json.dumps({"workbook": name, "addinKit": "kit", "protectWorkbook": False}))
    for name, config in CONFIGS.items():
        (app.folder / name).write_text(json.dumps(config))
    for name, data in FILES.items():
        (app.folder / name).write_bytes(data)
    assert build(sheetpack, app, app.folder / "App.exe").returncode == 0
    for name in ("Locked", "Other"):
        result = run(sheetpack, "build", f"{name.lower()}.json", "-o", f"{name}.exe", cwd=app.folder)
        assert result.returncode == 0, result.stderr.decode()
    assert run(sheetpack, "extract", "Other.exe", "1020", "-o", "Encrypted.xlsm", cwd=app.folder).returncode == 0
    return app.folder


@pytest.fixture
def folder(template, tmp_path):
    """A copy of the template, with things at output paths that are no regular files."""
    folder = tmp_path / "app"
    shutil.copytree(template, folder, symlinks=True)
    os.mkfifo(folder / "pipe.exe")
    (folder / "shortcut.exe").symlink_to("App.exe")
    (folder / "dangling.bin").symlink_to("nowhere.bin")
    return folder


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


@pytest.mark.parametrize("target", ["bin/sheetpack", "share/sheetpack/sheetpack-stub-x64.exe",
                                    "share/sheetpack/sheetpack-stub-x86.exe", "share/sheetpack/addin-x64.dll",
                                    "share/sheetpack/addin-x86.dll"])
def test_output_is_never_a_file_of_sheetpack(sheetpack, stubs, runtime_addins, folder, tmp_path, target):
    """An installed sheetpack (bin/sheetpack, its files in share/sheetpack) keeps its own files."""
    prefix = tmp_path / "prefix"
    shipped = {"bin/sheetpack": sheetpack, "share/sheetpack/sheetpack-stub-x64.exe": stubs["x64"],
               "share/sheetpack/sheetpack-stub-x86.exe": stubs["x86"],
               "share/sheetpack/addin-x64.dll": runtime_addins["x64"],
               "share/sheetpack/addin-x86.dll": runtime_addins["x86"]}
    for name, source in shipped.items():
        (prefix / name).parent.mkdir(parents=True, exist_ok=True)
        (prefix / name).write_bytes(source.read_bytes())
    (prefix / "bin/sheetpack").chmod(0o755)
    before = snapshot(prefix)

    result = run(prefix / "bin/sheetpack", "extract", "App.exe", "1020", "-o", prefix / target, cwd=folder)

    assert result.returncode == 2, result.stderr.decode()
    assert f"{prefix / target}: is a file of sheetpack itself" in result.stderr.decode()
    assert snapshot(prefix) == before
