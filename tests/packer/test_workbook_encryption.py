"""The packaged workbook is encrypted with the host's own agile encryption.

msoffcrypto-tool, a reader written apart from this project, is the judge: it must decrypt
item 1020 with the password from the key file (checking the verifier and the data-integrity
HMAC) and get the author's file back byte for byte, and refuse a wrong password.
"""
import io
import zipfile

import msoffcrypto
import pytest

from conftest import WORKBOOK_MARKER, build, extract, inspect_json, run, workbooks
from encryption import decrypt


def macro_workbook(cells=200):
    """A small but well-formed macro-enabled workbook package."""
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml",
                   '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
                   '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                   '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
                   '<Default Extension="xml" ContentType="application/xml"/>'
                   '<Override PartName="/xl/workbook.xml" '
                   'ContentType="application/vnd.ms-excel.sheet.macroEnabled.main+xml"/>'
                   '<Override PartName="/xl/worksheets/sheet1.xml" '
                   'ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>'
                   '</Types>')
        z.writestr("_rels/.rels",
                   '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
                   '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                   '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/'
                   'relationships/officeDocument" Target="xl/workbook.xml"/></Relationships>')
        z.writestr("xl/workbook.xml",
                   '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
                   '<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" '
                   'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">'
                   '<sheets><sheet name="Data" sheetId="1" r:id="rId1"/></sheets></workbook>')
        z.writestr("xl/_rels/workbook.xml.rels",
                   '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
                   '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                   '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/'
                   'relationships/worksheet" Target="worksheets/sheet1.xml"/></Relationships>')
        rows = "".join(f'<row r="{i}"><c r="A{i}"><v>{i * 7}</v></c></row>' for i in range(1, cells + 1))
        z.writestr("xl/worksheets/sheet1.xml",
                   '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
                   '<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
                   f'<sheetData>{rows}</sheetData></worksheet>')
    return out.getvalue()


@pytest.fixture
def protected_app(app):
    app.files["Report.xlsm"] = macro_workbook()
    (app.folder / "Report.xlsm").write_bytes(app.files["Report.xlsm"])
    app.config["protectWorkbook"] = True
    return app


def key_password(app):
    lines = (app.folder / "app.sheetpack-key").read_text().splitlines()
    assert lines[0] == "sheetpack workbook key 1"
    return lines[1]


def packaged_workbook(sheetpack, exe):
    item = extract(sheetpack, exe, "1020")
    assert item.startswith(WORKBOOK_MARKER)
    return item[len(WORKBOOK_MARKER):]


def test_outside_reader_decrypts_the_authors_file(sheetpack, protected_app, tmp_path, capsys):
    exe = tmp_path / "App.exe"
    result = build(sheetpack, protected_app, exe)
    assert result.returncode == 0, result.stderr.decode()
    assert b"new application" in result.stderr
    password = key_password(protected_app)
    assert len(password) >= 32  # 128 bits or more, as hex

    encrypted = packaged_workbook(sheetpack, exe)
    office = msoffcrypto.OfficeFile(io.BytesIO(encrypted))
    assert office.is_encrypted() and office.type == "agile"
    plain = decrypt(encrypted, password)
    assert plain == protected_app.files["Report.xlsm"]
    with pytest.raises(Exception) as wrong:
        decrypt(encrypted, password[:-1] + ("0" if password[-1] != "0" else "1"))
    with capsys.disabled():
        print(f"\nmsoffcrypto-tool: type={office.type} encrypted={office.is_encrypted()} "
              f"decrypted {len(plain)} bytes, equal to the author's file: {plain == protected_app.files['Report.xlsm']}; "
              f"wrong password: {type(wrong.value).__name__}: {wrong.value}")

    report = inspect_json(sheetpack, exe)["workbook"]
    assert report["encrypted"] and report["keyItem"] and report["spinCount"] == 100000


