#pragma once

// The texts of an SVG figure and the boxes they take, read back from the
// SVG text itself, for the layout tests.

#include <algorithm>
#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include "reports/markup_text.hpp"

namespace quorvel::reports::testing {

struct Box {
  double left, top, right, bottom;
  bool inside(const Box& outer) const {
    return left >= outer.left && right <= outer.right && top >= outer.top && bottom <= outer.bottom;
  }
  bool overlaps(const Box& other) const {
    return left < other.right && other.left < right && top < other.bottom && other.top < bottom;
  }
};

struct SvgText {
  std::string content;  ///< unescaped
  std::string css_class;
  std::string group;     ///< class of the innermost enclosing <g> with a class ("legend-entry", "panel", ...)
  int group_number = 0;  ///< which group of that class, from 1 (0: none)
  Box box{};             ///< from text_width(), font size s spanning s above the baseline and s/4 below
};

inline std::string attribute(const std::string& element, const std::string& name) {
  std::smatch m;
  if (std::regex_search(element, m, std::regex("\\s" + name + "=\"([^\"]*)\""))) return m[1];
  return std::string();
}

inline std::string unescape(std::string text) {
  const std::pair<const char*, const char*> entities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}};
  for (const auto& entity : entities) {
    for (std::size_t at = text.find(entity.first); at != std::string::npos; at = text.find(entity.first, at + 1))
      text.replace(at, std::string(entity.first).size(), entity.second);
  }
  return text;
}

/// The picture's box, from the root's width and height.
inline Box picture(const std::string& svg) {
  const std::string root = svg.substr(svg.find("<svg"), svg.find('>', svg.find("<svg")) - svg.find("<svg"));
  return {0, 0, std::stod(attribute(root, "width")), std::stod(attribute(root, "height"))};
}

/// Every <text> of `svg` with its box (turned by its rotate() transform).
inline std::vector<SvgText> svg_texts(const std::string& svg) {
  std::vector<SvgText> texts;
  std::vector<std::pair<std::string, int>> groups;  // open <g> elements: class and number
  std::vector<std::pair<std::string, int>> counts;
  const std::regex tag("<(/?)(g|text)\\b([^>]*)>");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), tag); it != std::sregex_iterator(); ++it) {
    const std::smatch& m = *it;
    if (m[2] == "g") {
      if (m[1] == "/") {
        if (!groups.empty()) groups.pop_back();
        continue;
      }
      const std::string name = attribute(m[3], "class");
      auto count = std::find_if(counts.begin(), counts.end(), [&](const auto& c) { return c.first == name; });
      if (count == counts.end()) counts.emplace_back(name, 0), count = counts.end() - 1;
      groups.emplace_back(name, name.empty() ? 0 : ++count->second);
      continue;
    }
    if (m[1] == "/") continue;
    const std::size_t start = static_cast<std::size_t>(m.position(0) + m.length(0));
    SvgText text;
    text.content = unescape(svg.substr(start, svg.find("</text>", start) - start));
    text.css_class = attribute(m[3], "class");
    for (auto g = groups.rbegin(); g != groups.rend(); ++g) {
      if (!g->first.empty()) {
        text.group = g->first;
        text.group_number = g->second;
        break;
      }
    }
    const double x = std::stod(attribute(m[3], "x")), y = std::stod(attribute(m[3], "y"));
    const double size = std::stod(attribute(m[3], "font-size"));
    const double width = text_width(text.content, size, attribute(m[3], "font-weight") == "bold");
    const std::string anchor = attribute(m[3], "text-anchor");
    const double left = anchor == "middle" ? x - width / 2 : anchor == "end" ? x - width : x;
    Box box{left, y - size, left + width, y + size / 4};
    std::smatch r;
    const std::string transform = attribute(m[3], "transform");
    if (std::regex_match(transform, r, std::regex("rotate\\(([-0-9.]+) ([-0-9.]+) ([-0-9.]+)\\)"))) {
      const double a = std::stod(r[1]) * 3.14159265358979323846 / 180, cx = std::stod(r[2]), cy = std::stod(r[3]);
      Box turned{1e300, 1e300, -1e300, -1e300};
      for (const double px : {box.left, box.right}) {
        for (const double py : {box.top, box.bottom}) {
          const double tx = cx + (px - cx) * std::cos(a) - (py - cy) * std::sin(a);
          const double ty = cy + (px - cx) * std::sin(a) + (py - cy) * std::cos(a);
          turned = {std::min(turned.left, tx), std::min(turned.top, ty), std::max(turned.right, tx),
                    std::max(turned.bottom, ty)};
        }
      }
      box = turned;
    }
    text.box = box;
    texts.push_back(text);
  }
  return texts;
}

}  // namespace quorvel::reports::testing
