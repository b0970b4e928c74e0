#!/usr/bin/env python3
"""Packs a release of Quellor from files already built (scripts/release.sh
builds them and calls this):

  package.py sign (--key KEY --cert CERT | --pkcs12 FILE) [--password-file FILE]
                  [--pkcs11-module MODULE] [--timestamp URL] --time EPOCH FILE...
      signs each PE file in place with two Authenticode signatures, by
      osslsigncode: a SHA-1 one, and a SHA-256 one nested in it

  package.py assemble --version V --commit ID --date EPOCH --out DIR NAME=FILE...
      writes DIR/quellor-V/ (the files under their names, README.txt and
      SHA256SUMS) and DIR/quellor-V.zip

What it writes depends only on its inputs: the signing time is the one given,
and the folder and the zip have fixed names, order, modes and times (EPOCH,
the commit's date), so two runs over the same files give the same bytes.
"""

import argparse
import hashlib
import os
import platform
import shutil
import string
import subprocess
import sys
import tempfile
import time
import zipfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
README_TEMPLATE = os.path.join(HERE, "README.txt")
SUMS_NAME = "SHA256SUMS"
README_NAME = "README.txt"
SIGNATURE_DESCRIPTION = "Quellor"
# The Debian packages whose versions decide the bytes of a release.
TOOLCHAIN_PACKAGES = [
    "gcc-mingw-w64-i686-win32", "g++-mingw-w64-i686-win32", "binutils-mingw-w64-i686", "mingw-w64-i686-dev",
    "gcc-mingw-w64-x86-64-win32", "g++-mingw-w64-x86-64-win32", "binutils-mingw-w64-x86-64",
    "mingw-w64-x86-64-dev", "cmake", "clang",
]
ZIP_EARLIEST = (1980, 1, 1, 0, 0, 0)  # a zip entry's time cannot be older
FILE_MODE = 0o644


# The signatures each program gets, in the order they are made. The SHA-1 one
# is the primary signature, the only one Windows 2000 and XP before SP3 can
# check; the SHA-256 one is nested in it for XP SP3, Vista and later. Each
# gets the kind of timestamp the Windows that checks it reads: an Authenticode
# one (-t) for the SHA-1 signature, as Windows 2000 and XP read no RFC 3161
# timestamp, and an RFC 3161 one (-ts) for the SHA-256 signature.
SIGNATURES = [
    ("sha1", [], "-t"),
    ("sha256", ["-nest"], "-ts"),
]


def signing_command(args, signature, source, target):
    digest, options, timestamp = signature
    command = ["osslsigncode", "sign", *options, "-h", digest, "-n", SIGNATURE_DESCRIPTION, "-time", str(args.time)]
    if args.pkcs12:
        command += ["-pkcs12", args.pkcs12]
    else:
        command += ["-certs", args.cert, "-key", args.key]
    if args.pkcs11_module:
        command += ["-pkcs11module", args.pkcs11_module]
    if args.password_file:
        command += ["-readpass", args.password_file]
    if args.timestamp:
        command += [timestamp, args.timestamp]
    return command + ["-in", source, "-out", target]


def unused_path(folder):
    """A name for a file osslsigncode writes: it will not write over one."""
    handle, path = tempfile.mkstemp(prefix=".signing-", suffix=".exe", dir=folder)
    os.close(handle)
    os.unlink(path)
    return path


def sign(args):
    for path in args.files:
        folder = os.path.dirname(os.path.abspath(path))
        made = []
        try:
            source = path
            for signature in SIGNATURES:
                made.append(unused_path(folder))
                done = subprocess.run(signing_command(args, signature, source, made[-1]),
                                      capture_output=True, text=True)
                if done.returncode != 0:
                    sys.stderr.write(done.stdout + done.stderr)
                    raise SystemExit("package.py: osslsigncode could not sign %s (%s)" % (path, signature[0]))
                source = made[-1]
            os.chmod(source, os.stat(path).st_mode & 0o777)
            os.replace(source, path)
        finally:
            for signed in made:
                if os.path.exists(signed):
                    os.unlink(signed)
        print("signed: %s" % path)


def toolchain_lines():
    try:
        done = subprocess.run(["dpkg-query", "-W", "-f", "${Package} ${Version}\\n", *TOOLCHAIN_PACKAGES],
                              capture_output=True, text=True)
        packages = done.stdout.split("\n")
    except OSError:
        packages = ["(no dpkg here: the compilers' versions are not recorded)"]
    lines = [p for p in packages if p.strip()]
    lines.append("python3 %s (zlib %s), which writes the zip" % (platform.python_version(), zlib.ZLIB_RUNTIME_VERSION))
    return ["  " + line for line in lines]


