// Linked into the engine test programs instead of the skinned message dialog.
#include "standins/ScriptedMessageBox.h"

#include <windows.h>

#include <string>

#include "engine/SkinMessageBox.h"
#include "tests/support/ChildJournal.h"

ScriptedAnswers& Answers() {
  static ScriptedAnswers answers;
  return answers;
}

int SkinMessageBox(const char* text, const char* title, int flags) {
  ScriptedAnswers& a = Answers();
  a.asked.push_back({text ? text : "", title ? title : "", flags});
  WriteChildJournal("asked " + std::to_string(flags) + " " + a.asked.back().title + ": " + a.asked.back().text);
  if (a.answers.empty()) return IDNO;
  const int answer = a.answers.front();
  a.answers.pop_front();
  return answer;
}
