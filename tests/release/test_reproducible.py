"""The release archives do not depend on the folder they were built in: the project's
files copied into a second folder, whose path has another length, and scripts/dist run
there give byte-identical archives to those of this checkout (SHEETPACK_DIST, default
build/dist, which scripts/test fills first). Builds go through ccache when it is
installed, with its base folder set so that both checkouts share the cache.

A full build of the release targets in the second folder: this runs once, from
scripts/test, not among the e2e scenarios."""
import os
import shutil
import subprocess
import tarfile
import zipfile
from pathlib import Path

import pytest

REPO = Path(__file__).resolve().parents[2]
ARCHIVES = ["linux-x86_64.tar.gz", "windows-x64.zip"]


def project_files():
    """The checkout's files as scripts/dist sees them: tracked and new ones, none ignored."""
    listed = subprocess.run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                            cwd=REPO, capture_output=True, check=True).stdout
    return [name for name in listed.decode().split("\0") if name and (REPO / name).is_file()]


def archives(dist):
    found = {suffix: sorted(dist.glob(f"sheetpack-*-{suffix}")) for suffix in ARCHIVES}
    for suffix, files in found.items():
        if len(files) != 1:
            pytest.fail(f"expected one sheetpack-*-{suffix} in {dist}, found {files}: run scripts/dist first")
    return {suffix: files[0] for suffix, files in found.items()}


def members(archive):
    """Name -> content of every file in a release archive."""
    if archive.name.endswith(".zip"):
        with zipfile.ZipFile(archive) as opened:
            return {name: opened.read(name) for name in opened.namelist()}
    with tarfile.open(archive) as opened:
        return {member.name: opened.extractfile(member).read() for member in opened.getmembers() if member.isfile()}


@pytest.fixture
def second_checkout():
    # Inside this checkout's build folder, so one ccache base folder covers both.
    folder = REPO / "build" / "reproducible" / "another-checkout-folder"
    shutil.rmtree(folder.parent, ignore_errors=True)
    for name in project_files():
        (folder / name).parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(REPO / name, folder / name)
    yield folder
    shutil.rmtree(folder.parent, ignore_errors=True)


def test_a_checkout_in_another_folder_gives_the_same_archives(second_checkout):
    ours = archives(Path(os.environ.get("SHEETPACK_DIST", REPO / "build" / "dist")))
    with tarfile.open(ours["linux-x86_64.tar.gz"]) as archive:
        epoch = archive.getmembers()[0].mtime
    env = dict(os.environ, SOURCE_DATE_EPOCH=str(epoch))
    if shutil.which("ccache"):
        env.update(CCACHE_BASEDIR=str(REPO), CMAKE_C_COMPILER_LAUNCHER="ccache", CMAKE_CXX_COMPILER_LAUNCHER="ccache")
    dist = second_checkout / "build" / "dist"
    result = subprocess.run(["scripts/dist", dist], cwd=second_checkout, env=env, capture_output=True, timeout=3600)
    assert result.returncode == 0, result.stderr.decode()[-3000:]
    theirs = archives(dist)
    for suffix in ARCHIVES:
        assert theirs[suffix].name == ours[suffix].name
        if theirs[suffix].read_bytes() != ours[suffix].read_bytes():
            mine, other = members(ours[suffix]), members(theirs[suffix])
            differing = sorted(name for name in mine.keys() | other.keys() if mine.get(name) != other.get(name))
            pytest.fail(f"{suffix} differs between the two checkouts: {differing or 'in its metadata'}")
