// Charts drawn on the server as inline SVG, so the dashboard needs no
// script and no file from elsewhere: a line chart of daily series and a bar
// chart of a histogram, each with axes, tick labels and a title that
// screen readers announce (the figures are also in a table beside it).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ChartSeries {
  std::string name;
  std::string color;            // "#rrggbb"
  std::vector<int64_t> values;  // one per label
};

// labels along the x axis (thinned out when many); the y axis starts at 0.
std::string LineChartSvg(const std::string& title, const std::vector<std::string>& labels,
                         const std::vector<ChartSeries>& series);

// One bar per label, in color.
std::string BarChartSvg(const std::string& title, const std::vector<std::string>& labels,
                        const std::vector<int64_t>& values, const std::string& color);

// text with &, <, >, " and ' escaped, for HTML and SVG alike.
std::string EscapeMarkup(const std::string& text);
