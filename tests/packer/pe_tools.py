"""Changes to PE files that the tests need, made with pefile, and readers of the
resource listings that other tools print."""
import re
import struct
import subprocess

import pefile


def _finish(pe, data):
    pe = pefile.PE(data=bytes(data))
    pe.OPTIONAL_HEADER.CheckSum = pe.generate_checksum()
    return pe.write()


def without_relocations(stub_bytes):
    """The stub with its last section, .reloc, removed, so that .rsrc ends the image."""
    pe = pefile.PE(data=stub_bytes)
    reloc = pe.sections[-1]
    assert reloc.Name.rstrip(b"\0") == b".reloc"
    rsrc = pe.sections[-2]
    pe.FILE_HEADER.NumberOfSections -= 1
    pe.FILE_HEADER.Characteristics |= 0x0001  # relocations stripped
    pe.OPTIONAL_HEADER.DllCharacteristics &= ~0x0040  # no dynamic base without relocations
    pe.OPTIONAL_HEADER.SizeOfInitializedData -= reloc.SizeOfRawData
    alignment = pe.OPTIONAL_HEADER.SectionAlignment
    end = rsrc.VirtualAddress + rsrc.Misc_VirtualSize
    pe.OPTIONAL_HEADER.SizeOfImage = (end + alignment - 1) // alignment * alignment
    directory = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]]
    directory.VirtualAddress = 0
    directory.Size = 0
    data = bytearray(pe.write())
    header = reloc.get_file_offset()
    data[header:header + 40] = bytes(40)
    del data[reloc.PointerToRawData:]
    return _finish(pe, data)


def with_looping_resources(stub_bytes):
    """The stub with its root resource table's first entry pointing back at the root."""
    pe = pefile.PE(data=stub_bytes, fast_load=True)
    directory = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]]
    root = pe.get_offset_from_rva(directory.VirtualAddress)
    data = bytearray(stub_bytes)
    data[root + 20:root + 24] = struct.pack("<I", 0x80000000)
    return bytes(data)


def with_signature(stub_bytes):
    """The stub with a (fake) certificate table appended and named by its directory."""
    certificate = struct.pack("<IHH", 16, 0x0200, 0x0002) + b"\x30\x82\x00\x00" + bytes(4)
    data = bytearray(stub_bytes) + certificate
    pe = pefile.PE(data=bytes(data), fast_load=True)
    directory = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]]
    directory.VirtualAddress = len(stub_bytes)
    directory.Size = len(certificate)
    return pe.write()


def rc_languages(rc):
    """{(type, name): language id} of the user-defined resources in windres's rc output,
    which states the language only where it changes."""
    languages = {}
    language = 0
    for line in rc.splitlines():
        if m := re.match(r"LANGUAGE (\d+), (\d+)", line):
            language = int(m.group(2)) << 10 | int(m.group(1))
        elif m := re.match(r'(\d+) "([^"]+)"$', line):
            languages[(m.group(2), int(m.group(1)))] = language
    return languages


def res_file_entries(res):
    """(type, name, data) of every resource in a .res file, as windres writes it (its
    .res output does not keep the language)."""
    entries = []
    offset = 0

    def name_at(position):
        if res[position:position + 2] == b"\xff\xff":
            return struct.unpack_from("<H", res, position + 2)[0], position + 4
        end = position
        while res[end:end + 2] != b"\0\0":
            end += 2
        return res[position:end].decode("utf-16-le"), end + 2

    while offset + 8 <= len(res):
        data_size, header_size = struct.unpack_from("<II", res, offset)
        kind, position = name_at(offset + 8)
        name, position = name_at(position)
        data = res[offset + header_size:offset + header_size + data_size]
        if data_size or header_size != 32:
            entries.append((kind, name, data))
        offset = (offset + header_size + data_size + 3) & ~3
    return entries


def readobj_resources(path):
    """{(type, id): size} of the EXTRSC items as llvm-readobj lists them."""
    text = subprocess.run(["llvm-readobj-14", "--coff-resources", str(path)],
                          capture_output=True, text=True, check=True).stdout
    sizes = {}
    kind = name = None
    for line in text.splitlines():
        if m := re.match(r"\s*Type: (\S+)", line):
            kind = m.group(1)
        elif m := re.match(r"\s*Name: \(ID (\d+)\)", line):
            name = int(m.group(1))
        elif m := re.match(r"\s*DataSize: (\d+)", line):
            sizes[(kind, name)] = int(m.group(1))
    return sizes
