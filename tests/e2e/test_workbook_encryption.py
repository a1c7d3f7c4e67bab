"""An encrypted workbook's whole life with the real runtime: the stand-in host finds the
workbook in the workspace encrypted and opens it only with the right Password argument
(checked with the file's verifier), saves it encrypted, the saved state carries it
encrypted, and version 2 built from the same configuration folder opens what version 1's
user saved. The host's journal shows each open and the check's outcome, never the password."""
import io
import subprocess

import msoffcrypto
import pytest

from encryption import decrypt
from harness import pack_application, workbooks
from launch_support import folder_files
from test_runtime import HOST_CLASS, USER_SAVE, saved_workbook, workbook_opens

TITLE = "Encrypted Life"


def launch(scenario, program):
    driver = scenario.launch(program, host_class=HOST_CLASS)
    assert driver.exit_code == 0
    journal = scenario.wait_for_host_end()
    assert ["password", "right"] in journal
    assert not [line for line in journal if line[0] == "password" and line[1] != "right"]
    return journal


def test_encrypted_workbook_life_and_the_next_version(scenario, sheetpack, stub, runtime_kit, tmp_path):
    workbook = workbooks.ooxml("xlsm", cell="encrypted at rest")
    (tmp_path / "Book.xlsm").write_bytes(workbook)
    config = {"title": TITLE, "workbook": "Book.xlsm", "addinKit": str(runtime_kit), "version": "1.0.0",
              "protectWorkbook": True, "options": {"savedState": True}, "savedStateLocation": "beside"}
    program = pack_application(sheetpack, tmp_path, config, stub)
    password = (tmp_path / "app.sheetpack-key").read_text().splitlines()[1]
    state_file = program.with_suffix(".vstg")
    state_file.unlink(missing_ok=True)

    scenario.host(userCloses="window", userDelay=1500, userSave=USER_SAVE)
    journal = launch(scenario, program)
    ((path, _),) = workbook_opens(journal)
    assert path.endswith(".xlsm")
    assert password not in " ".join(" ".join(line) for line in journal)
    saved = saved_workbook(state_file)
    assert msoffcrypto.OfficeFile(io.BytesIO(saved)).is_encrypted()
    assert password.encode() not in state_file.read_bytes()
    assert decrypt(saved, password) == workbook + USER_SAVE.encode()

    # Version 2 from the same folder (the same key file) opens the state version 1 saved.
    config.update(version="2.0.0", onUpdate="keepUserWorkbook")
    program = pack_application(sheetpack, tmp_path, config, stub)
    scenario.host(userCloses="window", userDelay=500)
    journal = launch(scenario, program)
    assert folder_files(journal)["App.xlsm"][0] == len(saved)
    assert scenario.left_behind() == []


def test_wrong_password_is_refused_as_the_host_refuses_it(scenario, sheetpack, stub, runtime_kit, tmp_path):
    (tmp_path / "Book.xlsm").write_bytes(workbooks.ooxml("xlsm", cell="encrypted at rest"))
    config = {"title": TITLE, "workbook": "Book.xlsm", "addinKit": str(runtime_kit), "protectWorkbook": True}
    program = pack_application(sheetpack, tmp_path, config, stub)
    # A key item that unmasks to another password: the host's verifier refuses it.
    other = bytes(b ^ 0x01 for b in program_item(sheetpack, program))
    put_item(sheetpack, program, other)
    scenario.host()
    driver = scenario.launch(program, answers={"#32770": "press:2"}, host_class=HOST_CLASS)
    journal = scenario.wait_for_host_end()
    assert ["password", "wrong"] in journal
    texts = [t for window in driver.windows for t in window.texts("Static")]
    assert any("The password you supplied is not correct" in t for t in texts), texts
    assert scenario.left_behind() == []


def program_item(sheetpack, program):
    out = subprocess.run([str(sheetpack), "extract", str(program), "1210"], capture_output=True, check=True)
    return out.stdout


def put_item(sheetpack, program, data):
    item = program.with_suffix(".1210")
    item.write_bytes(data)
    subprocess.run([str(sheetpack), "put", str(program), "1210", str(item)], capture_output=True, check=True)
