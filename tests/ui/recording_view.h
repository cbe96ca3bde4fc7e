// A MainView that records every call as one line of text, so a test can
// assert the exact sequence, and answers the modal questions as told.
#pragma once

#include <string>
#include <vector>

#include "platform/narrow_text.h"
#include "ui/main_view.h"

class RecordingView final : public MainView {
 public:
  void CreateStatusControls() override { calls.push_back(L"build"); }
  void ShowOrHide(ViewControl control, bool show) override {
    calls.push_back((show ? L"show " : L"hide ") + Name(control));
  }
  void SetLabelText(ViewLabel label, const std::wstring& text) override {
    static const wchar_t* const kNames[] = {L"status", L"detail", L"version"};
    calls.push_back(std::wstring(kNames[static_cast<int>(label)]) + L"=" + text);
  }
  void SetFolderText(const std::wstring& text) override { calls.push_back(L"folder=" + text); }
  void SetProgressPosition(int percent) override {
    calls.push_back(L"progress=" + std::to_wstring(percent));
  }
  void ShowPage(const std::string& address) override {
    calls.push_back(L"page " + WidenText(address));
  }
  bool AskYesNo(const std::wstring& text, const std::wstring& caption) override {
    calls.push_back(L"ask " + caption + L": " + text);
    return yes;
  }
  void ShowNotice(const std::wstring& text, const std::wstring& caption) override {
    calls.push_back(L"notice " + caption + L": " + text);
  }
  std::string ChooseFolder() override {
    calls.push_back(L"choose folder");
    return chosenFolder;
  }
  void Flash() override { calls.push_back(L"flash"); }
  void OpenInBrowser(const std::string& address) override {
    calls.push_back(L"open " + WidenText(address));
  }
  // Kept apart from calls: the taskbar follows the commands on its own.
  void SetTaskbarProgress(TaskbarState state, int percent) override {
    static const wchar_t* const kNames[] = {L"none", L"normal", L"paused", L"error"};
    taskbar.push_back(std::wstring(kNames[static_cast<int>(state)]) + L" " +
                      std::to_wstring(percent));
  }

  static std::wstring Name(ViewControl control) {
    static const wchar_t* const kNames[] = {L"start",          L"continue",     L"pause",
                                            L"folder picture", L"folder field", L"progress bar"};
    return kNames[static_cast<int>(control)];
  }

  std::vector<std::wstring> Take() {
    std::vector<std::wstring> taken;
    taken.swap(calls);
    return taken;
  }

  std::vector<std::wstring> calls;
  std::vector<std::wstring> taskbar;
  bool yes = false;
  std::string chosenFolder;
};