def test_key_file_is_reused_and_builds_are_reproducible(sheetpack, protected_app, tmp_path):
    first, second = tmp_path / "one.exe", tmp_path / "two.exe"
    assert build(sheetpack, protected_app, first).returncode == 0
    password = key_password(protected_app)
    again = build(sheetpack, protected_app, second)
    assert again.returncode == 0 and b"new application" not in again.stderr
    assert key_password(protected_app) == password
    assert first.read_bytes() == second.read_bytes()


def test_executable_does_not_hold_the_password(sheetpack, protected_app, tmp_path):
    exe = tmp_path / "App.exe"
    assert build(sheetpack, protected_app, exe).returncode == 0
    password = key_password(protected_app)
    data = exe.read_bytes()
    assert password.encode("ascii") not in data
    assert password.encode("utf-16-le") not in data
    # Nor does any item as stored or unpacked (the key item is masked, not just compressed).
    key_item = extract(sheetpack, exe, "1210")
    assert password.encode("ascii") not in key_item and all(b >= 0x80 for b in key_item)


@pytest.mark.parametrize("change, expected", [
    # Without a saved state either, the application needs no key at all.
    ({"protectWorkbook": False, "options": {"savedState": False}}, None),
    ({"protectWorkbook": "yes"}, b"key 'protectWorkbook': expected true or false"),
])
def test_protect_workbook_setting(sheetpack, protected_app, tmp_path, change, expected):
    protected_app.config.update(change)
    exe = tmp_path / "App.exe"
    result = build(sheetpack, protected_app, exe)
    if expected:
        assert result.returncode == 2 and expected in result.stderr
        return
    assert result.returncode == 0, result.stderr.decode()
    assert packaged_workbook(sheetpack, exe) == protected_app.files["Report.xlsm"]
    assert not (protected_app.folder / "app.sheetpack-key").exists()
    assert inspect_json(sheetpack, exe)["workbook"] == {"encrypted": False, "keyItem": False}


def test_encrypted_workbook_is_refused(sheetpack, protected_app, tmp_path):
    exe = tmp_path / "App.exe"
    assert build(sheetpack, protected_app, exe).returncode == 0
    (protected_app.folder / "Report.xlsm").write_bytes(packaged_workbook(sheetpack, exe))
    result = build(sheetpack, protected_app, tmp_path / "again.exe")
    assert result.returncode == 2
    assert b"Report.xlsm: is encrypted with a password; remove the password" in result.stderr


def test_put_encrypts_the_workbook_with_the_applications_key(sheetpack, protected_app, tmp_path):
    exe = tmp_path / "App.exe"
    assert build(sheetpack, protected_app, exe).returncode == 0
    password = key_password(protected_app)
    new_workbook = workbooks.ooxml("xlsm", cell="Second version")
    (tmp_path / "New.xlsm").write_bytes(new_workbook)

    result = run(sheetpack, "put", exe, "1020", tmp_path / "New.xlsm")

    assert result.returncode == 0 and result.stderr == b"", result.stderr.decode()
    assert decrypt(packaged_workbook(sheetpack, exe), password) == new_workbook
    assert inspect_json(sheetpack, exe)["workbook"]["encrypted"]
    # What extract gives, put back, is the same item: it opens with the application's password already.
    item = tmp_path / "item.bin"
    assert run(sheetpack, "extract", exe, "1020", "-o", item).returncode == 0
    before = exe.read_bytes()
    again = run(sheetpack, "put", exe, "1020", item)
    assert again.returncode == 0 and again.stderr == b"", again.stderr.decode()
    assert exe.read_bytes() == before


def test_damaged_key_file_is_refused(sheetpack, protected_app, tmp_path):
    (protected_app.folder / "app.sheetpack-key").write_text("sheetpack workbook key 1\nshort\n")
    result = build(sheetpack, protected_app, tmp_path / "App.exe")
    assert result.returncode == 2 and b"app.sheetpack-key: is not a sheetpack key file" in result.stderr
