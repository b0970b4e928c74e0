#include "repair/WininitText.h"

#include <cctype>
#include <cstring>

namespace {

constexpr char RENAME_SECTION[] = "[rename]";
constexpr std::size_t RENAME_SECTION_LENGTH = sizeof RENAME_SECTION - 1;
constexpr char SECTION_START = '[';
constexpr char LINE_END[] = "\r\n";
// The old file is read in pieces of at most LINE_PIECE_SIZE - 1 bytes.
constexpr std::size_t LINE_PIECE_SIZE = 648;

// The file being written: every write must put all of its bytes.
struct Output {
  std::FILE* file;
  bool ok = true;
  bool atLineStart = true;  // nothing written yet, or the last byte ended a line
};

void Put(Output& out, const char* bytes, std::size_t count) {
  if (!out.ok || count == 0) return;
  out.ok = std::fwrite(bytes, 1, count, out.file) == count;
  out.atLineStart = bytes[count - 1] == '\n';
}

void PutText(Output& out, const char* text) { Put(out, text, std::strlen(text)); }

// Ends a last line that has no line end of its own.
void EndOpenLine(Output& out) {
  if (!out.atLineStart) PutText(out, LINE_END);
}

void PutEntry(Output& out, const char* key, const char* value) {
  EndOpenLine(out);
  PutText(out, key);
  PutText(out, "=");
  PutText(out, value);
  PutText(out, LINE_END);
}

void PutSectionAndEntry(Output& out, const char* key, const char* value) {
  EndOpenLine(out);
  PutText(out, RENAME_SECTION);
  PutText(out, LINE_END);
  PutEntry(out, key, value);
}

// Reads the next piece of a line, its line feed included: at most
// LINE_PIECE_SIZE - 1 bytes. Returns its length, 0 at the end. Bytes are kept
// as they are, zero bytes too.
std::size_t ReadPiece(std::FILE* file, char* piece) {
  std::size_t length = 0;
  int c;
  while (length < LINE_PIECE_SIZE - 1 && (c = std::getc(file)) != EOF) {
    piece[length++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  return length;
}

// The first 8 characters equal "[rename]", ignoring case as the C library's
// single-byte lower-casing does.
bool IsRenameHeader(const char* piece, std::size_t length) {
  if (length < RENAME_SECTION_LENGTH) return false;
  for (std::size_t i = 0; i < RENAME_SECTION_LENGTH; ++i) {
    if (std::tolower(static_cast<unsigned char>(piece[i])) != RENAME_SECTION[i]) return false;
  }
  return true;
}

// Copies the old file and puts the entry at the end of its [rename] section,
// just before the next section header; a section header is a line that
// begins with "[". Only the start of a line can be a header: the later pieces
// of a long line are copied as they are.
bool WriteMerged(std::FILE* old, Output& out, const char* key, const char* value) {
  bool inRename = false;
  bool inserted = false;
  bool lineStart = true;
  char piece[LINE_PIECE_SIZE];
  std::size_t length;
  while ((length = ReadPiece(old, piece)) > 0) {
    if (lineStart && !inserted) {
      if (!inRename) {
        inRename = IsRenameHeader(piece, length);
      } else if (piece[0] == SECTION_START) {
        PutEntry(out, key, value);
        inserted = true;
      }
    }
    Put(out, piece, length);
    lineStart = piece[length - 1] == '\n';
  }
  // A read that failed part-way would cut the file short.
  if (std::ferror(old)) return false;
  if (!inserted) {
    if (inRename) PutEntry(out, key, value);
    else PutSectionAndEntry(out, key, value);
  }
  return out.ok;
}

}  // namespace

bool WriteWininitContent(std::FILE* old, std::FILE* out, const char* key, const char* value) {
  Output output{out};
  if (old) return WriteMerged(old, output, key, value);
  PutSectionAndEntry(output, key, value);
  return output.ok;
}
