"""Writes a folder's contents into a release archive, .tar.gz or .zip by the name given,
reproducibly: entries in sorted order, every time stamp SOURCE_DATE_EPOCH, no owner
names, and only the executable bit of each file's mode kept.

    archive.py FOLDER ARCHIVE
"""
import gzip
import io
import os
import sys
import tarfile
import time
import zipfile
from pathlib import Path

ZIP_EARLIEST = 315532800  # 1980-01-01, the first time a zip entry can carry


def entries(folder):
    """(name in the archive, path, is a folder) in sorted order, folders before their contents."""
    for path in sorted(folder.rglob("*"), key=lambda p: p.relative_to(folder).parts):
        yield path.relative_to(folder).as_posix(), path, path.is_dir()


def mode(path, is_folder):
    return 0o755 if is_folder or os.access(path, os.X_OK) else 0o644


def write_tar_gz(folder, target, epoch):
    data = io.BytesIO()
    with tarfile.open(fileobj=data, mode="w", format=tarfile.PAX_FORMAT) as tar:
        for name, path, is_folder in entries(folder):
            info = tarfile.TarInfo(name)
            info.mtime, info.mode = epoch, mode(path, is_folder)
            if is_folder:
                info.type = tarfile.DIRTYPE
                tar.addfile(info)
            else:
                info.size = path.stat().st_size
                with path.open("rb") as content:
                    tar.addfile(info, content)
    with open(target, "wb") as raw, gzip.GzipFile(filename="", mode="wb", fileobj=raw, mtime=epoch) as packed:
        packed.write(data.getvalue())


def write_zip(folder, target, epoch):
    stamp = time.gmtime(max(epoch, ZIP_EARLIEST))[:6]
    with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as archive:
        for name, path, is_folder in entries(folder):
            info = zipfile.ZipInfo(name + "/" if is_folder else name, stamp)
            info.external_attr = (mode(path, is_folder) | (0o040000 if is_folder else 0o100000)) << 16
            info.compress_type = zipfile.ZIP_STORED if is_folder else zipfile.ZIP_DEFLATED
            archive.writestr(info, b"" if is_folder else path.read_bytes())


def main(folder, target):
    epoch = int(os.environ.get("SOURCE_DATE_EPOCH", "0"))
    partial = Path(target + ".part")
    (write_zip if target.endswith(".zip") else write_tar_gz)(Path(folder), partial, epoch)
    partial.replace(target)


if __name__ == "__main__":
    main(*sys.argv[1:])
