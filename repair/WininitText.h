#pragma once
#include <cstdio>

// The content of a wininit.ini with one more [rename] entry: the C runtime
// only, so that the host fuzz build compiles it as it is.

// Writes to out the old file's bytes with "key=value" CR LF at the end of its
// [rename] section, just before the next section header (a line that begins
// with "["); without such a section, "[rename]" and the entry are appended.
// old is null for a file that does not exist yet: then only the section and
// the entry are written. Every other byte is copied unchanged, and an entry
// after a last line without a line end starts on a line of its own. False
// when a read or a write fails.
bool WriteWininitContent(std::FILE* old, std::FILE* out, const char* key, const char* value);
