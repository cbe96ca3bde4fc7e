#include "workflow/installer_handoff.h"

#include "platform/files.h"
#include "platform/log.h"
#include "stats/download_records.h"

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

bool RenamePartialFiles() {
  const DownloadPlan& plan = TheDownloadPlan;
  if (plan.targetPaths.empty()) return false;
  for (size_t i = 0; i < plan.targetPaths.size() && i < plan.partialPaths.size(); ++i) {
    bool renamed = false;
    for (int attempt = 0; attempt < kRenameAttempts && !renamed; ++attempt) {
      renamed =
          RenameFileNoReplace(plan.partialPaths[i], RenameCandidate(plan.targetPaths[i], attempt));
    }
    if (!renamed) return false;
  }
  return true;
}

bool LaunchInstaller() {
  if (!RenamePartialFiles()) {
    LogLine("failed to rename setup");
    return false;
  }
  return RunProgram(TheDownloadPlan.targetPaths[0], "", 1) == 0;
}
