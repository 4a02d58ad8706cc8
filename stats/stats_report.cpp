#include "stats/stats_report.h"

#include "diag/data_folder.h"
#include "platform/atomic_file.h"
#include "platform/known_folders.h"
#include "platform/module.h"
#include "platform/resources.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "stats/data_file.h"
#include "stats/resource_ids.h"
#include "stats/stats_storage.h"

namespace nevlora {
namespace {

std::string InFolder(const std::u16string& folder, const char* name) { return Utf16ToUtf8(folder) + "/" + name; }

// Each file is replaced whole: a reader never sees half of a new one.
bool WriteFile(const std::string& path, std::string_view data) {
  return platform::WriteFileAtomically(path, data);
}

bool WriteResource(const std::u16string& folder, const char* name, unsigned short id) {
  HMODULE module = GetModuleHandleFromAddress(reinterpret_cast<const void*>(&WriteResource));
  HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), kStatsResourceType);
  HGLOBAL loaded = LoadResource(module, resource);
  const void* data = LockResource(loaded);
  if (!data) return false;
  const std::string_view bytes(static_cast<const char*>(data), SizeofResource(module, resource));
  return WriteFile(InFolder(folder, name), bytes);
}

// The page's window icon comes from beside the module that holds this code.
void CopyIcon(const std::u16string& folder) {
  const std::u16string moduleFolder =
      platform::ModuleFolder(GetModuleHandleFromAddress(reinterpret_cast<const void*>(&CopyIcon)));
  std::string icon;
  if (moduleFolder.empty() || !platform::ReadWholeFile(Utf16ToUtf8(moduleFolder) + "/Plumora.ico", &icon)) return;
  WriteFile(InFolder(folder, "Plumora.ico"), icon);
}

}  // namespace

StatsReportOutcome WriteStatsReport(const std::u16string& folder, bool open) {
  StatsReportOutcome outcome;
  outcome.pagePath = folder + kPathSeparator + u"fots.hta";
  auto store = OpenStatsStore();
  WriteFile(InFolder(folder, "data.js"), BuildDataFile(*store));
  WriteResource(folder, "excanvas.js", IDR_STATS_EXCANVAS);
  WriteResource(folder, "jquery.js", IDR_STATS_JQUERY);
  WriteResource(folder, "jquery.flot.js", IDR_STATS_FLOT);
  outcome.pageWritten = WriteResource(folder, "fots.hta", IDR_STATS_PAGE);
  CopyIcon(folder);
  if (open)
    outcome.opened = platform::ShellExecuteSucceeded(
        ShellExecuteW(nullptr, u"open", outcome.pagePath.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return outcome;
}

std::u16string StatsReportFolder() {
  std::u16string folder = GetDataFolder();
  folder += kPathSeparator;
  folder += u"StatsUI";
  return folder;
}

StatsReportOutcome WriteStatsReportForCli(bool open) {
  const std::u16string folder = StatsReportFolder();
  // A trailing separator makes the chain include the folder itself.
  CreateFolderChain(folder + kPathSeparator);
  return WriteStatsReport(folder, open);
}

}  // namespace nevlora

void ShowStatsReport(const std::u16string& folder) { nevlora::WriteStatsReport(folder); }
