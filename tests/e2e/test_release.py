"""The release archives that scripts/dist makes, as a user gets them: each, unpacked into
a temporary folder, holds the packer, the files it ships, the author's manual with the
example application and the licence texts; its sheetpack (the Windows one under Wine)
packs the archive's own example with what it ships and nothing else, as the manual's
first command does, and the application runs its whole life against the stand-in host. The archives come from SHEETPACK_DIST (default build/dist), which
scripts/test fills before it runs these scenarios."""
import json
import os
import re
import shutil
import subprocess
import sys
import tarfile
import zipfile
from pathlib import Path

import pytest

from example_life import EXAMPLE_CONFIG, PACK_TIME, check_whole_life, pack_example
from harness import REPO, WINE_RUN, windows_path
from launch_support import Packed

sys.path.insert(0, str(REPO / "scripts" / "lib"))
from manual import manual  # noqa: E402  the pages scripts/dist ships

ARCHIVES = {"linux": "linux-x86_64.tar.gz", "windows": "windows-x64.zip"}
PACKER = {"linux": "bin/sheetpack", "windows": "bin/sheetpack.exe"}
SHIPPED = ["addin-x64.dll", "addin-x86.dll", "sheetpack-stub-x64.exe", "sheetpack-stub-x86.exe"]
# Licence file -> words its text must hold.
LICENSES = {"mingw-w64-runtime.txt": "MinGW-w64", "nlohmann-json.txt": "Niels Lohmann",
            "openssl.txt": "The OpenSSL Project Authors",
            "utfcpp.txt": "Nemanja Trifunovic", "zlib.txt": "Jean-loup Gailly and Mark Adler"}


def archive(platform):
    """The archive of a platform in SHEETPACK_DIST, opened."""
    dist = Path(os.environ.get("SHEETPACK_DIST", REPO / "build" / "dist"))
    suffix = ARCHIVES[platform]
    found = sorted(dist.glob(f"sheetpack-*-{suffix}"))
    if len(found) != 1:
        pytest.fail(f"expected one sheetpack-*-{suffix} in {dist}, found {found}: run scripts/dist first")
    return zipfile.ZipFile(found[0]) if suffix.endswith(".zip") else tarfile.open(found[0])


def archived_files(platform):
    """The files of an archive, as paths below its top folder: what the user unpacks,
    whatever a scenario later builds in the unpacked copy."""
    with archive(platform) as opened:
        if isinstance(opened, zipfile.ZipFile):
            names = [name for name in opened.namelist() if not name.endswith("/")]
        else:
            names = [member.name for member in opened.getmembers() if member.isfile()]
    return sorted(name.split("/", 1)[1] for name in names)


@pytest.fixture(scope="module")
def releases(tmp_path_factory):
    """Each archive unpacked: platform -> its one top folder, sheetpack-VERSION."""
    unpacked = {}
    for platform, suffix in ARCHIVES.items():
        folder = tmp_path_factory.mktemp(platform)
        with archive(platform) as opened:
            opened.extractall(folder)
            name = Path(opened.filename if isinstance(opened, zipfile.ZipFile) else opened.name).name
        (root,) = folder.iterdir()
        assert f"{root.name}-{suffix}" == name
        unpacked[platform] = root
    return unpacked


EXAMPLE = Path("examples") / "budget"


@pytest.fixture(scope="module")
def packed(releases, wine, testkit, tmp_path_factory):
    """Each archive's example packed by its own sheetpack: platform -> (program, what it
    printed). The Windows one is given the key file the Linux build wrote, so that both
    are the same application and may be compared byte for byte."""
    linux = releases["linux"]
    windows = releases["windows"]
    result = {"linux": pack_example([linux / PACKER["linux"]], tmp_path_factory.mktemp("packed-linux"),
                                    env=dict(os.environ, SOURCE_DATE_EPOCH=PACK_TIME),
                                    config=linux / EXAMPLE / "budget.json")}
    shutil.copy2(linux / EXAMPLE / "budget.sheetpack-key", windows / EXAMPLE / "budget.sheetpack-key")
    result["windows"] = pack_example([WINE_RUN, windows / PACKER["windows"]], tmp_path_factory.mktemp("packed-windows"),
                                     env=dict(wine.env, SOURCE_DATE_EPOCH=PACK_TIME), path=windows_path,
                                     config=windows / EXAMPLE / "budget.json")
    return result


