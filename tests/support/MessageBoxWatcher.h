#pragma once
#include <windows.h>

#include <set>
#include <string>
#include <vector>

// Sees the platform message boxes (class "#32770") that the code under test
// opens on this thread, answers each with a click on one button, and records
// their caption and text as they close. Uses a WH_CBT hook for as long as the
// object lives.
class MessageBoxWatcher {
 public:
  explicit MessageBoxWatcher(int answer = IDOK);
  ~MessageBoxWatcher();
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

  struct Box {
    std::string caption;
    std::string text;
    bool operator==(const Box& other) const { return caption == other.caption && text == other.text; }
  };
  std::vector<Box> boxes;

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
  void Seen(HWND box);
  void Closing(HWND box);

  int answer_;
  HHOOK hook_ = nullptr;
  MessageBoxWatcher* outer_ = nullptr;  // the watcher this one replaced
  std::set<HWND> answered_;
};
