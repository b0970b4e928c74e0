#include "tests/support/ChildJournal.h"

#include <cstdio>

namespace {

std::string& JournalPath() {
  static std::string path;
  return path;
}

std::string Escaped(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    if (c == '\n') escaped += "\\n";
    else escaped += c;
  }
  return escaped;
}

}  // namespace

void SetChildJournal(const std::string& path) {
  JournalPath() = path;
  if (path.empty()) return;
  if (std::FILE* file = std::fopen(path.c_str(), "wb")) std::fclose(file);
}

void WriteChildJournal(const std::string& line) {
  if (JournalPath().empty()) return;
  std::FILE* file = std::fopen(JournalPath().c_str(), "ab");
  if (!file) return;
  std::fprintf(file, "%s\n", Escaped(line).c_str());
  std::fclose(file);  // on disk at once: the child may end the next moment
}

std::vector<std::string> ReadChildJournal(const std::string& path) {
  std::vector<std::string> lines;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return lines;
  std::string line;
  for (int c; (c = std::fgetc(file)) != EOF;) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += static_cast<char>(c);
    }
  }
  std::fclose(file);
  return lines;
}