@pytest.mark.parametrize("platform", ARCHIVES)
def test_archive_holds_the_packer_its_files_the_readme_and_the_licences(releases, platform):
    root = releases[platform]
    files = archived_files(platform)
    pages = [name.as_posix() for name in manual(REPO)]
    assert {"MANUAL.md", "docs/packer.md", "docs/runtime.md"} <= set(pages)
    # The example, with every file its configuration names.
    config = json.loads((root / EXAMPLE / "budget.json").read_text(encoding="utf-8"))
    named = {config[key] for key in ("workbook", "splash", "notice")}
    assert {f"{EXAMPLE.as_posix()}/{name}" for name in named | {"budget.json"}} <= set(pages)
    assert files == sorted([PACKER[platform]] + pages + [f"licenses/{name}" for name in LICENSES] +
                           [f"share/sheetpack/{name}" for name in SHIPPED])
    for name in pages:
        assert (root / name).read_bytes() == (REPO / name).read_bytes(), name
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


# [text](target) in Markdown; a target ends at a space (a title follows) or ")".
LINK = re.compile(r"\[[^\]]*\]\(([^)\s]+)")


@pytest.mark.parametrize("platform", ARCHIVES)
def test_every_link_of_the_shipped_manual_resolves_inside_the_archive(releases, platform):
    root = releases[platform]
    pages = list(root.rglob("*.md"))
    assert root / "docs" / "packer.md" in pages
    for page in pages:
        for target in LINK.findall(page.read_text(encoding="utf-8")):
            path = target.split("#", 1)[0]
            if not path or re.match(r"^[a-z]+:", path):
                continue
            file = (page.parent / path).resolve()
            assert root in file.parents and file.is_file(), f"{page.relative_to(root)}: {target}"


def test_linux_packer_says_its_version_and_its_configuration_keys(releases):
    root = releases["linux"]
    packer = root / PACKER["linux"]
    version = subprocess.run([packer, "--version"], capture_output=True, text=True, timeout=60)
    assert version.returncode == 0 and version.stdout == f"{root.name.replace('-', ' ', 1)}\n"
    reference = subprocess.run([packer, "help", "config"], capture_output=True, text=True, timeout=60)
    assert reference.returncode == 0
    for key in ("workbook", "protectWorkbook", "savedStateLocation", "checkHostVersion", "\n  41 "):
        assert key in reference.stdout, key


def test_linux_packer_is_hardened(releases):
    """PIE, relocations read-only after start-up (RELRO with BIND_NOW), stack canaries
    and the checked string functions, as hardening-check reads them."""
    packer = releases["linux"] / PACKER["linux"]
    header = subprocess.run(["readelf", "-hldW", packer], capture_output=True, text=True, check=True).stdout
    assert re.search(r"Type:\s+DYN", header), "position-independent"
    assert "GNU_RELRO" in header
    assert re.search(r"\(FLAGS\)\s+BIND_NOW", header) and re.search(r"FLAGS_1.*NOW.*PIE", header)
    symbols = subprocess.run(["readelf", "--dyn-syms", "-W", packer], capture_output=True, text=True,
                             check=True).stdout
    assert "__stack_chk_fail" in symbols
    assert re.search(r"__\w+_chk@", symbols), "FORTIFY_SOURCE"


def run_without_proc(command, cwd, env):
    """`command` (a shell line) with /proc hidden: an empty file system mounted over it
    in a mount namespace of its own, as on a system that has none."""
    return subprocess.run(["unshare", "--mount", "bash", "-c", f"mount -t tmpfs none /proc && cd {cwd} && {command}"],
                          env=env, capture_output=True, text=True, timeout=300)


@pytest.fixture
def decoy(releases, tmp_path):
    """A folder to start sheetpack in, with share/sheetpack one level up holding a decoy
    stub and add-ins; and a copy of the example to pack."""
    if subprocess.run(["unshare", "--mount", "true"], capture_output=True).returncode != 0:
        pytest.skip("no mount namespace to hide /proc in (needs root or user namespaces)")
    share = tmp_path / "share" / "sheetpack"
    share.mkdir(parents=True)
    for name in SHIPPED:
        (share / name).write_bytes(b"MZ decoy")
    (tmp_path / "bin").mkdir()
    shutil.copytree(EXAMPLE_CONFIG.parent, tmp_path / "app")
    return tmp_path


def test_linux_packer_without_proc_finds_itself_through_path(releases, decoy):
    root = releases["linux"]
    env = dict(os.environ, PATH=f"/nonexistent:{root / 'bin'}:/usr/bin:/bin", SOURCE_DATE_EPOCH=PACK_TIME)
    result = run_without_proc("sheetpack build ../app/budget.json -o ../App.exe -v", decoy / "bin", env)
    assert result.returncode == 0, result.stderr
    assert f"stub: {root / 'share' / 'sheetpack' / 'sheetpack-stub-x64.exe'}" in result.stderr
    assert f"add-in kit: the runtime in {root / 'share' / 'sheetpack'}" in result.stderr
    assert b"MZ decoy" not in (decoy / "App.exe").read_bytes()


