#!/usr/bin/env python3
"""Instruction gate: tells whether every instruction in a PE file's code runs
on the oldest processor the file is for. The 32-bit program is for Windows
versions that ran on the 486, the Pentium and their peers, so its floor is the
i486 set: the 386 integer instructions, bswap/cmpxchg/xadd and the x87. The
64-bit program's floor is the first x86-64 processors: the same plus cmov,
fcmov, fcomi, cpuid, rdtsc, cmpxchg8b, syscall, MMX, SSE and SSE2.

The code sections are disassembled with the cross objdump of the target
(<triplet>-objdump on PATH). Each instruction must be on the floor's list (by
mnemonic, with the size suffixes objdump adds) and, for the i486, name no MMX
or vector register (no AVX register for x86-64). Judged as run, not as named:
  - ud2 passes: it is there to raise the invalid-opcode fault, which every
    processor raises there, whether it knows the name or not;
  - pause (rep nop) and tzcnt (rep bsf) pass: older processors ignore the
    prefix, and the compiler emits tzcnt only where bsf gives the same result;
  - the long nop (nopl/nopw, 0F 1F) and endbr32 came with the Pentium Pro and
    fail on the i486;
  - cpuid and rdtsc fail on the i486 whether or not a check guards them.
Bytes objdump cannot decode ("(bad)") are not instructions, and the tables the
PE linker places at the end of .text (constructor lists, exception tables)
are skipped by their labels. Each finding is named by its function: the
nearest symbol label before it, or, in a file without symbols, the nearest
direct call target.

  instruction_gate.py --for i686|x86_64 PE-FILE

Exit 0 when every instruction is on the floor, 1 when one is not (each
function is printed with its instructions), 2 for bad arguments, a missing
objdump or a file that is not a PE file of that architecture."""

import argparse
import bisect
import collections
import os
import re
import shutil
import subprocess
import sys


def expand(text):
    """The names in a space-separated list, each {a,b,...} spelling out its alternatives."""
    names = set()
    for word in text.split():
        match = re.search(r"\{([^}]*)\}", word)
        if not match:
            names.add(word)
            continue
        for alternative in match.group(1).split(","):
            names |= expand(word[:match.start()] + alternative + word[match.end():])
    return names


CC = "{o,no,b,ae,e,ne,be,a,s,ns,p,np,l,ge,le,g}"  # the condition codes as objdump spells them
I486 = expand(
    "aaa aad aam aas adc add and arpl bound bsf bsr bt btc btr bts call cbtw cwtl cwtd cltd clc cld cli clts"
    " cmc cmp cmps daa das dec div enter hlt idiv imul in inc ins int int3 into iret j" + CC + " jmp jcxz"
    " jecxz lahf lar lds les lfs lgs lss lea leave lgdt lidt lldt lmsw lods loop loope loopne lsl ltr mov movs"
    " mov{s,z}{bw,bl,wl} mul neg nop not or out outs pop popa popf push pusha pushf rcl rcr rol ror ret lret"
    " lcall ljmp sahf sal sar sbb scas set" + CC + " sgdt sidt sldt smsw shl shld shr shrd stc std sti stos"
    " str sub test verr verw wait fwait xchg xlat xor bswap cmpxchg xadd invd wbinvd invlpg ud2 pause tzcnt"
    # the x87 (on the chip from the 486 on)
    " f2xm1 fabs fadd faddp fbld fbstp fchs fclex fnclex fcom fcomp fcompp fcos fdecstp fdiv fdivp fdivr"
    " fdivrp ffree fiadd ficom ficomp fidiv fidivr fild fimul fincstp finit fninit fist fistp fisub fisubr"
    " fld fld1 fldcw fldenv fldl2e fldl2t fldlg2 fldln2 fldpi fldz fmul fmulp fnop fpatan fprem fprem1"
    " fptan frndint frstor fsave fnsave fscale fsin fsincos fsqrt fst fstcw fnstcw fstenv fnstenv fstp"
    " fstsw fnstsw fsub fsubp fsubr fsubrp ftst fucom fucomp fucompp fxam fxch fxtract fyl2x fyl2xp1")
X86_64 = (I486 - {"lahf", "sahf"}) | expand(
    "cmov" + CC + " fcmov{b,e,be,u,nb,ne,nbe,nu} fcomi fcomip fucomi fucomip cpuid rdtsc rdpmc cmpxchg8b"
    " syscall sysret nopw nopl nopq endbr64 movabs mov{s,z}{bq,wq} movslq movsxd cltq cqto iretq jrcxz"
    " fxsave fxsave64 fxrstor fxrstor64 ldmxcsr stmxcsr"
    # MMX
    " emms movd movq pack{sswb,ssdw,uswb} padd{b,w,d,q} padds{b,w} paddus{b,w} pand pandn por pxor"
    " pcmp{eq,gt}{b,w,d} pmaddwd pmulhw pmullw psll{w,d,q} psra{w,d} psrl{w,d,q} psub{b,w,d,q} psubs{b,w}"
    " psubus{b,w} punpck{h,l}{bw,wd,dq}"
    # SSE and SSE2
    " pavg{b,w} pextrw pinsrw pmaxsw pmaxub pminsw pminub pmovmskb pmulhuw psadbw pshufw maskmovq movntq"
    " prefetch{nta,t0,t1,t2} sfence {add,sub,mul,div,min,max,sqrt}{ps,ss,pd,sd} {rcp,rsqrt}{ps,ss}"
    " {and,andn,or,xor}{ps,pd} cmp{,eq,lt,le,unord,neq,nlt,nle,ord}{ps,ss,pd,sd} {,u}comis{s,d}"
    " mov{a,u,h,l,msk,nt}{ps,pd} movss movsd movhlps movlhps shuf{ps,pd} unpck{h,l}{ps,pd}"
    " cvt{pi2ps,ps2pi,tps2pi,si2ss,ss2si,tss2si,dq2pd,dq2ps,pd2dq,pd2pi,pd2ps,pi2pd,ps2dq,ps2pd,sd2si,sd2ss}"
    " cvt{si2sd,ss2sd,tpd2dq,tpd2pi,tps2dq,tsd2si} movdq{a,u} movntdq movnti movdq2q movq2dq pmuludq"
    " pshuf{d,hw,lw} p{sll,srl}dq punpck{h,l}qdq maskmovdqu clflush lfence mfence")


