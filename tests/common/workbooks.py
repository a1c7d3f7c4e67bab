"""Well-formed workbooks of every format the packer meets, built in memory: OOXML
packages (zip) of any kind with or without a VBA project, and Excel 97-2003 workbooks
(a compound file with a BIFF8 Workbook stream), with the compound-file writer and the
VBA project they need. Each `cell` text lands in the first sheet, so that workbooks can
be told apart."""
import io
import struct
import zipfile

# Main content types of the OOXML kinds (ECMA-376 and the Office extensions).
MAIN_TYPES = {
    "xlsm": "application/vnd.ms-excel.sheet.macroEnabled.main+xml",
    "xlsx": "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml",
    "xltm": "application/vnd.ms-excel.template.macroEnabled.main+xml",
    "xlsb": "application/vnd.ms-excel.sheet.binary.macroEnabled.main",
    "docx": "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml",
}
VBA_TYPE = "application/vnd.ms-office.vbaProject"
RELS_TYPE = "application/vnd.openxmlformats-package.relationships+xml"
OFFICE_DOCUMENT = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument"
WORKSHEET = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet"
VBA_RELATIONSHIP = "http://schemas.microsoft.com/office/2006/relationships/vbaProject"
MAIN_NS = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
REL_NS = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"

# ---------------------------------------------------------------- compound files (MS-CFB)

FREE, END, FAT_SECTOR, NO_ENTRY = 0xFFFFFFFF, 0xFFFFFFFE, 0xFFFFFFFD, 0xFFFFFFFF
SECTOR, MINI_SECTOR, CUTOFF = 512, 64, 4096


def _name_key(name):
    units = name.encode("utf-16-le")
    return len(units), name.upper()