def test_linux_packer_that_cannot_tell_where_it_is_refuses_to_take_a_kit(releases, decoy):
    packer = releases["linux"] / PACKER["linux"]
    env = dict(os.environ, PATH="/usr/bin:/bin")
    # Started under its bare name from a PATH that does not hold it.
    result = run_without_proc(f"exec -a sheetpack {packer} build ../app/budget.json -o ../App.exe", decoy / "bin", env)
    assert result.returncode == 2, result.stderr
    assert result.stderr == "sheetpack: sheetpack-stub-x64.exe: sheetpack cannot tell where it is installed; " \
                            "name a stub with --stub\n"
    assert not (decoy / "App.exe").exists()
    # Told where the stub and the add-ins are, it needs nothing of its own.
    share = releases["linux"] / "share" / "sheetpack"
    config = json.loads((decoy / "app" / "budget.json").read_text(encoding="utf-8"))
    (decoy / "app" / "budget.json").write_text(json.dumps(dict(config, addinKit=str(share))), encoding="utf-8")
    result = run_without_proc(f"exec -a sheetpack {packer} build ../app/budget.json -o ../App.exe "
                              f"--stub {share / 'sheetpack-stub-x64.exe'}", decoy / "bin", env)
    assert result.returncode == 0, result.stderr
    assert (decoy / "App.exe").read_bytes()[:2] == b"MZ"


def first_block(manual, language):
    """The first fenced block of this language in the manual's first-application section."""
    section = manual[manual.index("## Your first application"):]
    return re.search(rf"```{language}\n(.*?)```", section, re.DOTALL).group(1).strip()


# The manual's first commands, as the reader types them in the unpacked archive.
FIRST_COMMANDS = {"linux": ("sh", []), "windows": ("bat", [WINE_RUN])}


@pytest.mark.parametrize("platform", ARCHIVES)
def test_manuals_first_command_packs_the_archives_example_where_it_was_unpacked(releases, packed, wine, platform):
    root = releases[platform]
    language, runner = FIRST_COMMANDS[platform]
    command = first_block((root / "MANUAL.md").read_text(encoding="utf-8"), language)
    assert "\n" not in command and "examples" in command, command
    env = dict(wine.env if runner else os.environ, SOURCE_DATE_EPOCH=PACK_TIME)
    result = subprocess.run([*map(str, runner), *command.split()], cwd=root, env=env, stdin=subprocess.DEVNULL,
                            capture_output=True, text=True, timeout=300)
    assert result.returncode == 0, result.stderr
    # Packed from the same example with the same key, it is the application the
    # scenarios above run.
    assert (root / "Budget.exe").read_bytes() == packed[platform][0].read_bytes()


def dynamic_versions(packer, prefix):
    """The versions of a symbol set (GLIBC_, GLIBCXX_, OPENSSL_) the program's dynamic symbols ask for."""
    symbols = subprocess.run(["objdump", "-T", packer], capture_output=True, text=True, check=True).stdout
    return {tuple(map(int, found.split("."))) for found in re.findall(rf"\b{prefix}_([\d.]+)\b", symbols)}


def test_linux_packer_needs_no_more_than_the_manual_says(releases):
    root = releases["linux"]
    packer = root / PACKER["linux"]
    manual = (root / "MANUAL.md").read_text(encoding="utf-8")
    stated = {
        "GLIBC": re.search(r"glibc ([\d.]+) or\s+later", manual).group(1),
        "GLIBCXX": re.search(r"`GLIBCXX_([\d.]+)`", manual).group(1),
        "OPENSSL": re.search(r"OpenSSL (\d+)\s", manual).group(1),
    }
    for prefix, version in stated.items():
        needed = dynamic_versions(packer, prefix)
        assert needed, prefix
        assert max(needed)[:len(version.split("."))] <= tuple(map(int, version.split("."))), (prefix, max(needed))
    dynamic = subprocess.run(["objdump", "-p", packer], capture_output=True, text=True, check=True).stdout
    libraries = set(re.findall(r"NEEDED\s+(\S+)", dynamic))
    assert libraries == {"libc.so.6", "libm.so.6", "libgcc_s.so.1", "libstdc++.so.6", "libz.so.1", "libcrypto.so.3"}
    assert "`libcrypto.so.3`" in manual and "zlib" in manual
