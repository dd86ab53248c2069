#include "reports/markup_text.hpp"

#include "core/format.hpp"

namespace quorvel::reports {

namespace {

// Advance widths in thousandths of an em of the characters 32..126: the
// larger of DejaVu Sans and Liberation Sans, regular and bold (read from the
// fonts' hmtx tables).
constexpr int kRegularWidths[95] = {318,  401, 460, 838, 636, 950, 780, 275, 390, 390, 500, 838, 318, 361, 318, 337,  //
                                    636,  636, 636, 636, 636, 636, 636, 636, 636, 636, 337, 337, 838, 838, 838, 556,  //
                                    1015, 684, 686, 722, 770, 667, 611, 778, 752, 295, 500, 667, 557, 863, 748, 787,  //
                                    667,  787, 722, 667, 611, 732, 684, 989, 685, 667, 685, 390, 337, 390, 838, 556,  //
                                    500,  613, 635, 550, 635, 615, 352, 635, 634, 278, 278, 579, 278, 974, 634, 612,  //
                                    635,  635, 411, 521, 392, 634, 592, 818, 592, 592, 525, 636, 337, 636, 838};
constexpr int kBoldWidths[95] = {348,  456, 521, 838, 696, 1002, 872, 306,  457, 457, 523, 838, 380, 415,  380, 365,  //
                                 696,  696, 696, 696, 696, 696,  696, 696,  696, 696, 400, 400, 838, 838,  838, 611,  //
                                 1000, 774, 762, 734, 830, 683,  683, 821,  837, 372, 556, 775, 637, 995,  837, 850,  //
                                 733,  850, 770, 720, 682, 812,  774, 1103, 771, 724, 725, 457, 365, 457,  838, 556,  //
                                 500,  675, 716, 593, 716, 678,  435, 716,  712, 343, 343, 665, 343, 1042, 712, 687,  //
                                 716,  716, 493, 595, 478, 712,  652, 924,  645, 652, 582, 712, 365, 712,  838};
constexpr double kSpare = 1.06;

// Unicode code points of the bytes 0x80..0x9F in Windows-1252 (0xFFFD where
// the code page has none); 0xA0..0xFF are those of Latin-1.
constexpr int kWindows1252[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                  0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

bool valid_utf8(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t extra = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
    } else if (c >= 0x80) {
      return false;
    }
    if (text.size() - i <= extra) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += extra + 1;
  }
  return true;
}

double char_width(char c, bool bold) {
  const auto code = static_cast<unsigned char>(c);
  if (code < 32 || code > 126) return 1.0;
  return (bold ? kBoldWidths : kRegularWidths)[code - 32] / 1000.0;
}

// Where a word too long for a line may be broken: after these characters.
bool break_after(char c) { return c == '(' || c == ',' || c == '/' || c == ']' || c == ')' || c == '-'; }

}  // namespace

std::string xml_escape(const std::string& text) {
  const bool utf8 = valid_utf8(text);
  std::string out;
  for (char c : text) {
    const auto code = static_cast<unsigned char>(c);
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
      default:
        if (code < 32 || code == 127) {
          out += '?';  // not allowed in XML 1.0
        } else if (code < 128 || utf8) {
          out += c;
        } else {
          out += core::format("&#%d;", code < 0xA0 ? kWindows1252[code - 0x80] : static_cast<int>(code));
        }
    }
  }
  return out;
}

double text_width(const std::string& text, double font_size, bool bold) {
  double ems = 0;
  for (char c : text) ems += char_width(c, bold);
  return ems * font_size * kSpare;
}

std::vector<std::string> wrap_text(const std::string& text, double width, double font_size, bool bold) {
  auto fits = [&](const std::string& candidate) { return text_width(candidate, font_size, bold) <= width; };
  std::vector<std::string> lines;
  std::string line;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    std::string word = text.substr(at, end - at);
    at = end + 1;
    if (word.empty()) continue;
    if (fits(line.empty() ? word : line + " " + word)) {
      line = line.empty() ? word : line + " " + word;
      continue;
    }
    if (!line.empty()) lines.push_back(line);
    // A word wider than a line is cut: after the last break character that
    // fits, else after the last character that fits.
    while (!fits(word)) {
      std::size_t cut = 0;
      std::size_t last_break = 0;
      while (cut < word.size() && fits(word.substr(0, cut + 1))) {
        ++cut;
        if (break_after(word[cut - 1])) last_break = cut;
      }
      cut = last_break > 0 ? last_break : cut > 0 ? cut : 1;
      lines.push_back(word.substr(0, cut));
      word.erase(0, cut);
    }
    line = word;
  }
  if (!line.empty() || lines.empty()) lines.push_back(line);
  return lines;
}

}  // namespace quorvel::reports
