#!/usr/bin/env python3
"""qvpack.py [--allow-missing] OUTPUT.zip SOURCE_DIR: pack a folder into a zip archive that is the same bytes on
every build. With --allow-missing a missing SOURCE_DIR gives an empty archive instead of an error.

Each folder's files come first, then its sub-folders, each as a directory entry followed by its contents, all
in name order. Files are deflated; timestamps, attributes and the creating system are fixed.
"""
import os
import sys
import tempfile
import zipfile

FIXED_TIME = (1980, 1, 1, 0, 0, 0)
DOS_DIRECTORY = 0x10
DOS_ARCHIVE = 0x20


def entries(root, prefix=""):
    """Yield (archive name, path or None for a folder) in archive order."""
    names = sorted(os.listdir(os.path.join(root, prefix) if prefix else root))
    files = [n for n in names if os.path.isfile(os.path.join(root, prefix, n))]
    folders = [n for n in names if os.path.isdir(os.path.join(root, prefix, n))]
    for name in files:
        yield prefix + name, os.path.join(root, prefix, name)
    for name in folders:
        yield prefix + name + "/", None
        yield from entries(root, prefix + name + "/")


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def entry_info(name, is_folder):
    info = zipfile.ZipInfo(name, FIXED_TIME)
    info.create_system = 0  # MS-DOS attributes, whatever system packs
    info.external_attr = DOS_DIRECTORY if is_folder else DOS_ARCHIVE
    info.compress_type = zipfile.ZIP_STORED if is_folder else zipfile.ZIP_DEFLATED
    return info


def pack(output, source, allow_missing):
    if not os.path.isdir(source) and not allow_missing:
        raise ValueError(f"{source}: no such folder")
    items = list(entries(source)) if os.path.isdir(source) else []
    for name, path in items:
        # The extractor takes an entry of size zero for a folder, so an empty file could not come back as a file.
        if path is not None and os.path.getsize(path) == 0:
            raise ValueError(f"{path}: empty files cannot be packed")
    fd, temp = tempfile.mkstemp(dir=os.path.dirname(os.path.abspath(output)), suffix=".part")
    try:
        with os.fdopen(fd, "wb") as raw, zipfile.ZipFile(raw, "w") as archive:
            for name, path in items:
                data = b"" if path is None else read_bytes(path)
                archive.writestr(entry_info(name, path is None), data, compresslevel=9)
        os.chmod(temp, 0o644)
        os.replace(temp, output)
    except BaseException:
        os.unlink(temp)
        raise


def main(argv):
    allow_missing = "--allow-missing" in argv
    args = [a for a in argv[1:] if a != "--allow-missing"]
    if len(args) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    try:
        pack(args[0], args[1], allow_missing)
    except (OSError, ValueError) as error:
        print(f"qvpack: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
