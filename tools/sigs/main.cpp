// quellor-sigs: writes the program's detection data in the formats of ClamAV
// and YARA, for the engines that already run across many machines.
//
//   quellor-sigs clamav > quellor.ldb
//   quellor-sigs yara > quellor.yar
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/sigs/SigExport.h"

namespace {

constexpr int EXIT_WRITTEN = 0;
constexpr int EXIT_NOT_WRITTEN = 1;
constexpr int EXIT_BAD_ARGUMENTS = 2;

const char USAGE[] =
    "usage: quellor-sigs clamav|yara\n"
    "       quellor-sigs --help\n";

const char HELP[] =
    "\n"
    "Writes the %d variant records and the hosts-file marker of Quellor to standard output:\n"
    "  clamav  ClamAV logical signatures (.ldb): clamscan -d quellor.ldb <folder>\n"
    "  yara    YARA rules (YARA 4.2 or later, pe module): yara -r quellor.yar <folder>\n"
    "\n"
    "Each variant signature tests the record's exact file length and two 20-byte windows at\n"
    "fixed distances from the PE entry point. The YARA rules map \"entry point RVA + n\" through\n"
    "the section table, as Quellor does. ClamAV's EP+n counts from the entry point's file\n"
    "offset instead, which is the same place only when both windows lie in the entry point's\n"
    "section: files whose windows lie in other sections are found by Quellor and the YARA\n"
    "rules, not by the ClamAV signatures.\n"
    "\n"
    "The marker signature finds the worm's text marker in the first 4096 bytes of any file\n"
    "that begins with \"begin\" (in any letter case), whitespace allowed between its bytes;\n"
    "Quellor looks for it in the hosts file only. ClamAV names carry the suffix \".UNOFFICIAL\"\n"
    "that clamscan adds to every signature outside its own databases.\n"
    "\n"
    "Exit codes: 0 written, 1 standard output could not be written, 2 bad arguments.\n";

int Write(const std::string& text) {
  const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
  if (std::fflush(stdout) != 0 || !written) {
    std::fprintf(stderr, "quellor-sigs: cannot write to standard output\n");
    return EXIT_NOT_WRITTEN;
  }
  return EXIT_WRITTEN;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf("%s", USAGE);
    std::printf(HELP, VARIANT_COUNT);
    return std::fflush(stdout) == 0 ? EXIT_WRITTEN : EXIT_NOT_WRITTEN;
  }
  if (argc == 2 && std::strcmp(argv[1], "clamav") == 0) return Write(ClamAvDatabase());
  if (argc == 2 && std::strcmp(argv[1], "yara") == 0) return Write(YaraRules());
  std::fprintf(stderr, "%s", USAGE);
  return EXIT_BAD_ARGUMENTS;
}
