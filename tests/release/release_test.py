#!/usr/bin/env python3
"""Tests of what scripts/release.sh ships, in two parts:

  release_test.py reproducible --work DIR --program FILE --config TYPE:WERROR
      Builds both programs again from a copy of the sources in other folders,
      as the release does: the x86_64 one must equal FILE (this build's) byte
      for byte, the i686 one a second build of itself at another path. Packing
      the same files twice, at different times, gives the same folder and zip.
      Leaves the i686 program in DIR for the signing part.

  release_test.py signing --work DIR --program FILE --build BUILD
      Signs both programs with a throwaway certificate authority made here, as
      the release does: osslsigncode verifies both signatures of each (SHA-1,
      and SHA-256 nested in it) against that authority only, both gates pass
      on the signed files, signing is repeatable, and
      the signed 64-bit program starts and scans in BUILD's Wine prefix.
"""

import argparse
import filecmp
import os
import re
import shutil
import struct
import subprocess
import sys
import time
import unittest
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PACKAGE = os.path.join(ROOT, "tools", "release", "package.py")
IMPORT_GATE = os.path.join(ROOT, "tools", "importgate", "import_gate.py")
INSTRUCTION_GATE = os.path.join(ROOT, "tools", "instructiongate", "instruction_gate.py")
COMMIT_DATE = 1700000000  # any fixed date stands for the commit's
JOBS = str(min(os.cpu_count() or 1, 2))

settings = argparse.Namespace()


def run(command, **options):
    return subprocess.run(command, capture_output=True, text=True, **options)


def check(command, **options):
    done = run(command, **options)
    if done.returncode != 0:
        raise AssertionError("%s failed (%d):\n%s%s" % (" ".join(command), done.returncode, done.stdout, done.stderr))
    return done


def i686_program(copy):
    return os.path.join(settings.work, copy, "i686", "bin", "quellor.exe")


def pe_time_stamp(path):
    with open(path, "rb") as f:
        data = f.read(4096)
    header = struct.unpack_from("<I", data, 0x3C)[0]
    return struct.unpack_from("<I", data, header + 8)[0]


def differences(first, second):
    """Where two files differ, for the failure message."""
    with open(first, "rb") as f:
        a = f.read()
    with open(second, "rb") as f:
        b = f.read()
    if len(a) != len(b):
        return "sizes %d and %d" % (len(a), len(b))
    offsets = [i for i in range(len(a)) if a[i] != b[i]]
    header = struct.unpack_from("<I", a, 0x3C)[0]
    where = {header + 8 + i: "PE time stamp" for i in range(4)}
    where.update({header + 24 + 64 + i: "PE checksum" for i in range(4)})
    return "%d bytes differ, first at %s" % (len(offsets), ", ".join(
        "0x%x (%s)" % (o, where.get(o, "?")) for o in offsets[:8]))


