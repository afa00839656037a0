#!/usr/bin/env python3
"""Builds one add-on archive the way Chinese Windows tools write them: entry names in code
page 936 (GBK) without the UTF-8 flag, since the client reads names in that code page. Its
SHA-256 goes beside it, as sha256sum writes it (OUTPUT.zip.sha256): the catalogue hands pages
the digest of the archive as it was made, so a copy damaged later on the server is caught.

usage: make_addon_zip.py SOURCE_FOLDER OUTPUT.zip [--filler NAME:BYTES ...]

A filler entry holds deterministic pseudo-random bytes (incompressible), so a demo add-on is
large enough to show download progress without a large file in the repository.
"""
import hashlib
import os
import random
import sys
import zipfile

FIXED_TIME = (2026, 1, 1, 12, 0, 0)


class GbkZipInfo(zipfile.ZipInfo):
    def _encodeFilenameFlags(self):
        return self.filename.encode("gbk"), self.flag_bits & ~0x800


def entry(name, is_folder=False):
    info = GbkZipInfo(name, FIXED_TIME)
    info.create_system = 0  # MS-DOS attributes, as Windows tools write them
    info.external_attr = 0x10 if is_folder else 0x20
    info.compress_type = zipfile.ZIP_STORED if is_folder else zipfile.ZIP_DEFLATED
    return info


def main(argv):
    if len(argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    source, output = argv[1], argv[2]
    fillers = []
    rest = argv[3:]
    while rest:
        if rest[0] != "--filler" or len(rest) < 2:
            sys.stderr.write(__doc__)
            return 2
        name, size = rest[1].rsplit(":", 1)
        fillers.append((name, int(size)))
        rest = rest[2:]

    temporary = output + ".part"
    with zipfile.ZipFile(temporary, "w") as archive:
        folders_written = set()
        paths = []
        for root, folders, files in os.walk(source):
            folders.sort()
            for file_name in sorted(files):
                full = os.path.join(root, file_name)
                paths.append(os.path.relpath(full, source).replace(os.sep, "/"))
        for name, _ in fillers:
            paths.append(name)
        for path in sorted(set(paths)):
            parts = path.split("/")[:-1]
            for depth in range(1, len(parts) + 1):
                folder = "/".join(parts[:depth]) + "/"
                if folder not in folders_written:
                    archive.writestr(entry(folder, True), b"")
                    folders_written.add(folder)
            filler = dict(fillers).get(path)
            if filler is not None:
                generator = random.Random(path)
                data = generator.randbytes(filler)
            else:
                with open(os.path.join(source, path), "rb") as handle:
                    data = handle.read()
            archive.writestr(entry(path), data)
    os.replace(temporary, output)

    digest = hashlib.sha256()
    with open(output, "rb") as handle:
        for block in iter(lambda: handle.read(1 << 20), b""):
            digest.update(block)
    with open(temporary, "w", encoding="ascii") as handle:
        handle.write("%s  %s\n" % (digest.hexdigest(), os.path.basename(output)))
    os.replace(temporary, output + ".sha256")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