class Floor:
    def __init__(self, title, file_format, names, registers):
        self.title, self.file_format, self.names = title, file_format, names
        self.registers = re.compile(registers)   # register operands beyond the floor


FLOORS = {
    "i686": Floor("i486", "pei-i386", I486, r"%[xyzt]?mm\d|%k[0-7]\b|%bnd"),
    "x86_64": Floor("x86-64", "pei-x86-64", X86_64, r"%[yzt]mm\d|%k[0-7]\b|%bnd"),
}
PREFIXES = {"lock", "rep", "repz", "repnz", "repe", "repne", "cs", "ds", "es", "fs", "gs", "ss",
            "data16", "data32", "addr16", "addr32", "notrack"}
# Data the PE linker script places inside .text: the constructor and
# destructor lists and the exception tables.
DATA_LABEL = re.compile(r"_{2,3}[CD]TOR_LIST__$|\.[cd]tors?\b|\.gcc_exc")
LABEL = re.compile(r"([0-9a-f]+) <(.+)>:$")
INSTRUCTION = re.compile(r"\s+([0-9a-f]+):\t([^#]*)")


def on_floor(floor, name, operands):
    if floor.registers.search(operands):
        return False
    if name == "nop" and operands:   # 0F 1F with a register, printed without a size
        name = "nopl"
    if name in floor.names:
        return True
    suffixes = ("b", "w", "l", "q") + (("s", "t", "ll") if name.startswith("f") else ())
    return any(name.endswith(s) and name[:-len(s)] in floor.names and name[:-len(s)] != "nop" for s in suffixes)


def read_listing(text):
    """(file format, labels, instructions as (label, address, mnemonic, operands)) of objdump -d."""
    file_format = re.search(r"file format (\S+)", text)
    labels, instructions, label, data = [], [], "", False
    for line in text.splitlines():
        match = LABEL.match(line)
        if match:
            label, data = match.group(2), bool(DATA_LABEL.match(match.group(2)))
            if not data:
                labels.append(label)
            continue
        match = INSTRUCTION.match(line)
        if not match or data:
            continue
        words = match.group(2).split()
        while words and (words[0] in PREFIXES or words[0].startswith("rex")):
            words.pop(0)
        if words and words[0] not in ("(bad)", ".byte"):
            instructions.append((label, int(match.group(1), 16), words[0], " ".join(words[1:])))
    return file_format.group(1) if file_format else None, labels, instructions


def function_namer(labels, instructions):
    """(name of the function at a label and address, how many functions there are)."""
    if any(not label.startswith(".") for label in labels):
        return (lambda label, address: label), len(labels)
    # No symbols: the functions are the targets of direct calls.
    starts = sorted({int(operands.split()[0].replace("0x", ""), 16) for _, _, name, operands in instructions
                     if name in ("call", "calll", "callq") and re.match(r"(0x)?[0-9a-f]+\b", operands)})

    def name(label, address):
        index = bisect.bisect_right(starts, address)
        return "code from %#x" % starts[index - 1] if index else "%s at %#x" % (label, address)
    return name, max(len(starts), 1)


def main(argv):
    parser = argparse.ArgumentParser(description="Checks a PE file's instructions against its processor floor.")
    parser.add_argument("--for", dest="target", choices=sorted(FLOORS), required=True)
    parser.add_argument("file")
    arguments = parser.parse_args(argv)
    floor = FLOORS[arguments.target]
    triplet = arguments.target + "-w64-mingw32"
    objdump = shutil.which(triplet + "-objdump")
    if not objdump:
        print("instruction gate: %s-objdump is not on PATH" % triplet, file=sys.stderr)
        return 2
    done = subprocess.run([objdump, "-d", "--no-show-raw-insn", arguments.file], capture_output=True, text=True)
    file_format, labels, instructions = read_listing(done.stdout)
    if done.returncode != 0 or file_format != floor.file_format:
        print("instruction gate: %s: not a %s file: %s" % (arguments.file, floor.file_format,
                                                           done.stderr.strip() or file_format), file=sys.stderr)
        return 2
    name_of, count = function_namer(labels, instructions)
    findings = collections.OrderedDict()
    for label, address, name, operands in instructions:
        if not on_floor(floor, name, operands):
            findings.setdefault(name_of(label, address), collections.Counter())[name] += 1
    kinds = collections.Counter()
    for function, found in findings.items():
        kinds.update(found.keys())
        print("instruction gate: FAIL: %s: %s" % (function, ", ".join("%s (%d)" % item for item in sorted(found.items()))))
    if kinds:
        print("instruction gate: beyond the %s, by functions: %s"
              % (floor.title, ", ".join("%s %d" % item for item in sorted(kinds.items()))))
    print("instruction gate: %s, %d bytes, %d functions checked against the %s: %s"
          % (os.path.basename(arguments.file), os.path.getsize(arguments.file), count, floor.title,
             "FAIL, %d functions beyond it" % len(findings) if findings else "pass"))
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