class ReproducibleTest(unittest.TestCase):
    """Both programs built from the same sources in other folders at another
    time have the same bytes."""

    @classmethod
    def setUpClass(cls):
        # Two copies of the sources, at paths of different lengths.
        cls.copies = ["copy-a", "copy-bb-at-another-path"]
        if os.path.exists(settings.work):
            shutil.rmtree(settings.work)
        for copy in cls.copies:
            copy_sources(os.path.join(settings.work, copy, "src"))
        cls.seconds = {}
        for copy, arch in ((cls.copies[0], "x86_64"), (cls.copies[0], "i686"), (cls.copies[1], "i686")):
            started = time.monotonic()
            build(os.path.join(settings.work, copy), arch)
            cls.seconds[copy + "/" + arch] = round(time.monotonic() - started)
        print("build times in seconds: %s" % cls.seconds, file=sys.stderr)

    def test_each_program_is_the_same_file_from_another_folder(self):
        pairs = [
            ("x86_64 against this build's", settings.program,
             os.path.join(settings.work, self.copies[0], "x86_64", "bin", "quellor.exe")),
            ("i686 against itself at another path", i686_program(self.copies[0]), i686_program(self.copies[1])),
        ]
        for why, first, second in pairs:
            with self.subTest(why):
                self.assertTrue(filecmp.cmp(first, second, shallow=False),
                                "%s and %s: %s" % (first, second, differences(first, second)))

    def test_no_time_stamp_and_no_folder_is_written_into_a_program(self):
        folders = [ROOT, os.path.dirname(settings.program)] + [os.path.join(settings.work, c) for c in self.copies]
        for program in (settings.program, i686_program(self.copies[1])):
            with self.subTest(program=program):
                self.assertEqual(pe_time_stamp(program), 0)
                with open(program, "rb") as f:
                    data = f.read()
                for folder in folders:
                    for encoded in (folder.encode(), folder.encode("utf-16-le")):
                        self.assertNotIn(encoded, data, folder)

    def test_packing_twice_at_different_times_gives_the_same_folder_and_zip(self):
        inputs = os.path.join(settings.work, "pack-inputs")
        os.makedirs(inputs, exist_ok=True)
        files = {"quellor.exe": i686_program(self.copies[0]), "quellor-x64.exe": settings.program}
        for name, text in (("quellor.ldb", "signatures\n"), ("quellor.yar", "rules\n")):
            files[name] = os.path.join(inputs, name)
            with open(files[name], "w") as f:
                f.write(text)
        outs = []
        for index, out in enumerate(("pack-one", "pack-two-elsewhere")):
            for path in files.values():  # other file times on every run
                os.utime(path, (COMMIT_DATE + 1000 * (index + 1),) * 2)
            outs.append(os.path.join(settings.work, out))
            pack(outs[-1], files)
            if index == 0:
                time.sleep(2)  # a zip entry's time has a two-second resolution
        folders = [os.path.join(out, "quellor-1.0") for out in outs]
        names = sorted(files) + ["README.txt", "SHA256SUMS"]
        self.assertEqual(sorted(os.listdir(folders[0])), sorted(names))
        for name in names + ["../quellor-1.0.zip"]:
            with self.subTest(file=name):
                self.assertTrue(filecmp.cmp(*(os.path.join(f, name) for f in folders), shallow=False))
        check(["sha256sum", "--strict", "-c", "SHA256SUMS"], cwd=folders[0])
        with zipfile.ZipFile(os.path.join(outs[0], "quellor-1.0.zip")) as archive:
            entries = archive.infolist()
        self.assertEqual([e.filename for e in entries], ["quellor-1.0/" + n for n in sorted(names)])
        for entry in entries:
            self.assertEqual(entry.date_time, time.gmtime(COMMIT_DATE)[:6])
            self.assertEqual(entry.external_attr >> 16, 0o100644)
        with open(os.path.join(folders[0], "README.txt"), "rb") as f:
            readme = f.read()
        self.assertNotIn(b"$", readme, "a placeholder of the template is left")
        self.assertEqual(readme.count(b"\n"), readme.count(b"\r\n"), "every line ends in CR LF")
        self.assertIn(b"deadbeef", readme)


def copy_sources(target):
    """The sources as git sees them (committed, changed and new files, without
    what it ignores); without git, everything but the build and dist folders."""
    listed = run(["git", "-C", ROOT, "ls-files", "-z", "--cached", "--others", "--exclude-standard"])
    if listed.returncode == 0:
        for name in filter(None, listed.stdout.split("\0")):
            source = os.path.join(ROOT, name)
            if os.path.isfile(source):
                os.makedirs(os.path.dirname(os.path.join(target, name)), exist_ok=True)
                shutil.copy2(source, os.path.join(target, name))
    else:
        shutil.copytree(ROOT, target, ignore=shutil.ignore_patterns("build", "build-*", "dist", "__pycache__"))


def build(copy, arch):
    source = os.path.join(copy, "src")
    build_type, werror = settings.config.split(":")
    check(["cmake", "-S", source, "-B", os.path.join(copy, arch),
           "-DCMAKE_TOOLCHAIN_FILE=" + os.path.join(source, "cmake", "mingw-w64-%s.cmake" % arch),
           "-DCMAKE_BUILD_TYPE=" + build_type, "-DQUELLOR_WERROR=" + werror, "-DQUELLOR_TESTS=OFF"])
    check(["cmake", "--build", os.path.join(copy, arch), "-j", JOBS, "--target", "quellor"])


