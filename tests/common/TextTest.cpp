#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/Text.h"

namespace {

constexpr char GUARD = '#';  // fills the buffer past the text it starts with

struct TextCase {
  const char* why;
  bool append;
  const char* before;  // text already in the buffer; nullptr: size bytes without a terminator
  std::size_t size;
  const char* source;
  bool fits;
  const char* after;  // nullptr: the buffer is left as it was
};

const TextCase kCases[] = {
    {"copy with room to spare", false, "", 8, "abc", true, "abc"},
    {"copy that fills the buffer exactly", false, "", 4, "abc", true, "abc"},
    {"copy one byte too long is cut", false, "", 3, "abc", false, "ab"},
    {"copy into one byte leaves an empty text", false, "zz", 1, "abc", false, ""},
    {"copy of an empty text", false, "zz", 1, "", true, ""},
    {"copy into no room writes nothing", false, "zz", 0, "abc", false, nullptr},
    {"append with room", true, "ab", 5, "cd", true, "abcd"},
    {"append one byte too long is cut", true, "ab", 5, "cde", false, "abcd"},
    {"append nothing to a full buffer", true, "abcd", 5, "", true, "abcd"},
    {"append to a full buffer", true, "abcd", 5, "e", false, "abcd"},
    {"append to a text with no terminator", true, nullptr, 4, "e", false, nullptr},
    {"append into no room", true, "", 0, "e", false, nullptr},
};

TEST(Text, CopyAndAppendStayWithinTheirSizeAndSayWhetherTheTextFit) {
  for (const TextCase& c : kCases) {
    SCOPED_TRACE(c.why);
    char buffer[16];
    std::memset(buffer, GUARD, sizeof buffer);
    if (c.before) std::memcpy(buffer, c.before, std::strlen(c.before) + 1);
    else std::memset(buffer, 'x', c.size);
    char original[sizeof buffer];
    std::memcpy(original, buffer, sizeof buffer);

    const bool fits = c.append ? AppendText(buffer, c.size, c.source) : CopyText(buffer, c.size, c.source);
    EXPECT_EQ(c.fits, fits) << c.why;
    if (c.after) EXPECT_EQ(c.after, std::string(buffer)) << c.why;
    else EXPECT_EQ(0, std::memcmp(buffer, original, sizeof buffer)) << c.why;
    for (std::size_t i = c.size; i < sizeof buffer; ++i)
      EXPECT_EQ(original[i], buffer[i]) << c.why << ": nothing changes at or past size, byte " << i;
  }
}

struct FormatCase {
  const char* why;
  std::size_t size;
  const char* word;  // formatted as "<%s>"
  bool fits;
  const char* after;  // nullptr: nothing written
};

// msvcrt's formatter writes no terminator when the text is exactly size
// characters long, and answers -1 when it is longer: both must come back cut
// and terminated within size.
const FormatCase kFormatCases[] = {
    {"room to spare", 8, "ab", true, "<ab>"},
    {"the text and its terminator fill the buffer", 5, "ab", true, "<ab>"},
    {"the text alone fills the buffer", 4, "ab", false, "<ab"},
    {"the text is far longer", 4, "abcdef", false, "<ab"},
    {"one byte holds only the terminator", 1, "ab", false, ""},
    {"no room writes nothing", 0, "ab", false, nullptr},
};

TEST(Text, FormatStaysWithinItsSizeAndAlwaysTerminates) {
  for (const FormatCase& c : kFormatCases) {
    SCOPED_TRACE(c.why);
    char buffer[16];
    std::memset(buffer, GUARD, sizeof buffer);
    EXPECT_EQ(c.fits, FormatText(buffer, c.size, "<%s>", c.word));
    if (c.after) {
      EXPECT_EQ(c.after, std::string(buffer));
    }
    for (std::size_t i = c.size; i < sizeof buffer; ++i) EXPECT_EQ(GUARD, buffer[i]) << "byte " << i;
  }
}

TEST(Text, BoundedLengthNeverReadsPastItsSize) {
  const char unterminated[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(4u, BoundedLength(unterminated, sizeof unterminated));
  EXPECT_EQ(2u, BoundedLength("ab\0cd", 5));
  EXPECT_EQ(0u, BoundedLength("", 1));
}

#ifdef QUELLOR_TEST_FAULT
// Built only with -DQUELLOR_TEST_FAULT=ON, to see that one failing test fails
// the run of its program, wherever it runs (the 32-bit test machine too).
TEST(Text, SwitchedOnFault) {
  char buffer[4];
  EXPECT_TRUE(CopyText(buffer, sizeof buffer, "abcd")) << "the switched-on fault: this text cannot fit";
}
#endif

}  // namespace
