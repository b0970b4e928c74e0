// Linked into the engine test programs instead of the skinned message dialog.
#include "tests/support/ScriptedMessageBox.h"

#include <windows.h>

#include "engine/SkinMessageBox.h"

ScriptedAnswers& Answers() {
  static ScriptedAnswers answers;
  return answers;
}

int SkinMessageBox(const char* text, const char* title, int flags) {
  ScriptedAnswers& a = Answers();
  a.asked.push_back({text ? text : "", title ? title : "", flags});
  if (a.answers.empty()) return IDNO;
  const int answer = a.answers.front();
  a.answers.pop_front();
  return answer;
}
