#!/usr/bin/env python3
"""Makes the ZIP archives the extraction tests read, with tools this project did not write:
Info-ZIP zip (with and without its "UT" timestamps), 7-Zip and Python's zipfile. Broken
archives are good ones from these tools with single fields overwritten.

Runs on the build host (the Windows tests under Wine cannot start Linux tools) and writes
into the folder given as its argument; `stamp` is written last.
"""
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile

MTIME = 1600000000  # 2020-09-13 12:26:40 UTC, an even second for DOS times
ATIME = 1600000100
FIXED_DATE = (2019, 7, 21, 10, 20, 30)
UT_ONLY_MTIME = 1500000000

out = os.path.abspath(sys.argv[1])
os.makedirs(out, exist_ok=True)
env = dict(os.environ, TZ="UTC", LC_ALL="C", LANG="C")


def run(args, cwd):
    subprocess.run(args, cwd=cwd, env=env, check=True, stdout=subprocess.DEVNULL)


def fresh(name):
    path = os.path.join(out, name)
    if os.path.exists(path):
        os.remove(path)
    return path


def make_tree(root):
    """The files every tool archives: nested folders, an empty folder, text and noise."""
    os.makedirs(os.path.join(root, "sub", "dir"))
    os.makedirs(os.path.join(root, "empty"))
    files = {
        "readme.txt": b"hello ZEVA\n" * 10,
        "sub/dir/file.txt": b"nested file\n",
        "big.txt": b"".join(b"line %06d of a compressible add-on file\n" % i for i in range(8000)),
        "random.bin": random.Random(5).randbytes(100000),
    }
    for name, data in files.items():
        with open(os.path.join(root, name), "wb") as f:
            f.write(data)
    for folder, dirs, names in os.walk(root, topdown=False):
        for n in names + dirs:
            os.utime(os.path.join(folder, n), (ATIME, MTIME))
    return ["readme.txt", "sub", "empty", "big.txt", "random.bin"]


def tool_archives(work):
    tree = os.path.join(work, "tree")
    os.makedirs(tree)
    names = make_tree(tree)
    run(["zip", "-q", "-r", fresh("infozip_ut.zip")] + names, tree)
    run(["zip", "-q", "-r", "-X", fresh("infozip_nox.zip")] + names, tree)
    run(["7z", "a", "-tzip", "-bd", "-bso0", "-bsp0", fresh("sevenzip.zip")] + names, tree)

    ro = os.path.join(work, "ro")
    os.makedirs(ro)
    with open(os.path.join(ro, "locked.txt"), "wb") as f:
        f.write(b"read-only add-on file\n")
    os.chmod(os.path.join(ro, "locked.txt"), 0o444)
    run(["zip", "-q", fresh("readonly.zip"), "locked.txt"], ro)
    with open(os.path.join(ro, "plain.txt"), "wb") as f:
        f.write(b"plain\n")
    run(["zip", "-q", "-P", "secret", fresh("encrypted.zip"), "plain.txt"], ro)

    # A GBK name on disk, archived by Info-ZIP in the C locale: raw bytes, bit 11 clear.
    gbk = os.path.join(work, "gbk")
    os.makedirs(gbk)
    name = "中文.txt".encode("gbk")
    with open(os.path.join(os.fsencode(gbk), name), "wb") as f:
        f.write(b"gbk name\n")
    subprocess.run(["zip", "-q", fresh("gbk.zip"), name], cwd=gbk, env=env, check=True)
    with zipfile.ZipFile(os.path.join(out, "gbk.zip")) as z:
        assert z.infolist()[0].flag_bits & 0x800 == 0, "zip marked the GBK name as UTF-8"


def python_archive(name, entries):
    """entries: (name, data) or ZipInfo-ready tuples (name, data, {attribute: value})."""
    with zipfile.ZipFile(fresh(name), "w", zipfile.ZIP_DEFLATED) as z:
        for entry in entries:
            info = zipfile.ZipInfo(entry[0], FIXED_DATE)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            for key, value in (entry[2] if len(entry) > 2 else {}).items():
                setattr(info, key, value)
            z.writestr(info, entry[1])


