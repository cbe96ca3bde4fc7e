#include "ui/ui_state.h"

UiState TheUiState;

std::wstring UiState::StatusText() const {
  std::lock_guard<std::mutex> hold(lock_);
  return statusText_;
}

void UiState::SetStatusText(const std::wstring& text) {
  std::lock_guard<std::mutex> hold(lock_);
  statusText_ = text;
}

std::wstring UiState::DetailText() const {
  std::lock_guard<std::mutex> hold(lock_);
  return detailText_;
}

void UiState::SetDetailText(const std::wstring& text) {
  std::lock_guard<std::mutex> hold(lock_);
  detailText_ = text;
}

void UiState::SetLastCommand(uint32_t command, int64_t parameter) {
  std::lock_guard<std::mutex> hold(lock_);
  lastCommand_ = command;
  lastParameter_ = parameter;
}

uint32_t UiState::LastCommand() const {
  std::lock_guard<std::mutex> hold(lock_);
  return lastCommand_;
}

int64_t UiState::LastParameter() const {
  std::lock_guard<std::mutex> hold(lock_);
  return lastParameter_;
}

int32_t UiState::ProgressPercent() const {
  std::lock_guard<std::mutex> hold(lock_);
  return progressPercent_;
}

void UiState::SetProgressPercent(int32_t percent) {
  std::lock_guard<std::mutex> hold(lock_);
  progressPercent_ = percent;
}

int32_t UiState::LastReportedPercent() const {
  std::lock_guard<std::mutex> hold(lock_);
  return lastReportedPercent_;
}

void UiState::SetLastReportedPercent(int32_t percent) {
  std::lock_guard<std::mutex> hold(lock_);
  lastReportedPercent_ = percent;
}

std::string UiState::DownloadFolder() const {
  std::lock_guard<std::mutex> hold(lock_);
  return downloadFolder_;
}

void UiState::SetDownloadFolder(const std::string& folder) {
  std::lock_guard<std::mutex> hold(lock_);
  downloadFolder_ = folder;
}

void UiState::ResetForTesting() {
  std::lock_guard<std::mutex> hold(lock_);
  statusText_.clear();
  detailText_.clear();
  lastCommand_ = 0;
  lastParameter_ = 0;
  progressPercent_ = 0;
  lastReportedPercent_ = 0;
  downloadFolder_.clear();
}
