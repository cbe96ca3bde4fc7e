#include "workflow/installer_handoff.h"

#include "platform/files.h"
#include "platform/log.h"
#include "stats/download_records.h"
#include "workflow/desktop_shortcut.h"
#include "workflow/part_check.h"

namespace {
constexpr int kRenameAttempts = 10;
}

std::string RenameCandidate(const std::string& target, int attempt) {
  if (attempt == 0) return target;
  const std::string number = " (" + std::to_string(attempt) + ")";
  const size_t dot = target.rfind('.');
  if (dot == std::string::npos) return target + number;
  return target.substr(0, dot) + number + target.substr(dot);
}

bool RenamePartialFiles(std::string* setupPath) {
  const DownloadPlan& plan = TheDownloadPlan;
  if (plan.targetPaths.empty()) return false;
  for (size_t i = 0; i < plan.targetPaths.size() && i < plan.partialPaths.size(); ++i) {
    const std::string& partial = plan.partialPaths[i];
    std::string final;
    for (int attempt = 0; attempt < kRenameAttempts && final.empty(); ++attempt) {
      const std::string candidate = RenameCandidate(plan.targetPaths[i], attempt);
      if (RenameFileNoReplace(partial, candidate)) {
        final = candidate;
      } else if (FileExists(candidate) && SameFileContent(partial, candidate) &&
                 RemoveFile(partial)) {
        // The same installer downloaded again: one copy is enough.
        final = candidate;
      }
    }
    if (final.empty()) {
      LogFormat("part %llu: %s could not be renamed\n", static_cast<unsigned long long>(i),
                partial.c_str());
      return false;
    }
    if (i == 0 && setupPath != nullptr) *setupPath = final;
  }
  return true;
}

HandOff LaunchInstaller() {
  std::string setup;
  if (!RenamePartialFiles(&setup)) {
    LogLine("failed to rename setup");
    return HandOff::RenameFailed;
  }
  // Gone before the setup starts: a launcher whose argument no longer
  // exists would start the whole download again.
  const std::string shortcut = GetShortcutPath();
  if (FileExists(shortcut)) (void)RemoveFile(shortcut);
  return RunProgram(setup, "", 1) == 0 ? HandOff::Started : HandOff::StartFailed;
}