def python_archives():
    python_archive("names.zip", [("C:/Windows/x.dll", b"dll"), ("/abc/x", b"abc"),
                                 ("a/../b/x", b"b")])
    python_archive("utf8.zip", [("中文/文件.txt", "UTF-8 名字".encode())])
    ut = struct.pack("<HHBi", 0x5455, 5, 1, UT_ONLY_MTIME)
    python_archive("ut_mtime.zip", [("t.txt", b"t", {"extra": ut})])
    python_archive("zipslip_slash.zip", [
        ("../slip1.txt", b"1"), ("good/../../slip2.txt", b"2"), ("a/./../b/slip3.txt", b"3"),
        ("c/d/..", b"4"), ("e/.../slip5.txt", b"5"), ("../../f/slip6.txt", b"6")])
    python_archive("zipslip_backslash.zip", [
        ("..\\slip1.txt", b"1"), ("good\\..\\..\\slip2.txt", b"2"),
        ("a\\.\\..\\b\\slip3.txt", b"3"), ("C:\\Windows\\x.dll", b"dll"), ("\\abc\\x", b"abc"),
        ("..\\..\\f\\slip6.txt", b"6")])
    deep = "/".join(["d" * 100, "e" * 100, "f" * 100, "g" * 100 + ".txt"])
    python_archive("long_names.zip", [(deep, b"deep")])
    with zipfile.ZipFile(fresh("empty.zip"), "w"):
        pass
    python_archive("slash_only.zip", [("/", b""), ("ok.txt", b"ok")])
    python_archive("drive_only.zip", [("ok.txt", b"ok"), ("C:", b"x"), ("after.txt", b"a")])
    python_archive("dir_no_slash.zip", [
        ("plaindir", b"", {"external_attr": (0o40755 << 16) | 0x10}),
        ("plaindir/inside.txt", b"in")])
    with zipfile.ZipFile(fresh("duplicates.zip"), "w") as z:
        import warnings
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            z.writestr("dup.txt", b"first")
            z.writestr("dup.txt", b"second")
    python_archive("dos_attrs.zip", [
        ("ro.txt", b"ro", {"create_system": 0, "external_attr": 0x21}),
        ("hidden.txt", b"h", {"create_system": 0, "external_attr": 0x22}),
        ("system.txt", b"s", {"create_system": 0, "external_attr": 0x24}),
        ("dosdir", b"", {"create_system": 0, "external_attr": 0x10}),
        ("unixro.txt", b"u", {"create_system": 3, "external_attr": 0o100444 << 16})])


# Broken archives: three entries, the second one damaged in one field.
SECOND = b"second entry data " * 200


def base_archive(compress):
    path = os.path.join(out, "_base.zip")
    with zipfile.ZipFile(path, "w", compress) as z:
        for name, data in (("first.txt", b"first entry\n"), ("second.txt", SECOND),
                           ("third.txt", b"third entry\n")):
            info = zipfile.ZipInfo(name, FIXED_DATE)
            info.compress_type = compress
            z.writestr(info, data)
    with open(path, "rb") as f:
        data = bytearray(f.read())
    os.remove(path)
    with zipfile.ZipFile(__import__("io").BytesIO(bytes(data))) as z:
        infos = z.infolist()
    eocd = data.rfind(b"PK\x05\x06")
    cd = struct.unpack_from("<I", data, eocd + 16)[0]
    records = []
    at = cd
    for _ in infos:
        records.append(at)
        n, e, c = struct.unpack_from("<HHH", data, at + 28)
        at += 46 + n + e + c
    return data, infos, records


def write(name, data):
    with open(fresh(name), "wb") as f:
        f.write(data)


def broken_archives():
    data, infos, records = base_archive(zipfile.ZIP_STORED)
    local = infos[1].header_offset
    name_len, extra_len = struct.unpack_from("<HH", data, local + 26)
    payload = local + 30 + name_len + extra_len

    write("broken_truncated.zip", data[:-10])
    d = bytearray(data); d[records[1]:records[1] + 4] = b"XXXX"; write("broken_cd.zip", d)
    d = bytearray(data); d[local:local + 4] = b"XXXX"; write("broken_local.zip", d)
    d = bytearray(data); d[payload + 100] ^= 0xFF; write("broken_crc.zip", d)
    d = bytearray(data)  # compressed size far past the end of the archive
    struct.pack_into("<I", d, local + 18, 0x7FFFFFF0)
    struct.pack_into("<I", d, records[1] + 20, 0x7FFFFFF0)
    write("broken_csize.zip", d)
    d = bytearray(data)  # bzip2, which minizip would hand out raw
    struct.pack_into("<H", d, local + 8, 12)
    struct.pack_into("<H", d, records[1] + 10, 12)
    write("broken_method.zip", d)
    d = bytearray(data)  # "seco\0d.txt"
    d[local + 30 + 4] = 0
    d[records[1] + 46 + 4] = 0
    write("broken_nul.zip", d)

    data, infos, records = base_archive(zipfile.ZIP_DEFLATED)
    local = infos[1].header_offset
    name_len, extra_len = struct.unpack_from("<HH", data, local + 26)
    payload = local + 30 + name_len + extra_len
    d = bytearray(data)
    for i in range(8):
        d[payload + 2 + i] = 0xFF
    write("broken_deflate.zip", d)
    d = bytearray(data)  # says it holds more than the stream gives
    size = struct.unpack_from("<I", d, local + 22)[0]
    struct.pack_into("<I", d, local + 22, size + 1000)
    struct.pack_into("<I", d, records[1] + 24, size + 1000)
    write("broken_size.zip", d)


with tempfile.TemporaryDirectory() as work:
    tool_archives(work)
python_archives()
broken_archives()
with open(os.path.join(out, "stamp"), "w") as f:
    f.write("done\n")
