"""The runtime kit as `sheetpack build` takes it, checked structurally: both add-ins are
DLLs of their bitness that export DummyFunc9 under that undecorated name (the loader's
Declare names it so), SheetpackStartAnswer (which tells the packer that the add-in
answers the launcher's start probe), the XLL entries xlAutoOpen and xlAutoClose (the host
looks them up by these names when RegisterXLL loads the add-in) and nothing else, the 32-bit entry as __stdcall (it pops its three arguments,
as VBA's call expects), and neither needs a DLL that a plain Windows lacks."""
import os
import re
import subprocess
from pathlib import Path

import pefile
import pytest

KIT = Path(os.environ.get("SHEETPACK_RUNTIME_KIT", "build/win64/runtime/kit"))
# ADVAPI32 comes with the stack protector, whose canary is drawn from CryptGenRandom;
# SHELL32 names the user's local application-data folder, where the saved state lives.
# OLEACC finds the host's object model from a workbook window when the add-in starts as an XLL.
SYSTEM_DLLS = {"kernel32.dll", "advapi32.dll", "user32.dll", "ole32.dll", "oleaut32.dll", "msvcrt.dll",
               "shell32.dll", "oleacc.dll"}
ADDINS = [("addin-x64.dll", pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"], "x86_64"),
          ("addin-x86.dll", pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"], "i686")]


def load(name):
    path = KIT / name
    if not path.exists():
        pytest.fail(f"{path} does not exist: build the win64 preset first")
    return path, pefile.PE(str(path))


@pytest.mark.parametrize("name,machine,_", ADDINS)
def test_addin_is_a_dll_of_its_bitness_exporting_only_its_four_names(name, machine, _):
    _, pe = load(name)
    assert pe.FILE_HEADER.Machine == machine
    assert pe.FILE_HEADER.Characteristics & pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_DLL"]
    assert sorted(symbol.name for symbol in pe.DIRECTORY_ENTRY_EXPORT.symbols) == [
        b"DummyFunc9", b"SheetpackStartAnswer", b"xlAutoClose", b"xlAutoOpen"]
    imports = {entry.dll.decode().lower() for entry in pe.DIRECTORY_ENTRY_IMPORT}
    assert imports <= SYSTEM_DLLS, f"needs {imports - SYSTEM_DLLS}"


def returns(name, triple):
    """The return instructions of DummyFunc9, from a disassembly of its first bytes."""
    path, pe = load(name)
    (symbol,) = [symbol for symbol in pe.DIRECTORY_ENTRY_EXPORT.symbols if symbol.name == b"DummyFunc9"]
    start = pe.OPTIONAL_HEADER.ImageBase + symbol.address
    listing = subprocess.run([f"{triple}-w64-mingw32-objdump", "-d", f"--start-address={start:#x}",
                              f"--stop-address={start + 4096:#x}", str(path)],
                             capture_output=True, text=True, check=True).stdout
    return re.findall(r"\tret[ \t]*(\$0x[0-9a-f]+)?[ \t]*$", listing, re.MULTILINE)


def test_x86_entry_is_stdcall_and_x64_entry_returns_plainly():
    # The first return ends the normal path; __stdcall pops 3 x 4 bytes of arguments.
    assert returns("addin-x86.dll", "i686")[0] == "$0xc"
    assert returns("addin-x64.dll", "x86_64")[0] == ""
