"""Helpers of the launch scenarios: applications packed once per module, items planted
with `sheetpack put`, and the stand-in host's journal read as calls, messages and files."""
import re
import shutil
import struct
import subprocess
import zlib

from harness import pack_application, workbooks

WORKBOOK = workbooks.ooxml("xlsm", cell="the packaged workbook")
WORKBOOK_MARKER = struct.pack("<I", 0x30751092)
LOADER_ITEM, SETTINGS_ITEM, ADDIN_X86_ITEM, ADDIN_X64_ITEM = 1018, 1100, 1025, 1027
SETTINGS_MAGIC_OFFSET = 68

# The messages of a launch without a silent-start value, in order; 1171 is posted last.
MESSAGES = [1159, 1181, 1160, 1156, 1158, 1166, 1155, 1157, 1164, 1168, 1163, 1179, 1171]

# Invocations as the stand-in host journals them (a put's value is the named argument).
VISIBLE, USER_CONTROL, DISPLAY_ALERTS, CAPTION = 558, 1210, 343, 139
# A member of the application that no public documentation names: the launcher leaves it alone.
UNNAMED_MEMBER = 2788
WORKBOOKS_CLOSE, WORKBOOKS_OPEN, HWND_GET, PRODUCT_CODE = 277, 682, 1950, 1798
# Workbooks.Open is called with the system default locale, every other member with 0.
SYSTEM_DEFAULT_LOCALE = 0x0800


def events(journal, name):
    return [fields[1:] for fields in journal if fields[0] == name]


def messages(journal):
    """The add-in's messages as (number, wParam, lParam)."""
    return [tuple(map(int, fields)) for fields in events(journal, "msg")]


def message_numbers(journal):
    return [number for number, _, _ in messages(journal)]


def invokes(journal, dispid, kind=None):
    """The calls of one member: each a list of its kind and arguments."""
    return [fields[1:] for fields in events(journal, "invoke")
            if fields[0] == str(dispid) and (kind is None or fields[1] == kind)]


def puts(journal, dispid):
    """The values put into a property, in order, as (type, value)."""
    return [tuple(fields[-2:]) for fields in invokes(journal, dispid, "put")]


def folder_files(journal):
    """The loader's folder when it was opened: name -> (size, CRC-32)."""
    crcs = {name: int(crc, 16) for name, crc in events(journal, "crc")}
    return {name: (int(size), crcs.get(name)) for name, size in events(journal, "folder")}


def file_id(data):
    return len(data), zlib.crc32(data)


def invoke_locales(journal):
    """Every call as (DISPID, the locale id it was made with), in order."""
    return [(int(fields[1]), fields.lcid) for fields in journal if fields[0] == "invoke"]


def check_loader_folder(journal, app, addin):
    """The folder the host opened the loader workbook in held item 1018 of the packed
    application `app` as that workbook and `addin` (the bytes of the add-in for the
    host's bitness) as pelkostub.dll, by size and CRC-32."""
    loader = events(journal, "open")[0][0].rsplit("\\", 1)[1]
    files = folder_files(journal)
    assert files[loader] == file_id(app.extract(LOADER_ITEM)), "the loader workbook opened is item 1018"
    assert files["pelkostub.dll"] == file_id(addin), "the add-in written is the one for the host's bitness"


def workspace_of(journal):
    """The workspace folder, from the path of the loader workbook the host opened."""
    (opened,) = events(journal, "open")
    return opened[0].rsplit("\\", 1)[0]


SEND_TRACE = re.compile(r"send_inter_thread_message hwnd (\w+) msg (\w+) .*\bwp (\w+) lp (\w+)")
TRACE_SENDS = "-all,trace+msg"  # the WINEDEBUG setting that makes Wine trace them


def traced_sends(log):
    """The messages sent to windows of other threads, in order, as (window, message,
    wParam, lParam), from Wine's trace of them. Wine does not carry WM_SETICON over to
    another process, so the host never sees the icon: the sender's trace shows it."""
    return [tuple(int(field, 16) for field in match.groups())
            for match in SEND_TRACE.finditer(log.read_text(errors="replace"))]


def run_sheetpack(packer, *args):
    result = subprocess.run([str(packer), *map(str, args)], capture_output=True, timeout=120)
    assert result.returncode == 0, f"sheetpack {args}: {result.stderr.decode(errors='replace')}"
    return result.stdout


class Packed:
    """A packed application and the packer that reads and changes it."""

    def __init__(self, packer, program):
        self.packer = packer
        self.program = program
        self.folder = program.parent

    def extract(self, item):
        out = self.folder / f"item-{item}.bin"
        run_sheetpack(self.packer, "extract", self.program, item, "-o", out)
        return out.read_bytes()

    def put(self, item, data, raw=False):
        source = self.folder / f"planted-{item}.bin"
        source.write_bytes(data)
        run_sheetpack(self.packer, "put", self.program, item, source, *(["--raw"] if raw else []))

    def copy_to(self, folder):
        """The same application in another folder, to be changed there."""
        folder.mkdir(parents=True, exist_ok=True)
        return Packed(self.packer, shutil.copy(self.program, folder / self.program.name))


class Shelf:
    """Applications packed once per module, each in a folder of its own, by name."""

    def __init__(self, tmp_path_factory, packer, stub, kit):
        self.tmp_path_factory = tmp_path_factory
        self.packer = packer
        self.stub = stub
        self.kit = kit
        self.apps = {}

    def get(self, name, files=None, plant=None, **config):
        """The application `name`, packed from `config` on first use; `files` are written
        beside the configuration first, `plant` maps items to bytes put after packing."""
        if name not in self.apps:
            folder = self.tmp_path_factory.mktemp(name)
            (folder / "Book.xlsm").write_bytes(WORKBOOK)
            for file_name, data in (files or {}).items():
                (folder / file_name).write_bytes(data)
            settings = {"title": "Outcomes", "workbook": "Book.xlsm", "addinKit": str(self.kit), **config}
            app = Packed(self.packer, pack_application(self.packer, folder, settings, self.stub))
            # Planted on purpose, so stored as given: put checks what it stores otherwise.
            for item, data in (plant or {}).items():
                app.put(item, data, raw=True)
            self.apps[name] = app
        return self.apps[name]


def loadable_x86_item(kit):
    """What stands in for the 32-bit add-in (item 1025): the 64-bit build with bytes
    appended, which the 64-bit stand-in host can load, and whose size and CRC tell the
    written file apart from item 1027."""
    return (kit / "addin-x64.dll").read_bytes() + b"\0" * 4093


def run_cleanup_mode(scenario, app, journal):
    """Runs the launcher in cleanup mode on a launch's workspace, as the add-in does once
    it has the 1171 it never got in some scenarios."""
    workspace = workspace_of(journal)
    (workbook,) = [name for name in folder_files(journal) if name.startswith("App.")]
    driver = scenario.launch(app.program, "-clnx", f"{workspace}\\{workbook}", "-clnd", f"{workspace}\\pelkostub.dll",
                             journal=scenario.folder / "cleanup.journal")
    assert driver.exit_code == 1
