#include "tests/support/HelpViewer.h"

#include <windows.h>

#include "tests/support/ChildProcess.h"
#include "tests/support/SystemGuards.h"

namespace {

constexpr char STUB_NAME[] = "\\help_viewer_stub.exe";
constexpr char VIEWER_NAME[] = "\\winhlp32.exe";
constexpr char ASIDE_SUFFIX[] = ".set-aside";
constexpr char OVERRIDES_KEY_START[] = "Software\\Wine\\AppDefaults\\";
constexpr char OVERRIDES_KEY_END[] = "\\DllOverrides";
constexpr char OVERRIDE_VALUE[] = "winhlp32.exe";
constexpr char NATIVE[] = "native";

}  // namespace

std::string HelpViewerPath() {
  const std::string folder = WindowsFolder();
  return folder.empty() ? folder : folder + VIEWER_NAME;
}

HelpViewerSetAside::HelpViewerSetAside() {
  const std::string viewer = HelpViewerPath();
  if (viewer.empty() || GetFileAttributesA(viewer.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  const std::string aside = viewer + ASIDE_SUFFIX;
  if (MoveFileExA(viewer.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING)) aside_ = aside;
}

HelpViewerSetAside::~HelpViewerSetAside() {
  if (!aside_.empty()) MoveFileExA(aside_.c_str(), HelpViewerPath().c_str(), MOVEFILE_REPLACE_EXISTING);
}

bool HelpViewerSetAside::cleared() const {
  const std::string viewer = HelpViewerPath();
  return !viewer.empty() && GetFileAttributesA(viewer.c_str()) == INVALID_FILE_ATTRIBUTES;
}

PlantedHelpViewer::PlantedHelpViewer(const std::string& programName)
    : overrideKey_(std::string(OVERRIDES_KEY_START) + programName + OVERRIDES_KEY_END) {
  const std::string stub = OwnExecutableFolder() + STUB_NAME;
  planted_ = existing_.cleared() && CopyFileA(stub.c_str(), HelpViewerPath().c_str(), TRUE) != FALSE;
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, overrideKey_.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) ==
      ERROR_SUCCESS) {
    overridden_ = RegSetValueExA(key, OVERRIDE_VALUE, 0, REG_SZ, reinterpret_cast<const BYTE*>(NATIVE),
                                 sizeof NATIVE) == ERROR_SUCCESS;
    RegCloseKey(key);
  }
}

PlantedHelpViewer::~PlantedHelpViewer() {
  RegDeleteKeyA(HKEY_CURRENT_USER, overrideKey_.c_str());
  if (planted_) DeleteFileA(HelpViewerPath().c_str());
}
