#!/usr/bin/env python3
"""Tests of the instruction gate on small programs built here with the cross
compilers, and on the shipped executables given on the command line:

  instruction_gate_test.py --work DIR [--shipped ARCH=FILE ...]"""

import argparse
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "support"))
import gate_tests  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
GATE = os.path.join(ROOT, "tools", "instructiongate", "instruction_gate.py")
COMPILER = {"i686": "i686-w64-mingw32-gcc-win32", "x86_64": "x86_64-w64-mingw32-gcc-win32"}
ENTRY = {"i686": "_entry", "x86_64": "entry"}

# A program of its own entry, no imports: a conditional select the compiler
# turns into cmov when the processor has it, a function of given
# instructions, and the bytes of cpuid and rdtsc in an exception table, which
# the linker places in .text (data, not code).
FIXTURE = """
__asm__(".section .gcc_except_table,\\"dr\\"\\n\\t.byte 0x0f,0xa2,0x0f,0x31\\n\\t.text");
volatile int v;
__attribute__((noinline)) int pick(int a, int b, int c) { return a < b ? c : b; }
__attribute__((noinline)) void probe(void) { __asm__ volatile("%s"); }
void entry(void) { v = pick(v, v + 1, v + 2); probe(); }
"""

settings = argparse.Namespace(work=None, shipped=[])


def build(name, arch, instructions, *flags):
    source = os.path.join(settings.work, name + ".c")
    program = os.path.join(settings.work, name + ".exe")
    with open(source, "w") as f:
        f.write(FIXTURE % instructions)
    subprocess.run([COMPILER[arch], "-O2", source, "-o", program, "-nostdlib", "-Wl,-e," + ENTRY[arch], *flags],
                   check=True)
    return program


def gate(arch, program):
    done = subprocess.run([sys.executable, GATE, "--for", arch, program], capture_output=True, text=True)
    return done.returncode, done.stdout + done.stderr


class FixtureTest(unittest.TestCase):
    def test_the_gate_fails_each_function_beyond_the_floor_by_name(self):
        cases = [
            # (why, architecture, instructions of probe, compiler flags, expected exit, texts the output must hold)
            ("the Pentium Pro's cmov in a compiled select", "i686", "", ["-march=pentiumpro"], 1,
             ["FAIL: _pick: cmov", "FAIL, 1 functions beyond it"]),
            ("the same select for the i486", "i686", "", ["-march=i486"], 0, ["against the i486: pass"]),
            ("in a file without symbols, the function is named by where it starts", "i686", "",
             ["-march=pentiumpro", "-s"], 1, ["FAIL: code from 0x"]),
            ("cpuid, rdtsc and the Pentium Pro's x87 compare and move", "i686",
             "cpuid; rdtsc; fucomip %st(1),%st; fcmovb %st(1),%st", ["-march=i486"], 1,
             ["FAIL: _probe: cpuid (1), fcmovb (1), fucomip (1), rdtsc (1)"]),
            ("MMX and SSE instructions and registers", "i686",
             "emms; movd %eax,%mm0; movaps %xmm0,%xmm1; movss %xmm0,%xmm1; lfence", ["-march=i486"], 1,
             ["FAIL: _probe: emms (1), lfence (1), movaps (1), movd (1), movss (1)"]),
            ("the long nop, cmpxchg8b and endbr32", "i686", "nopl 0(%eax); lock cmpxchg8b (%eax); endbr32",
             ["-march=i486"], 1, ["FAIL: _probe: cmpxchg8b (1), endbr32 (1), nopl (1)"]),
            ("what the 486 runs: its own additions, the x87, pause, ud2 and rep bsf", "i686",
             "bswap %eax; lock xadd %eax,(%edx); cmpxchg %ecx,(%edx); fsin; fucompp; fnstsw %ax; flds (%eax);"
             " fistpll (%eax); rep stosl; movzbl %al,%eax; pause; tzcnt %eax,%eax; ud2", ["-march=i486"], 0,
             ["pass"]),
            ("x86-64 has cmov, the P6 x87, cpuid, SSE and SSE2", "x86_64",
             "cmovne %eax,%ecx; fcomip %st(1),%st; cpuid; movaps %xmm0,%xmm1; cvtsi2sdq %rax,%xmm0;"
             " pshufd $0,%xmm0,%xmm1; movzwq %ax,%rax; nopw 0(%rax,%rax,1)", [], 0, ["against the x86-64: pass"]),
            ("SSE3, popcnt and AVX are beyond x86-64", "x86_64",
             "haddps %xmm0,%xmm1; popcnt %eax,%eax; vaddps %ymm0,%ymm1,%ymm2; lahf", [], 1,
             ["FAIL: probe: haddps (1), lahf (1), popcnt (1), vaddps (1)"]),
        ]
        for index, (why, arch, instructions, flags, expected, texts) in enumerate(cases):
            with self.subTest(row=index, why=why):
                code, output = gate(arch, build("fixture%d" % index, arch, instructions, *flags))
                self.assertEqual(code, expected, output)
                for text in texts:
                    self.assertIn(text, output)

    def test_a_file_of_another_architecture_or_not_pe_is_refused_as_such(self):
        junk = os.path.join(settings.work, "not-pe.exe")
        with open(junk, "wb") as f:
            f.write(b"MZ" + b"\0" * 100)
        for arch, program in (("i686", junk), ("x86_64", build("other-arch", "i686", "", "-march=i486"))):
            with self.subTest(arch=arch, program=program):
                code, output = gate(arch, program)
                self.assertEqual(code, 2, output)


class ShippedTest(unittest.TestCase):
    def test_each_shipped_executable_is_within_its_floor(self):
        if not settings.shipped:
            self.skipTest("no shipped executable given")
        for arch, program in settings.shipped:
            with self.subTest(arch=arch):
                code, output = gate(arch, program)
                self.assertEqual(code, 0, output)


if __name__ == "__main__":
    gate_tests.main(settings)
