// UiState: what the worker threads want shown, read by the display and the
// controller on the UI thread. Texts and numbers are written by one thread
// and read by another while both run, so every field is read and written
// whole under one small lock; nothing here touches a control.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

class UiState {
 public:
  std::wstring StatusText() const;
  void SetStatusText(const std::wstring& text);
  std::wstring DetailText() const;
  void SetDetailText(const std::wstring& text);

  // The most recent command of ShowStatus or ReportProgress, with its
  // parameter (the close question re-posts it on No).
  void SetLastCommand(uint32_t command, int64_t parameter);
  uint32_t LastCommand() const;
  int64_t LastParameter() const;

  int32_t ProgressPercent() const;
  void SetProgressPercent(int32_t percent);
  // Touched by ReportProgress only (transfer thread).
  int32_t LastReportedPercent() const;
  void SetLastReportedPercent(int32_t percent);

  // Ends in the path separator once set. Written by the controller, read by
  // the workflow after StartSignal.
  std::string DownloadFolder() const;
  void SetDownloadFolder(const std::string& folder);

  void ResetForTesting();

 private:
  mutable std::mutex lock_;
  std::wstring statusText_;
  std::wstring detailText_;
  uint32_t lastCommand_ = 0;
  int64_t lastParameter_ = 0;
  int32_t progressPercent_ = 0;
  int32_t lastReportedPercent_ = 0;
  std::string downloadFolder_;
};

extern UiState TheUiState;
