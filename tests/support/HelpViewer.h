#pragma once
#include <string>

// The platform's help viewer, "<Windows folder>\winhlp32.exe", whose cursor 106
// the main dialog's buttons copy. The test machine has none.
std::string HelpViewerPath();

// Puts the stand-in beside the test program (help_viewer_stub.exe: resources
// only, holding cursor 106) in the help viewer's place, and makes Wine load
// that file for programName (an executable's bare name) instead of its own
// built-in help viewer. Both are undone when the object goes.
class PlantedHelpViewer {
 public:
  explicit PlantedHelpViewer(const std::string& programName);
  ~PlantedHelpViewer();
  PlantedHelpViewer(const PlantedHelpViewer&) = delete;
  PlantedHelpViewer& operator=(const PlantedHelpViewer&) = delete;

  bool planted() const { return planted_ && overridden_; }

 private:
  std::string overrideKey_;
  bool planted_ = false;
  bool overridden_ = false;
};
