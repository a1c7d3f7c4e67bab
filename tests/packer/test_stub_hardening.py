"""The launcher stubs as a loader and an attacker see them, and the applications packed
from them: only known DLLs imported statically (any other import is looked up beside the
executable before the launcher runs a single instruction, in the user's Downloads
folder), and the build's hardening: ASLR (with high entropy on x64), DEP, and the
stack protector of -fstack-protector-strong, linked statically."""
import pefile
import pytest

from conftest import build

# The static imports both stubs may have: all of them known DLLs on Windows.
KNOWN_DLLS = {"advapi32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll", "oleaut32.dll", "shell32.dll",
              "user32.dll"}

DYNAMIC_BASE, NX_COMPAT, HIGH_ENTROPY_VA = 0x0040, 0x0100, 0x0020
RELOCS_STRIPPED = 0x0001


def imports(pe):
    return {entry.dll.decode().lower() for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])}


def delay_imports(pe):
    return {entry.dll.decode().lower() for entry in getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])}


@pytest.fixture(params=["x64", "x86"])
def arch(request):
    return request.param


@pytest.fixture
def executables(sheetpack, app, tmp_path, stubs, arch):
    """The stub and an application packed from it."""
    app.config["arch"] = arch
    packed = tmp_path / "App.exe"
    result = build(sheetpack, app, packed)
    assert result.returncode == 0, result.stderr.decode()
    return {"stub": stubs[arch], "packed": packed}


@pytest.mark.parametrize("which", ["stub", "packed"])
def test_only_known_dlls_are_imported(executables, which):
    pe = pefile.PE(str(executables[which]))
    assert imports(pe) == KNOWN_DLLS
    assert delay_imports(pe) == set(), "a delay-loaded DLL is looked up beside the executable too"
    names = {imp.name.decode() for entry in pe.DIRECTORY_ENTRY_IMPORT for imp in entry.imports if imp.name}
    assert not {name for name in names if name.startswith(("Gdip", "Gdiplus"))}, "GDI+ is loaded at run time"


@pytest.mark.parametrize("which", ["stub", "packed"])
def test_address_space_layout_randomisation_and_dep(executables, arch, which):
    pe = pefile.PE(str(executables[which]))
    characteristics = pe.OPTIONAL_HEADER.DllCharacteristics
    assert characteristics & DYNAMIC_BASE, "ASLR"
    assert characteristics & NX_COMPAT, "DEP"
    if arch == "x64":
        assert characteristics & HIGH_ENTROPY_VA, "high-entropy ASLR"
    # ASLR needs the relocations to move the image.
    assert not pe.FILE_HEADER.Characteristics & RELOCS_STRIPPED
    assert getattr(pe, "DIRECTORY_ENTRY_BASERELOC", None), "no base relocations"


def test_the_stack_protector_is_linked_in(stubs, arch):
    # libssp's failure report, linked statically: the canaries' check is there, and no
    # libssp DLL is needed (the import test above holds the DLLs to the known ones).
    data = stubs[arch].read_bytes()
    assert b"stack smashing detected" in data
    assert b"buffer overflow detected" in data, "_FORTIFY_SOURCE's checked functions"
