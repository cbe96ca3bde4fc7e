#include "server/svg_chart.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 260;
constexpr int kLeft = 52;  // room for the y labels
constexpr int kRight = 12;
constexpr int kTop = 28;     // room for the legend
constexpr int kBottom = 44;  // room for the x labels
constexpr int kPlotWidth = kWidth - kLeft - kRight;
constexpr int kPlotHeight = kHeight - kTop - kBottom;

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

// A round top for the y axis (1, 2 or 5 times a power of ten, times 4
// ticks) at or above the largest value.
int64_t NiceStep(int64_t largest) {
  int64_t step = 1;
  for (;;) {
    for (int64_t factor : {1, 2, 5}) {
      if (step * factor * 4 >= largest) return step * factor;
    }
    step *= 10;
  }
}

std::string Open(const std::string& title) {
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + std::to_string(kWidth) + " " +
         std::to_string(kHeight) + "\" role=\"img\" class=\"chart\"><title>" + EscapeMarkup(title) +
         "</title>";
}

// The y grid with its labels and the axes; the y scale's top is 4 steps.
std::string Axes(int64_t step) {
  std::string svg;
  for (int tick = 0; tick <= 4; ++tick) {
    const double y = kTop + kPlotHeight - kPlotHeight * tick / 4.0;
    svg += "<line x1=\"" + std::to_string(kLeft) + "\" x2=\"" + std::to_string(kLeft + kPlotWidth) +
           "\" y1=\"" + Number(y) + "\" y2=\"" + Number(y) + "\" class=\"grid\"/>";
    svg += "<text x=\"" + std::to_string(kLeft - 6) + "\" y=\"" + Number(y + 4) +
           "\" class=\"ylabel\">" + std::to_string(step * tick) + "</text>";
  }
  svg += "<line x1=\"" + std::to_string(kLeft) + "\" x2=\"" + std::to_string(kLeft) + "\" y1=\"" +
         std::to_string(kTop) + "\" y2=\"" + std::to_string(kTop + kPlotHeight) +
         "\" class=\"axis\"/>";
  svg += "<line x1=\"" + std::to_string(kLeft) + "\" x2=\"" + std::to_string(kLeft + kPlotWidth) +
         "\" y1=\"" + std::to_string(kTop + kPlotHeight) + "\" y2=\"" +
         std::to_string(kTop + kPlotHeight) + "\" class=\"axis\"/>";
  return svg;
}

std::string XLabel(double x, const std::string& label) {
  return "<text x=\"" + Number(x) + "\" y=\"" + std::to_string(kTop + kPlotHeight + 16) +
         "\" class=\"xlabel\">" + EscapeMarkup(label) + "</text>";
}

}  // namespace

std::string EscapeMarkup(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string LineChartSvg(const std::string& title, const std::vector<std::string>& labels,
                         const std::vector<ChartSeries>& series) {
  int64_t largest = 0;
  for (const auto& s : series) {
    for (int64_t v : s.values) largest = std::max(largest, v);
  }
  const int64_t step = NiceStep(largest);
  const double top = static_cast<double>(step * 4);
  const size_t n = labels.size();
  auto xOf = [n](size_t i) {
    return kLeft + (n <= 1 ? kPlotWidth / 2.0 : kPlotWidth * static_cast<double>(i) / (n - 1));
  };
  auto yOf = [top](int64_t v) { return kTop + kPlotHeight - kPlotHeight * v / top; };

  std::string svg = Open(title) + Axes(step);
  // About eight date labels whatever the period's length.
  const size_t every = std::max<size_t>(1, (n + 7) / 8);
  for (size_t i = 0; i < n; i += every) svg += XLabel(xOf(i), labels[i]);
  double legendX = kLeft;
  for (const auto& s : series) {
    std::string points;
    for (size_t i = 0; i < s.values.size() && i < n; ++i) {
      points += (i ? " " : "") + Number(xOf(i)) + "," + Number(yOf(s.values[i]));
    }
    svg += "<polyline fill=\"none\" stroke=\"" + s.color + "\" stroke-width=\"2.5\" points=\"" +
           points + "\"/>";
    if (n == 1) {
      svg += "<circle cx=\"" + Number(xOf(0)) + "\" cy=\"" + Number(yOf(s.values[0])) +
             "\" r=\"4\" fill=\"" + s.color + "\"/>";
    }
    svg += "<rect x=\"" + Number(legendX) + "\" y=\"8\" width=\"14\" height=\"10\" fill=\"" +
           s.color + "\"/><text x=\"" + Number(legendX + 18) + "\" y=\"17\" class=\"legend\">" +
           EscapeMarkup(s.name) + "</text>";
    legendX += 30 + 8.0 * static_cast<double>(s.name.size());
  }
  return svg + "</svg>";
}

std::string BarChartSvg(const std::string& title, const std::vector<std::string>& labels,
                        const std::vector<int64_t>& values, const std::string& color) {
  int64_t largest = 0;
  for (int64_t v : values) largest = std::max(largest, v);
  const int64_t step = NiceStep(largest);
  const double top = static_cast<double>(step * 4);
  const size_t n = std::max<size_t>(1, labels.size());
  const double slot = static_cast<double>(kPlotWidth) / static_cast<double>(n);
  std::string svg = Open(title) + Axes(step);
  for (size_t i = 0; i < labels.size() && i < values.size(); ++i) {
    const double height = kPlotHeight * static_cast<double>(values[i]) / top;
    const double x = kLeft + slot * static_cast<double>(i);
    // A lone bar stays a bar, not a block across the whole chart.
    const double width = std::min(slot * 0.7, 64.0);
    svg += "<rect x=\"" + Number(x + (slot - width) / 2) + "\" y=\"" +
           Number(kTop + kPlotHeight - height) + "\" width=\"" + Number(width) + "\" height=\"" +
           Number(height) + "\" fill=\"" + color + "\"/>";
    svg += XLabel(x + slot / 2, labels[i]);
  }
  return svg + "</svg>";
}
