"""The release archives that scripts/dist makes, as a user gets them: each, unpacked into
a temporary folder, holds the packer, the files it ships, the README and the licence
texts; its sheetpack (the Windows one under Wine) packs the example application with
what it ships and nothing else, and the application runs its whole life against the
stand-in host. The archives come from SHEETPACK_DIST (default build/dist), which
scripts/test fills before it runs these scenarios."""
import os
import tarfile
import zipfile
from pathlib import Path

import pytest

from example_life import PACK_TIME, check_whole_life, pack_example
from harness import REPO, windows_path
from launch_support import Packed

ARCHIVES = {"linux": "linux-x86_64.tar.gz", "windows": "windows-x64.zip"}
PACKER = {"linux": "bin/sheetpack", "windows": "bin/sheetpack.exe"}
SHIPPED = ["addin-x64.dll", "addin-x86.dll", "sheetpack-stub-x64.exe", "sheetpack-stub-x86.exe"]
# Licence file -> words its text must hold.
LICENSES = {"mingw-w64-runtime.txt": "MinGW-w64", "nlohmann-json.txt": "Niels Lohmann",
            "openssl.txt": "The OpenSSL Project Authors",
            "utfcpp.txt": "Nemanja Trifunovic", "zlib.txt": "Jean-loup Gailly and Mark Adler"}


@pytest.fixture(scope="module")
def releases(tmp_path_factory):
    """Each archive unpacked: platform -> its one top folder, sheetpack-VERSION."""
    dist = Path(os.environ.get("SHEETPACK_DIST", REPO / "build" / "dist"))
    unpacked = {}
    for platform, suffix in ARCHIVES.items():
        found = sorted(dist.glob(f"sheetpack-*-{suffix}"))
        if len(found) != 1:
            pytest.fail(f"expected one sheetpack-*-{suffix} in {dist}, found {found}: run scripts/dist first")
        folder = tmp_path_factory.mktemp(platform)
        with (zipfile.ZipFile(found[0]) if suffix.endswith(".zip") else tarfile.open(found[0])) as archive:
            archive.extractall(folder)
        (root,) = folder.iterdir()
        assert f"{root.name}-{suffix}" == found[0].name
        unpacked[platform] = root
    return unpacked


@pytest.fixture(scope="module")
def packed(releases, wine, testkit, tmp_path_factory):
    """The example packed by each archive's sheetpack: platform -> (program, what it printed)."""
    linux = releases["linux"]
    windows = releases["windows"]
    return {
        "linux": pack_example([linux / PACKER["linux"]], tmp_path_factory.mktemp("packed-linux"),
                              env=dict(os.environ, SOURCE_DATE_EPOCH=PACK_TIME)),
        "windows": pack_example(["wine", windows / PACKER["windows"]], tmp_path_factory.mktemp("packed-windows"),
                                env=dict(wine.env, SOURCE_DATE_EPOCH=PACK_TIME), path=windows_path),
    }


@pytest.mark.parametrize("platform", ARCHIVES)
def test_archive_holds_the_packer_its_files_the_readme_and_the_licences(releases, platform):
    root = releases[platform]
    files = sorted(path.relative_to(root).as_posix() for path in root.rglob("*") if path.is_file())
    assert files == sorted(["README.md", PACKER[platform]] + [f"licenses/{name}" for name in LICENSES] +
                           [f"share/sheetpack/{name}" for name in SHIPPED])
    assert (root / "README.md").read_bytes() == (REPO / "README.md").read_bytes()
    for name, words in LICENSES.items():
        assert words in (root / "licenses" / name).read_text(), name
    for name in SHIPPED:
        assert (root / "share" / "sheetpack" / name).read_bytes() == \
            (releases["linux"] / "share" / "sheetpack" / name).read_bytes(), "both archives ship the same files"


def test_both_packers_pack_from_their_share_folder_and_write_the_same_bytes(releases, packed):
    for platform, (_, notes) in packed.items():
        share = releases[platform] / "share" / "sheetpack"
        shown = windows_path if platform == "windows" else str
        assert f"stub: {shown(share / 'sheetpack-stub-x64.exe')}" in notes, notes
        assert f"add-in kit: the runtime in {shown(share)}" in notes, notes
    assert packed["linux"][0].read_bytes() == packed["windows"][0].read_bytes()


@pytest.mark.parametrize("platform", ARCHIVES)
def test_packed_example_runs_its_whole_life(scenario, releases, packed, platform):
    program, _ = packed[platform]
    reader = releases["linux"] / PACKER["linux"]
    addin = (releases[platform] / "share" / "sheetpack" / "addin-x64.dll").read_bytes()
    check_whole_life(scenario, Packed(reader, program), addin)