def compound_file(root):
    """A version 3 compound file of `root`: a dict of names to bytes (a stream) or to a
    dict (a storage). Each storage's entries form a balanced tree in the format's order."""
    entries = [{"name": "Root Entry", "type": 5, "data": b"", "left": NO_ENTRY, "right": NO_ENTRY,
                "child": NO_ENTRY}]

    def add_storage(children, owner):
        ids = []
        for name in sorted(children, key=_name_key):
            value = children[name]
            entry = {"name": name, "type": 1 if isinstance(value, dict) else 2, "left": NO_ENTRY,
                     "right": NO_ENTRY, "child": NO_ENTRY, "data": b"" if isinstance(value, dict) else value}
            entries.append(entry)
            ids.append(len(entries) - 1)
            if isinstance(value, dict):
                add_storage(value, entry)

        def balanced(low, high):
            if low >= high:
                return NO_ENTRY
            middle = (low + high) // 2
            entries[ids[middle]]["left"] = balanced(low, middle)
            entries[ids[middle]]["right"] = balanced(middle + 1, high)
            return ids[middle]
        owner["child"] = balanced(0, len(ids))

    add_storage(root, entries[0])

    mini, mini_fat, big = b"", [], []
    for entry in entries[1:]:
        data = entry["data"]
        if entry["type"] != 2 or not data:
            entry["start"] = END if entry["type"] == 2 else 0
            continue
        if len(data) < CUTOFF:
            entry["start"] = len(mini) // MINI_SECTOR
            count = -(-len(data) // MINI_SECTOR)
            mini_fat += list(range(entry["start"] + 1, entry["start"] + count)) + [END]
            mini += data.ljust(count * MINI_SECTOR, b"\0")
        else:
            big.append(entry)

    def sectors(size):
        return -(-size // SECTOR)

    directory_sectors = sectors(len(entries) * 128)
    mini_fat_sectors = sectors(len(mini_fat) * 4)
    mini_sectors = sectors(len(mini))
    big_sectors = sum(sectors(len(entry["data"])) for entry in big)
    fat_sectors = 1
    while fat_sectors * SECTOR // 4 < fat_sectors + directory_sectors + mini_fat_sectors + mini_sectors + big_sectors:
        fat_sectors += 1
    assert fat_sectors <= 109, "too large for a header-only FAT"

    fat, body = [FAT_SECTOR] * fat_sectors, []

    def chain(data, count):
        start = len(fat)
        fat.extend(list(range(start + 1, start + count)) + [END])
        body.append(data.ljust(count * SECTOR, b"\0"))
        return start

    directory_start = len(fat)
    fat.extend(list(range(directory_start + 1, directory_start + directory_sectors)) + [END])
    body.append(b"")  # the directory, written once every start is known
    mini_fat_start = chain(b"".join(struct.pack("<I", n) for n in mini_fat), mini_fat_sectors) if mini_fat else END
    entries[0]["start"] = chain(mini, mini_sectors) if mini else END
    entries[0]["size"] = len(mini)
    for entry in big:
        entry["start"] = chain(entry["data"], sectors(len(entry["data"])))
    fat += [FREE] * (fat_sectors * SECTOR // 4 - len(fat))

    directory = b""
    for entry in entries:
        name = entry["name"].encode("utf-16-le") + b"\0\0"
        size = entry.get("size", len(entry["data"]))
        directory += struct.pack("<64sHBBIII16sIQQIII", name, len(name), entry["type"], 1, entry["left"],
                                 entry["right"], entry["child"], b"\0" * 16, 0, 0, 0, entry["start"], size, 0)
    empty = struct.pack("<64sHBBIII16sIQQIII", b"", 0, 0, 0, NO_ENTRY, NO_ENTRY, NO_ENTRY, b"\0" * 16, 0, 0, 0, 0, 0, 0)
    while len(directory) % SECTOR:
        directory += empty
    body[0] = directory

    difat = list(range(fat_sectors)) + [FREE] * (109 - fat_sectors)
    header = struct.pack("<8s16sHHHHH6sIIIIIIIII", b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", b"\0" * 16, 0x3E, 3, 0xFFFE,
                         9, 6, b"\0" * 6, 0, fat_sectors, directory_start, 0, CUTOFF, mini_fat_start, mini_fat_sectors,
                         END, 0)
    header += b"".join(struct.pack("<I", n) for n in difat)
    fat_bytes = b"".join(struct.pack("<I", n) for n in fat)
    return header + fat_bytes + b"".join(body)


# ---------------------------------------------------------------- VBA projects (MS-OVBA)

def ovba_compress(data):
    """A compressed container whose chunks hold literals only: valid, if not small."""
    out = b"\x01"
    for start in range(0, max(len(data), 1), 4096):
        chunk = data[start:start + 4096]
        if len(chunk) == 4096:
            out += struct.pack("<H", 0x3000 | 4095) + chunk  # a raw chunk
            continue
        body = b"".join(b"\0" + chunk[i:i + 8] for i in range(0, len(chunk), 8))
        assert len(body) <= 4096, "a literal chunk must fit 4098 bytes"
        out += struct.pack("<H", 0xB000 | (len(body) - 1)) + body
    return out


def _record(record_id, payload):
    return struct.pack("<HI", record_id, len(payload)) + payload


def _project_stream(modules):
    text = 'ID="{5D4C2A3E-1B7F-4E28-9C61-0A8F3B2D7E45}"\r\n'
    for name, kind, _ in modules:
        text += f"Document={name}/&H00000000\r\n" if kind == "document" else f"Module={name}\r\n"
    text += 'Name="VBAProject"\r\nHelpContextID="0"\r\nVersionCompatible32="393222000"\r\n'
    text += "\r\n[Host Extender Info]\r\n&H00000001={3832D640-CF90-11CF-8E43-00A0C911005A};VBE;&H00000000\r\n"
    text += "\r\n[Workspace]\r\n" + "".join(f"{name}=0, 0, 0, 0, C\r\n" for name, _, _ in modules)
    return text.encode("cp1252")


def _dir_stream(modules):
    u16, u32 = (lambda v: struct.pack("<H", v)), (lambda v: struct.pack("<I", v))
    d = _record(1, u32(1)) + _record(2, u32(0x409)) + _record(0x14, u32(0x409)) + _record(3, u16(1252))
    d += _record(4, b"VBAProject") + _record(5, b"") + _record(0x40, b"") + _record(6, b"") + _record(0x3D, b"")
    d += _record(7, u32(0)) + _record(8, u32(0)) + struct.pack("<HIIH", 9, 4, 1, 0)
    d += _record(0x0C, b"") + _record(0x3C, b"") + _record(0x0F, u16(len(modules))) + _record(0x13, u16(0xFFFF))
    for name, kind, _ in modules:
        ascii_name, wide_name = name.encode("cp1252"), name.encode("utf-16-le")
        d += _record(0x19, ascii_name) + _record(0x47, wide_name) + _record(0x1A, ascii_name)
        d += _record(0x32, wide_name) + _record(0x1C, b"") + _record(0x48, b"") + _record(0x31, u32(0))
        d += _record(0x1E, u32(0)) + _record(0x2C, u16(0xFFFF))
        d += _record(0x22 if kind == "document" else 0x21, b"") + _record(0x2B, b"")
    return d + _record(0x10, b"")


def vba_project(macro="Sub Hello()\r\n    MsgBox \"Hello\"\r\nEnd Sub\r\n"):
    """A VBA project as a workbook carries it: ThisWorkbook and Sheet1 (document
    modules) and Module1 holding `macro`, stored as source only."""
    def document(name, base):
        return (f'Attribute VB_Name = "{name}"\r\nAttribute VB_Base = "0{base}"\r\n'
                "Attribute VB_GlobalNameSpace = False\r\nAttribute VB_Creatable = False\r\n"
                "Attribute VB_PredeclaredId = True\r\nAttribute VB_Exposed = True\r\n"
                "Attribute VB_TemplateDerived = False\r\nAttribute VB_Customizable = True\r\n")
    modules = [("ThisWorkbook", "document", document("ThisWorkbook", "{00020819-0000-0000-C000-000000000046}")),
               ("Sheet1", "document", document("Sheet1", "{00020820-0000-0000-C000-000000000046}")),
               ("Module1", "standard", 'Attribute VB_Name = "Module1"\r\n' + macro)]
    name_map = b"".join(n.encode("cp1252") + b"\0" + n.encode("utf-16-le") + b"\0\0" for n, _, _ in modules) + b"\0\0"
    vba = {"dir": ovba_compress(_dir_stream(modules)), "_VBA_PROJECT": b"\xCC\x61\xFF\xFF\x00\x00\x00"}
    vba.update({name: ovba_compress(source.encode("cp1252")) for name, _, source in modules})
    return {"PROJECT": _project_stream(modules), "PROJECTwm": name_map, "VBA": vba}


# ---------------------------------------------------------------- OOXML packages

def ooxml(kind="xlsm", vba=True, cell="Sheetpack", payload=b""):
    """An OOXML package of `kind` (a key of MAIN_TYPES) with one sheet (or a document
    body) holding `cell`, and xl/vbaProject.bin when `vba` is set. A `payload` is
    stored (not compressed) as a part of its own, to give the package a size."""
    spreadsheet = kind != "docx"
    binary = kind == "xlsb"
    main = "xl/workbook.bin" if binary else "xl/workbook.xml" if spreadsheet else "word/document.xml"
    overrides = {f"/{main}": MAIN_TYPES[kind]}
    parts = {}
    if binary:
        # As Excel writes it: .bin parts typed one by one, the VBA project among them.
        parts[main] = biff12_workbook()
        rels = f'<Relationship Id="rId1" Type="{WORKSHEET}" Target="worksheets/sheet1.bin"/>'
        if vba:
            rels += f'<Relationship Id="rId2" Type="{VBA_RELATIONSHIP}" Target="vbaProject.bin"/>'
            overrides["/xl/vbaProject.bin"] = VBA_TYPE
        parts["xl/_rels/workbook.bin.rels"] = _relationships(rels)
        parts["xl/worksheets/sheet1.bin"] = biff12_sheet(cell)
        overrides["/xl/worksheets/sheet1.bin"] = "application/vnd.ms-excel.worksheet"
    elif spreadsheet:
        parts[main] = (f'<workbook xmlns="{MAIN_NS}" xmlns:r="{REL_NS}"><sheets>'
                       '<sheet name="Sheet1" sheetId="1" r:id="rId1"/></sheets></workbook>')
        rels = f'<Relationship Id="rId1" Type="{WORKSHEET}" Target="worksheets/sheet1.xml"/>'
        if vba:
            rels += f'<Relationship Id="rId2" Type="{VBA_RELATIONSHIP}" Target="vbaProject.bin"/>'
        parts["xl/_rels/workbook.xml.rels"] = _relationships(rels)
        parts["xl/worksheets/sheet1.xml"] = (f'<worksheet xmlns="{MAIN_NS}"><sheetData><row r="1"><c r="A1" '
                                             f't="inlineStr"><is><t>{cell}</t></is></c></row></sheetData></worksheet>')
        overrides["/xl/worksheets/sheet1.xml"] = \
            "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"
    else:
        parts[main] = ('<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main">'
                       f"<w:body><w:p><w:r><w:t>{cell}</w:t></w:r></w:p></w:body></w:document>")
    content_types = ('<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                     f'<Default Extension="rels" ContentType="{RELS_TYPE}"/>'
                     '<Default Extension="xml" ContentType="application/xml"/>'
                     '<Default Extension="dat" ContentType="application/octet-stream"/>'
                     + (f'<Default Extension="bin" ContentType="{VBA_TYPE}"/>' if vba and not binary else "")
                     + "".join(f'<Override PartName="{name}" ContentType="{kind_type}"/>'
                               for name, kind_type in overrides.items())
                     + "</Types>")
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as package:
        def write(name, data):
            info = zipfile.ZipInfo(name, date_time=(2026, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            package.writestr(info, data)
        write("[Content_Types].xml", _xml(content_types))
        write("_rels/.rels", _xml(_relationships(f'<Relationship Id="rId1" Type="{OFFICE_DOCUMENT}" Target="{main}"/>')))
        for name, part in parts.items():
            write(name, part if isinstance(part, bytes) else _xml(part))
        if vba:
            write("xl/vbaProject.bin", compound_file(vba_project()))
        if payload:
            info = zipfile.ZipInfo("customXml/payload.dat", date_time=(2026, 1, 1, 0, 0, 0))
            package.writestr(info, payload)  # ZIP_STORED, the ZipInfo default
    return buffer.getvalue()


def _relationships(inner):
    return f'<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">{inner}</Relationships>'


def _xml(text):
    return ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\r\n' + text).encode("utf-8")


# ---------------------------------------------------------------- binary workbook parts (BIFF12)

def _biff12(record_type, payload=b""):
    """A record: its type and size as 7-bit groups, low first, then the payload."""
    def varint(value, limit):
        out = b""
        for _ in range(limit):
            out += bytes([value & 0x7F | (0x80 if value > 0x7F else 0)])
            value >>= 7
            if not value:
                break
        return out
    return varint(record_type, 2) + varint(len(payload), 4) + payload


def _wide(text):
    return struct.pack("<I", len(text)) + text.encode("utf-16-le")


def biff12_workbook():
    """xl/workbook.bin: one visible sheet, Sheet1, of relationship rId1."""
    sheet = struct.pack("<II", 0, 1) + _wide("rId1") + _wide("Sheet1")
    return (_biff12(0x83) + _biff12(0x8F) + _biff12(0x9C, sheet) + _biff12(0x90) + _biff12(0x84))


def biff12_sheet(cell):
    """xl/worksheets/sheet1.bin: `cell` in A1 as an inline string."""
    row = struct.pack("<IIHBBBI", 0, 0, 300, 0, 0, 0, 0)  # row 0, style 0, 15 points, no column spans
    text_cell = struct.pack("<II", 0, 0) + _wide(cell)  # column 0, style 0
    return (_biff12(0x81) + _biff12(0x91) + _biff12(0x00, row) + _biff12(0x06, text_cell)
            + _biff12(0x92) + _biff12(0x82))


# ---------------------------------------------------------------- Excel 97-2003 (BIFF8)

def _biff(record_id, payload=b""):
    return struct.pack("<HH", record_id, len(payload)) + payload


def _unicode(text, short):
    units = text.encode("utf-16-le")
    return (struct.pack("<B", len(units) // 2) if short else struct.pack("<H", len(units) // 2)) + b"\x01" + units


def biff8_workbook(cell="Sheetpack"):
    """A Workbook stream: the globals a host expects and one sheet holding `cell`."""
    words = lambda *values: struct.pack(f"<{len(values)}H", *values)  # noqa: E731
    bof = lambda kind: _biff(0x0809, words(0x0600, kind, 0x0DBB, 0x07CC, 1, 0, 6, 0))  # noqa: E731
    font = words(200, 0, 0x7FFF, 400, 0) + b"\0" * 4 + _unicode("Arial", True)
    xf = lambda style: words(0, 0, 0xFFF5 if style else 1, 0x20) + bytes([0, 0xF4 if style else 0]) \
        + b"\0" * 8 + words(0x20C0)  # noqa: E731
    globals_ = bof(5) + _biff(0x0042, words(1200)) + _biff(0x003D, words(0x168, 0x1E, 0x3A4C, 0x2328, 0x38, 0, 0, 1, 0x258))
    globals_ += b"".join(_biff(0x0031, font) for _ in range(4)) + b"".join(_biff(0x00E0, xf(True)) for _ in range(15))
    globals_ += _biff(0x00E0, xf(False)) + _biff(0x0293, words(0x8000, 0xFF00))
    sheet_name = _unicode("Sheet1", True)
    tail = _biff(0x00FC, struct.pack("<II", 1, 1) + _unicode(cell, False)) + _biff(0x000A)
    sheet_position = len(globals_) + 4 + 6 + len(sheet_name) + len(tail)
    globals_ += _biff(0x0085, struct.pack("<IBB", sheet_position, 0, 0) + sheet_name) + tail
    sheet = bof(0x10) + _biff(0x0200, struct.pack("<IIHHH", 0, 1, 0, 1, 0))
    sheet += _biff(0x00FD, struct.pack("<HHHI", 0, 0, 15, 0)) + _biff(0x023E, words(0x6B6, 0, 0, 64, 0, 0, 0, 0, 0))
    sheet += _biff(0x000A)
    return (globals_ + sheet).ljust(4096, b"\0")


def xls(vba=True, cell="Sheetpack"):
    """An Excel 97-2003 workbook, with its VBA project when `vba` is set."""
    root = {"Workbook": biff8_workbook(cell)}
    if vba:
        root["_VBA_PROJECT_CUR"] = vba_project()
    return compound_file(root)
