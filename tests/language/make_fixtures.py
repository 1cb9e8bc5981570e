#!/usr/bin/env python3
"""make_fixtures.py OUTDIR LANGUAGE_DIR: damaged packs for the bad-input tests, made from a real pack."""
import os
import shutil
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "pack"))
import qvpack  # noqa: E402


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def damaged_archive(path):
    """Entries the extractor must refuse or treat with care, beside ones it must write."""
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
        archive.writestr("good.txt", b"good" * 10)
        archive.writestr("bad.txt", b"bad" * 10)
        archive.writestr("../escape.txt", b"outside")
        archive.writestr(zipfile.ZipInfo("sub/"), b"")
        archive.writestr("sub/inner.txt", b"inner" * 10)
        archive.writestr("sub/../../escape2.txt", b"outside")
        archive.writestr("C:/absolute.txt", b"outside")
        archive.writestr("empty.ini", b"")
    # Break the CRC of bad.txt in its local and central headers.
    data = bytearray(open(path, "rb").read())
    for signature, crc_at in ((b"PK\x03\x04", 14), (b"PK\x01\x02", 16)):
        start = 0
        while (start := data.find(signature, start)) >= 0:
            name_at = start + (30 if signature == b"PK\x03\x04" else 46)
            if data[name_at:name_at + 7] == b"bad.txt":
                data[start + crc_at] ^= 0xFF
            start += 4
    write(path, bytes(data))


def main(out, language):
    os.makedirs(out, exist_ok=True)
    full = os.path.join(out, "full.zip")
    qvpack.pack(full, language, False)
    with open(full, "rb") as f:
        packed = f.read()
    write(os.path.join(out, "truncated.zip"), packed[:len(packed) // 2])
    write(os.path.join(out, "long_channel.txt"), b"A" * 300 + b"\r\n")
    temp = tempfile.mkdtemp()
    try:
        partial = os.path.join(temp, "language")
        shutil.copytree(language, partial)
        os.unlink(os.path.join(partial, "productInfo.ini"))
        os.unlink(os.path.join(partial, "English", "UrlInfo.ini"))
        qvpack.pack(os.path.join(out, "partial.zip"), partial, False)
    finally:
        shutil.rmtree(temp)
    damaged_archive(os.path.join(out, "damaged.zip"))
    write(os.path.join(out, "stamp"), b"")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