def readme_text(version, commit, epoch):
    with open(README_TEMPLATE, encoding="utf-8") as f:
        template = string.Template(f.read())
    text = template.substitute(version=version, commit=commit,
                               date=time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime(epoch)),
                               toolchain="\n".join(toolchain_lines()))
    # Notepad before Windows 10 shows a line only where it ends in CR LF.
    return text.replace("\n", "\r\n").encode("utf-8")


def sha256_of(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 16), b""):
            digest.update(block)
    return digest.hexdigest()


def sums_text(folder, names):
    # The format sha256sum -c reads: hash, two blanks, name.
    return "".join("%s  %s\n" % (sha256_of(os.path.join(folder, name)), name) for name in sorted(names))


def write_zip(folder, zip_path, epoch):
    stamp = max(ZIP_EARLIEST, time.gmtime(epoch)[:6])
    base = os.path.basename(folder)
    names = sorted(os.listdir(folder))
    with zipfile.ZipFile(zip_path, "w") as archive:
        for name in names:
            entry = zipfile.ZipInfo(base + "/" + name, date_time=stamp)
            entry.create_system = 3  # Unix, for the mode below
            entry.external_attr = (0o100000 | FILE_MODE) << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            with open(os.path.join(folder, name), "rb") as f:
                archive.writestr(entry, f.read(), compresslevel=9)


def assemble(args):
    files = {}
    for item in args.files:
        name, sep, path = item.partition("=")
        if not sep or not name or "/" in name or name in (README_NAME, SUMS_NAME):
            raise SystemExit("package.py: give each file as NAME=PATH, not %r" % item)
        files[name] = path
    release = "quellor-" + args.version
    folder = os.path.join(args.out, release)
    zip_path = folder + ".zip"
    if os.path.exists(folder):
        shutil.rmtree(folder)
    if os.path.exists(zip_path):
        os.unlink(zip_path)
    os.makedirs(folder)
    for name, path in files.items():
        shutil.copyfile(path, os.path.join(folder, name))
    with open(os.path.join(folder, README_NAME), "wb") as f:
        f.write(readme_text(args.version, args.commit, args.date))
    sums = sums_text(folder, list(files) + [README_NAME])
    with open(os.path.join(folder, SUMS_NAME), "w", encoding="ascii", newline="\n") as f:
        f.write(sums)
    for name in os.listdir(folder):
        path = os.path.join(folder, name)
        os.chmod(path, FILE_MODE)
        os.utime(path, (args.date, args.date))
    write_zip(folder, zip_path, args.date)
    print(sums, end="")
    print("%s  %s" % (sha256_of(zip_path), os.path.basename(zip_path)))


def main(argv):
    parser = argparse.ArgumentParser(description="Signs and packs the files of a Quellor release.")
    commands = parser.add_subparsers(dest="command", required=True)

    signing = commands.add_parser("sign", help="sign PE files in place (Authenticode, SHA-1 and nested SHA-256)")
    signing.add_argument("--key", help="the private key (PEM or DER), or its PKCS#11 URI with --pkcs11-module")
    signing.add_argument("--cert", help="the certificate, with the chain up to the root (PEM, DER or PKCS#7)")
    signing.add_argument("--pkcs12", help="key and certificates in one PKCS#12 file, in place of --key and --cert")
    signing.add_argument("--password-file", help="file holding the password of the key or of the PKCS#12 file")
    signing.add_argument("--pkcs11-module", help="the PKCS#11 module of a hardware token that holds the key")
    signing.add_argument("--timestamp",
                         help="a timestamp server's URL: it must answer both Authenticode and RFC 3161 requests")
    signing.add_argument("--time", type=int, required=True, help="signing time, seconds since 1970")
    signing.add_argument("files", nargs="+")

    packing = commands.add_parser("assemble", help="write the release folder and its zip")
    packing.add_argument("--version", required=True)
    packing.add_argument("--commit", required=True)
    packing.add_argument("--date", type=int, required=True, help="the commit's date, seconds since 1970")
    packing.add_argument("--out", required=True, help="the folder that receives quellor-VERSION/ and its zip")
    packing.add_argument("files", nargs="+", metavar="NAME=FILE")

    args = parser.parse_args(argv)
    if args.command == "sign":
        if (args.key or args.cert) if args.pkcs12 else not (args.key and args.cert):
            parser.error("sign needs --key and --cert, or --pkcs12 alone")
        sign(args)
    else:
        assemble(args)


if __name__ == "__main__":
    main(sys.argv[1:])
