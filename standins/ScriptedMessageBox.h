#pragma once
#include <deque>
#include <string>
#include <vector>

// Engine tests link this SkinMessageBox in place of the dialog: it records every
// question and returns queued answers (IDNO when none is queued). Each question
// also goes to the child journal when one is set (ChildJournal.h).
struct AskedQuestion {
  std::string text;
  std::string title;
  int flags;
};

struct ScriptedAnswers {
  std::deque<int> answers;
  std::vector<AskedQuestion> asked;
  void Reset() {
    answers.clear();
    asked.clear();
  }
};

ScriptedAnswers& Answers();