def pack(out, files):
    check([sys.executable, PACKAGE, "assemble", "--version", "1.0", "--commit", "deadbeef", "--date",
           str(COMMIT_DATE), "--out", out] + ["%s=%s" % item for item in sorted(files.items())])


def sign(files, *how):
    check([sys.executable, PACKAGE, "sign", *how, "--time", str(COMMIT_DATE), *files])


def make_authority(folder, name):
    """A certificate authority and a code-signing certificate it issued, made
    for this run only: (authority certificate, signing key, signing certificate)."""
    os.makedirs(folder, exist_ok=True)
    ca_key, ca = os.path.join(folder, "ca.key"), os.path.join(folder, "ca.pem")
    key, request, cert = (os.path.join(folder, n) for n in ("sign.key", "sign.csr", "sign.pem"))
    extensions = os.path.join(folder, "codesign.ext")
    with open(extensions, "w") as f:
        f.write("basicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                "extendedKeyUsage=codeSigning\n")
    check(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", ca_key, "-out", ca, "-days", "2",
           "-subj", "/CN=%s Test Authority" % name, "-addext", "basicConstraints=critical,CA:TRUE",
           "-addext", "keyUsage=critical,keyCertSign,cRLSign"])
    check(["openssl", "req", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", request,
           "-subj", "/CN=%s Test Publisher" % name])
    check(["openssl", "x509", "-req", "-in", request, "-CA", ca, "-CAkey", ca_key, "-CAcreateserial",
           "-days", "1", "-extfile", extensions, "-out", cert])
    return ca, key, cert


def verify(path, authority):
    """The exit code, the digests of the signatures that verified (the primary
    first), and the output: osslsigncode ends with 0 when any one verifies."""
    done = run(["osslsigncode", "verify", "-CAfile", authority, "-in", path])
    output = done.stdout + done.stderr
    verified = [re.search(r"^Message digest algorithm  : (\w+)", block, re.M).group(1)
                for block in re.split(r"^Signature Index: ", output, flags=re.M)[1:]
                if re.search(r"^Signature verification: ok$", block, re.M)]
    return done.returncode, verified, output


