#!/usr/bin/env python3
"""Import gate: tells whether each Windows platform a PE file is meant for
will start it. A loader refuses a file whose machine it does not run, whose
header asks for a newer operating-system or subsystem version, or that
imports a function its DLLs do not export ("The procedure entry point ...
could not be located"). The export data is in exports/ beside this script,
one file per DLL, each row with where the fact comes from.

  import_gate.py [--for i686|x86_64] [--platforms 95,98,...] [--allow-stub DLL!NAME ...]
                 [--list FILE] [--exports DIR] PE-FILE

A platform that exports a name only as a stub that fails (Windows 95's W
functions, say) starts the file, but the call does nothing there; such an
import fails the gate too, unless it is allowed: by --allow-stub, or, for a
shipped file (--for), because the program handles that failure itself.

Exit 0 when every platform starts the file and every stub it imports is
allowed, 1 otherwise (each reason is printed), 2 for bad arguments or a file
that is not a readable PE file."""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pe_imports  # noqa: E402

EXPORTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "exports")


class Platform:
    def __init__(self, name, title, family, version, machines):
        self.name, self.title, self.family = name, title, family
        self.version = version          # (major, minor) the loader accepts
        self.machines = machines        # machine values it runs


I386, AMD64 = pe_imports.MACHINE_I386, pe_imports.MACHINE_AMD64
PLATFORMS = [
    Platform("95", "Windows 95", "9x", (4, 0), {I386}),
    Platform("98", "Windows 98", "9x", (4, 10), {I386}),
    Platform("me", "Windows Me", "9x", (4, 90), {I386}),
    Platform("nt4", "Windows NT 4.0", "nt", (4, 0), {I386}),
    Platform("2000", "Windows 2000", "nt", (5, 0), {I386}),
    Platform("xp", "Windows XP", "nt", (5, 1), {I386}),
    Platform("xp64", "Windows XP x64 / Server 2003", "nt", (5, 2), {I386, AMD64}),
    Platform("vista", "Windows Vista and later", "nt", (6, 0), {I386, AMD64}),
]
BY_NAME = {p.name: p for p in PLATFORMS}
# The platforms each shipped executable is for.
TARGETS = {
    "i686": ["95", "98", "me", "nt4", "2000", "xp", "vista"],
    "x86_64": ["xp64", "vista"],
}
# The stubs each shipped executable may import: MoveFileExA fails on the 9x
# family, and the program then writes wininit.ini instead.
ALLOWED_STUBS = {
    "i686": ["KERNEL32.DLL!MoveFileExA"],
    "x86_64": [],
}

NINE_X_ORDER = {"95": 0, "98": 1, "me": 2}
NINE_X_TITLE = {"95": "Windows 95", "98": "Windows 98", "me": "Windows Me"}
NT_TITLE = {(3, 1): "NT 3.1", (3, 5): "NT 3.5", (3, 51): "NT 3.51", (4, 0): "NT 4.0",
            (5, 0): "Windows 2000", (5, 1): "Windows XP", (5, 2): "XP x64 / Server 2003",
            (6, 0): "Windows Vista", (6, 1): "Windows 7"}


def nt_version(text):
    major, _, minor = text.partition(".")
    return int(major), int(minor or 0)


class Availability:
    """One row of the export data: when each family first exports a name."""

    def __init__(self, first_9x, first_nt, source):
        self.first_9x, self.first_nt, self.source = first_9x, first_nt, source

    def on(self, platform):
        """(exported, stub, reason): whether the platform's DLL has the name."""
        if platform.family == "9x":
            value = self.first_9x
            stub = value.startswith("stub")
            release = value[4:] if stub else value
            if release not in NINE_X_ORDER:
                return False, False, "not exported by the 9x family" if value == "none" else "no data for the 9x family"
            if NINE_X_ORDER[release] > NINE_X_ORDER[platform.name]:
                return False, False, "first exported by " + NINE_X_TITLE[release]
            return True, stub, ""
        if self.first_nt in ("none", "?"):
            return False, False, "not exported by the NT family" if self.first_nt == "none" else "no data for the NT family"
        first = nt_version(self.first_nt)
        if first > platform.version:
            return False, False, "first exported by " + NT_TITLE.get(first, "NT " + self.first_nt)
        return True, False, ""


def load_table(path):
    table = {}
    with open(path, encoding="utf-8") as f:
        rows = [line.rstrip("\n").split("\t") for line in f if line.strip() and not line.startswith("#")]
    for row in rows[1:]:  # the first row names the columns
        if len(row) < 4:
            raise ValueError("%s: a row needs four fields: %r" % (path, row))
        table[row[0].upper() if path.endswith("dlls.tsv") else row[0]] = Availability(row[1], row[2], row[3])
    return table


