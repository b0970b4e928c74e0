#pragma once
#include <string>

// The platform's help viewer, "<Windows folder>\winhlp32.exe", whose cursor 106
// the main dialog's buttons copy. A 64-bit Wine prefix has none; a 32-bit one
// has Wine's own, as Windows has its own.
std::string HelpViewerPath();

// Puts the help viewer already there (if any) aside for the life of the
// object, so that there is none, and back at the end.
class HelpViewerSetAside {
 public:
  HelpViewerSetAside();
  ~HelpViewerSetAside();
  HelpViewerSetAside(const HelpViewerSetAside&) = delete;
  HelpViewerSetAside& operator=(const HelpViewerSetAside&) = delete;

  // True when no help viewer is there now.
  bool cleared() const;

 private:
  std::string aside_;  // where the one that was there waits; empty: none moved
};

// Puts the stand-in beside the test program (help_viewer_stub.exe: resources
// only, holding cursor 106) in the help viewer's place, and makes Wine load
// that file for programName (an executable's bare name) instead of its own
// built-in help viewer. A help viewer already there is set aside meanwhile.
// All of it is undone when the object goes.
class PlantedHelpViewer {
 public:
  explicit PlantedHelpViewer(const std::string& programName);
  ~PlantedHelpViewer();
  PlantedHelpViewer(const PlantedHelpViewer&) = delete;
  PlantedHelpViewer& operator=(const PlantedHelpViewer&) = delete;

  bool planted() const { return planted_ && overridden_; }

 private:
  HelpViewerSetAside existing_;
  std::string overrideKey_;
  bool planted_ = false;
  bool overridden_ = false;
};