class SigningTest(unittest.TestCase):
    """The release's signing, with certificates made for this run only."""

    @classmethod
    def setUpClass(cls):
        cls.folder = os.path.join(settings.work, "signing")
        if os.path.exists(cls.folder):
            shutil.rmtree(cls.folder)
        cls.ca, cls.key, cls.cert = make_authority(os.path.join(cls.folder, "ours"), "Quellor")
        cls.unsigned = {"i686": i686_program("copy-a"), "x86_64": settings.program}
        for program in cls.unsigned.values():
            if not os.path.isfile(program):
                raise AssertionError("no program %s (the reproducible part builds the i686 one)" % program)
        cls.signed = cls.copies("signed")
        sign(cls.signed.values(), "--key", cls.key, "--cert", cls.cert)

    @classmethod
    def copies(cls, name):
        folder = os.path.join(cls.folder, name)
        os.makedirs(folder, exist_ok=True)
        made = {}
        for arch, program in cls.unsigned.items():
            made[arch] = os.path.join(folder, "quellor-%s.exe" % arch)
            shutil.copyfile(program, made[arch])
        return made

    def test_verify_accepts_our_signed_files_and_refuses_others(self):
        strangers = make_authority(os.path.join(self.folder, "stranger"), "Stranger")
        by_stranger = self.copies("by-stranger")
        sign(by_stranger.values(), "--key", strangers[1], "--cert", strangers[2])
        changed = self.copies("changed-after-signing")["x86_64"]
        shutil.copyfile(self.signed["x86_64"], changed)
        with open(changed, "r+b") as f:  # one byte of the code
            f.seek(0x600)
            byte = f.read(1)
            f.seek(0x600)
            f.write(bytes([byte[0] ^ 0xFF]))
        cases = [
            # (why, file, verifies against our authority)
            ("the signed i686 program", self.signed["i686"], True),
            ("the signed x86_64 program", self.signed["x86_64"], True),
            ("an unsigned program", self.unsigned["x86_64"], False),
            ("signed by another authority's certificate", by_stranger["i686"], False),
            ("a byte changed after signing", changed, False),
        ]
        for why, path, accepted in cases:
            with self.subTest(why):
                code, verified, output = verify(path, self.ca)
                self.assertEqual(code == 0, accepted, output)
                self.assertEqual(verified, ["SHA1", "SHA256"] if accepted else [], output)

    def test_both_gates_pass_on_the_signed_files(self):
        for arch, path in self.signed.items():
            for gate in (IMPORT_GATE, INSTRUCTION_GATE):
                with self.subTest(arch=arch, gate=os.path.basename(gate)):
                    check([sys.executable, gate, "--for", arch, path])

    def test_signing_is_repeatable_and_removable(self):
        again = self.copies("signed-again")
        sign(again.values(), "--key", self.key, "--cert", self.cert)
        # The same key and certificate from a PKCS#12 file with a password.
        bundle, password = os.path.join(self.folder, "ours.p12"), os.path.join(self.folder, "password")
        with open(password, "w") as f:
            f.write("a throwaway password\n")
        check(["openssl", "pkcs12", "-export", "-inkey", self.key, "-in", self.cert, "-out", bundle,
               "-passout", "file:" + password])
        from_bundle = self.copies("signed-from-pkcs12")
        sign(from_bundle.values(), "--pkcs12", bundle, "--password-file", password)
        for arch in self.signed:
            with self.subTest(arch=arch):
                self.assertTrue(filecmp.cmp(self.signed[arch], again[arch], shallow=False), "signed twice")
                self.assertTrue(filecmp.cmp(self.signed[arch], from_bundle[arch], shallow=False), "from PKCS#12")
                removed = os.path.join(self.folder, "removed-%s.exe" % arch)
                check(["osslsigncode", "remove-signature", "-in", self.signed[arch], "-out", removed])
                self.assertTrue(filecmp.cmp(removed, self.unsigned[arch], shallow=False), "signature removed")

    def driver(self, command, seconds):
        """Runs the UI driver into a file: a pipe would stay open as long as
        the Wine processes it starts (the desktop) inherit it. The driver
        prints a line on every path, so a run that prints nothing never got
        to run it (a Wine start that failed): that run is tried once more,
        and the message says so."""
        notes = ""
        for attempt in (1, 2):
            with open(os.path.join(self.folder, "uidriver.log"), "w+") as log:
                code = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                                      timeout=seconds).returncode
                log.seek(0)
                output = log.read()
            if code == 0 or output.strip() or attempt == 2:
                return code, notes + output
            notes = "(the first run of the driver ended with %d and printed nothing)\n" % code

    @staticmethod
    def program_state(program):
        code = program.poll()
        return "\nthe signed program: %s" % ("still running" if code is None else "ended with %d" % code)

    def test_the_signed_64_bit_program_starts_and_scans(self):
        if not os.environ.get("DISPLAY"):
            self.fail("needs an X display: scripts/test.sh runs ctest under xvfb-run")
        copy = os.path.join(settings.build, "bin", "quellor_signed.exe")
        shutil.copyfile(self.signed["x86_64"], copy)
        wine_run = [os.path.join(ROOT, "scripts", "wine-run.sh"), settings.build]
        program = subprocess.Popen(wine_run + ["T:\\quellor_signed.exe"], stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            code, output = self.driver(wine_run + ["T:\\quellor-uidriver.exe", "scan", "300"], 400)
            self.assertEqual(code, 0, output + self.program_state(program))
            self.assertIn("Status: Scanning completed", output)
            code, output = self.driver(wine_run + ["T:\\quellor-uidriver.exe", "close"], 120)
            self.assertEqual(code, 0, output)
            self.assertEqual(program.wait(timeout=60), 0)
        finally:
            if program.poll() is None:
                program.kill()
                program.wait()
            os.unlink(copy)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("part", choices=["reproducible", "signing"])
    parser.add_argument("--work", required=True)
    parser.add_argument("--program", required=True, help="this build's x86_64 quellor.exe")
    parser.add_argument("--config", default="Release:ON", help="build type and QUELLOR_WERROR of this build")
    parser.add_argument("--build", help="this build tree, for its Wine prefix")
    arguments, rest = parser.parse_known_args()
    settings.__dict__.update(vars(arguments))
    case = ReproducibleTest if arguments.part == "reproducible" else SigningTest
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(case)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