def load_exports(folder):
    dlls = load_table(os.path.join(folder, "dlls.tsv"))
    functions = {}
    for name in os.listdir(folder):
        if name.endswith(".tsv") and name != "dlls.tsv":
            functions[name[:-4].upper() + ".DLL"] = load_table(os.path.join(folder, name))
    return dlls, functions


def header_problems(pe, platform):
    problems = []
    if pe.machine not in platform.machines:
        problems.append("machine %#06x is not run by %s" % (pe.machine, platform.title))
    for field, version in (("operating-system", pe.os_version), ("subsystem", pe.subsystem_version)):
        if tuple(version) > platform.version:
            problems.append("header asks for %s version %d.%d, %s is %d.%d"
                            % (field, version[0], version[1], platform.title, *platform.version))
    return problems


def import_problems(pe, platform, dlls, functions):
    problems, stubs = [], []
    for dll in sorted(pe.imports):
        if dll not in dlls or dll not in functions:
            problems.append("%s: no export data for this DLL" % dll)
            continue
        present, _, reason = dlls[dll].on(platform)
        if not present:
            problems.append("%s: the DLL itself: %s [%s]" % (dll, reason, dlls[dll].source))
        for name in sorted(pe.imports[dll]):
            row = functions[dll].get(name)
            if row is None:
                problems.append("%s!%s: no export data" % (dll, name))
                continue
            exported, stub, reason = row.on(platform)
            if not exported:
                problems.append("%s!%s: %s [%s]" % (dll, name, reason, row.source))
            elif stub:
                stubs.append("%s!%s" % (dll, name))
    return problems, stubs


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description="Checks that each Windows platform starts a PE file.")
    parser.add_argument("file")
    parser.add_argument("--for", dest="target", choices=sorted(TARGETS),
                        help="the platforms of a shipped executable of this architecture")
    parser.add_argument("--platforms", help="comma-separated: " + ",".join(BY_NAME))
    parser.add_argument("--allow-stub", action="append", default=[], metavar="DLL!NAME",
                        help="an import that may be a failing stub (with --for, the shipped file's own are allowed)")
    parser.add_argument("--list", help="write every import (DLL, function) to this file")
    parser.add_argument("--exports", default=EXPORTS, help="the folder of export data (default: %(default)s)")
    arguments = parser.parse_args(argv)
    names = arguments.platforms.split(",") if arguments.platforms else TARGETS.get(arguments.target)
    if not names or any(n not in BY_NAME for n in names):
        parser.error("give --for or --platforms with names from: " + ",".join(BY_NAME))
    arguments.allow_stub = {name.upper() for name in arguments.allow_stub + ALLOWED_STUBS.get(arguments.target, [])}
    return arguments, [BY_NAME[n] for n in names]


def main(argv):
    arguments, platforms = parse_arguments(argv)
    try:
        pe = pe_imports.read_pe(arguments.file)
    except (OSError, pe_imports.PeError) as error:
        print("import gate: %s: %s" % (arguments.file, error), file=sys.stderr)
        return 2
    try:
        dlls, functions = load_exports(arguments.exports)
    except (OSError, ValueError) as error:
        print("import gate: export data: %s" % error, file=sys.stderr)
        return 2
    count = sum(len(names) for names in pe.imports.values())
    print("import gate: %s, %d bytes, machine %#06x, OS %d.%d, subsystem %d.%d, %d imports: %s"
          % (os.path.basename(arguments.file), os.path.getsize(arguments.file), pe.machine,
             pe.os_version[0], pe.os_version[1], pe.subsystem_version[0], pe.subsystem_version[1], count,
             ", ".join("%s %d" % (dll, len(pe.imports[dll])) for dll in sorted(pe.imports))))
    if arguments.list:
        with open(arguments.list, "w", encoding="utf-8") as f:
            for dll in sorted(pe.imports):
                f.writelines("%s\t%s\n" % (dll, name) for name in sorted(pe.imports[dll]))
    failed = []
    for platform in platforms:
        problems = header_problems(pe, platform)
        found, stubs = import_problems(pe, platform, dlls, functions)
        problems += found
        problems += ["%s: exported there only as a stub that fails" % stub
                     for stub in stubs if stub.upper() not in arguments.allow_stub]
        if problems:
            failed.append(platform.name)
            for problem in problems:
                print("import gate: FAIL on %s: %s" % (platform.title, problem))
        elif stubs:
            print("import gate: %s starts it; exported there only as failing stubs (allowed): %s"
                  % (platform.title, " ".join(stubs)))
    if failed:
        print("import gate: %s does not start on: %s" % (os.path.basename(arguments.file), " ".join(failed)))
        return 1
    print("import gate: starts on " + ", ".join(p.title for p in platforms))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
