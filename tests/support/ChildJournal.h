#pragma once
#include <string>
#include <vector>

// What a child test process asked and requested, written line by line to a file
// its parent reads: the scripted questions and the recorded restart requests
// of a child that may end without returning to its caller.

// Starts journalling to path (the file is emptied); an empty path stops it.
void SetChildJournal(const std::string& path);
// Appends one line when a journal is set; line breaks are written as "\n".
void WriteChildJournal(const std::string& line);
// The lines of a journal file.
std::vector<std::string> ReadChildJournal(const std::string& path);
