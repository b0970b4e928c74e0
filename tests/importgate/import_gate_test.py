#!/usr/bin/env python3
"""Tests of the import gate on small programs built here with the cross
compiler, and on the shipped executables given on the command line:

  import_gate_test.py --work DIR [--shipped ARCH=FILE ...]"""

import argparse
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "support"))
import gate_tests  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
GATE = os.path.join(ROOT, "tools", "importgate", "import_gate.py")
I686_CC = "i686-w64-mingw32-gcc-win32"
NO_CRT = ["-nostdlib", "-Wl,-e,_entry", "-lkernel32"]

# A program of its own entry and one KERNEL32 call, so that the gate sees
# nothing but that call and the header fields of the link.
FIXTURE = """
#include <windows.h>
void entry(void) { ExitProcess((UINT)%s); }
"""

settings = argparse.Namespace(work=None, shipped=[])


def build(name, call, *flags):
    source = os.path.join(settings.work, name + ".c")
    program = os.path.join(settings.work, name + ".exe")
    with open(source, "w") as f:
        f.write(FIXTURE % (call if "(" in call else call + "()"))
    subprocess.run([I686_CC, "-O1", "-D_WIN32_WINNT=0x0600", source, "-o", program, *NO_CRT, *flags],
                   check=True)
    return program


def gate(program, platforms, *options):
    done = subprocess.run([sys.executable, GATE, "--platforms", platforms, *options, program],
                          capture_output=True, text=True)
    return done.returncode, done.stdout + done.stderr


class FixtureTest(unittest.TestCase):
    def test_the_gate_fails_exactly_where_the_file_cannot_start(self):
        cases = [
            # (why, call, link flags, platforms, expected exit, texts the output must hold)
            ("a Vista function fails every earlier platform, naming where it first is",
             "GetTickCount64", [], "95,98,me,nt4,2000,xp,xp64", 1,
             ["FAIL on Windows 95: KERNEL32.DLL!GetTickCount64: not exported by the 9x family",
              "FAIL on Windows XP: KERNEL32.DLL!GetTickCount64: first exported by Windows Vista",
              "does not start on: 95 98 me nt4 2000 xp xp64"]),
            ("the same file starts on Vista", "GetTickCount64", [], "vista", 0, ["starts on Windows Vista"]),
            ("a subsystem 5.0 header is refused by the 9x family and NT 4.0 only",
             "GetTickCount", ["-Wl,--major-subsystem-version,5", "-Wl,--minor-subsystem-version,0"],
             "95,98,me,nt4,2000,xp", 1,
             ["FAIL on Windows 98: header asks for subsystem version 5.0, Windows 98 is 4.10",
              "does not start on: 95 98 me nt4\n"]),
            ("a 4.0 header and a call every platform has start everywhere",
             "GetTickCount", ["-Wl,--major-subsystem-version,4", "-Wl,--minor-subsystem-version,0",
                              "-Wl,--major-os-version,4", "-Wl,--minor-os-version,0"],
             "95,98,me,nt4,2000,xp,vista", 0, ["starts on Windows 95, Windows 98"]),
            ("a W function that Windows 95 exports only as a failing stub fails the 9x family",
             "GetModuleHandleW(0)", [], "95,98,me,nt4", 1,
             ["FAIL on Windows 95: KERNEL32.DLL!GetModuleHandleW: exported there only as a stub that fails",
              "does not start on: 95 98 me\n"]),
            ("the same stub passes where the program says it handles its failure",
             "GetModuleHandleW(0)", [], "95,98,me,nt4", 0,
             ["exported there only as failing stubs (allowed): KERNEL32.DLL!GetModuleHandleW"]),
        ]
        allowed = {len(cases) - 1: ["--allow-stub", "kernel32.dll!GetModuleHandleW"]}
        for index, (why, call, flags, platforms, expected, texts) in enumerate(cases):
            with self.subTest(row=index, why=why):
                code, output = gate(build("fixture%d" % index, call, *flags), platforms, *allowed.get(index, []))
                self.assertEqual(code, expected, output)
                for text in texts:
                    self.assertIn(text, output)

    def test_a_file_that_is_not_pe_is_refused_as_such(self):
        junk = os.path.join(settings.work, "not-pe.exe")
        with open(junk, "wb") as f:
            f.write(b"MZ" + b"\0" * 100)
        code, output = gate(junk, "xp")
        self.assertEqual(code, 2, output)


class ShippedTest(unittest.TestCase):
    def test_each_shipped_executable_starts_on_all_its_platforms(self):
        self.assertTrue(settings.shipped, "no shipped executable given")
        for arch, program in settings.shipped:
            with self.subTest(arch=arch):
                done = subprocess.run([sys.executable, GATE, "--for", arch, program], capture_output=True, text=True)
                self.assertEqual(done.returncode, 0, done.stdout + done.stderr)

    def test_each_shipped_executable_asks_for_an_administrator_and_carries_no_debug_data(self):
        self.assertTrue(settings.shipped, "no shipped executable given")
        for arch, program in settings.shipped:
            with self.subTest(arch=arch):
                with open(program, "rb") as f:
                    self.assertIn(b'requestedExecutionLevel level="requireAdministrator"', f.read())
                objdump = "%s-w64-mingw32-objdump" % arch
                sections = subprocess.run([objdump, "-h", program], capture_output=True, text=True, check=True).stdout
                self.assertNotRegex(sections, r"\s\.(debug|stab|zdebug)", "debug sections in the shipped file")
                symbols = subprocess.run([objdump, "-t", program], capture_output=True, text=True, check=True).stdout
                self.assertNotRegex(symbols, r"\(sec +\d+\)", "a symbol table in the shipped file")


if __name__ == "__main__":
    gate_tests.main(settings)
