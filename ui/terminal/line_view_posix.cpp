// The view without a terminal: status lines printed to standard output, as
// a log a person or a test can follow. Progress lines are printed at most
// once a second; nobody can answer a question, so the close question counts
// as confirmed and the folder choice as cancelled.
#include <chrono>
#include <cstdio>

#include "platform/narrow_text.h"
#include "ui/terminal/front_end.h"
#include "ui/terminal/terminal_view.h"

namespace {
class LineView final : public MainView {
 public:
  void CreateStatusControls() override { Print("Tovi Downloader 2.1"); }
  void ShowOrHide(ViewControl control, bool show) override {
    if (control == ViewControl::ProgressBar) downloading_ = show;
  }
  void SetLabelText(ViewLabel label, const std::wstring& text) override {
    static const char* const kNames[] = {"estado", "detalle", "version"};
    auto& last = last_[static_cast<int>(label)];
    if (text == last) return;
    last = text;
    const auto now = std::chrono::steady_clock::now();
    if (downloading_ && label != ViewLabel::VersionLabel) {
      auto& printed = printedAt_[static_cast<int>(label)];
      if (now - printed < std::chrono::seconds(1)) return;
      printed = now;
    }
    if (!text.empty())
      Print(std::string(kNames[static_cast<int>(label)]) + ": " + NarrowText(text));
  }
  void SetFolderText(const std::wstring& text) override { Print("carpeta: " + NarrowText(text)); }
  void SetProgressPosition(int) override {}
  void ShowPage(const std::string& address) override { Print("pagina: " + address); }
  bool AskYesNo(const std::wstring& text, const std::wstring& caption) override {
    Print(NarrowText(caption) + ": " + NarrowText(text) + " (si)");
    return true;
  }
  void ShowNotice(const std::wstring& text, const std::wstring& caption) override {
    Print(NarrowText(caption) + ": " + NarrowText(text));
  }
  std::string ChooseFolder() override { return {}; }
  void Flash() override {}
  void OpenInBrowser(const std::string& address) override {
    if (!OpenWithDesktopBrowser(address)) Print("abrir en el navegador: " + address);
  }
  // The status lines already say it; a log has no title.
  void SetTaskbarProgress(TaskbarState, int) override {}

 private:
  static void Print(const std::string& line) {
    std::fprintf(stdout, "%s\n", line.c_str());
    std::fflush(stdout);
  }
  bool downloading_ = false;
  std::wstring last_[3];
  std::chrono::steady_clock::time_point printedAt_[3];
};
}  // namespace

MainView* CreateLineView() { return new LineView; }
