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
  const char* after;   // nullptr: the buffer is left as it was
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

#ifdef QUELLOR_TEST_FAULT
// Built only with -DQUELLOR_TEST_FAULT=ON, to see that one failing test fails
// the run of its program, wherever it runs (the 32-bit test machine too).
TEST(Text, SwitchedOnFault) {
  char buffer[4];
  EXPECT_TRUE(CopyText(buffer, sizeof buffer, "abcd")) << "the switched-on fault: this text cannot fit";
}
#endif

}  // namespace
