#include "ui/main_view.h"

MainView* TheMainView = nullptr;

void ShowActionButton(MainView& view, int n, bool show) {
  static constexpr ViewControl kPictures[] = {
      ViewControl::StartPicture, ViewControl::ContinuePicture, ViewControl::PausePicture};
  if (n >= 1 && n <= 3) view.ShowOrHide(kPictures[n - 1], show);
}
