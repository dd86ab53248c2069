#pragma once

#include <string>
#include <vector>

namespace quorvel::reports {

// Text in the figures (SVG) and the report page (HTML): escaping, and the
// room a text takes when drawn.

/// Text made safe inside an XML or HTML element or attribute. A text in
/// valid UTF-8 keeps its characters; in any other text (names from files in
/// a single-byte code page) each byte above 127 is read as Windows-1252 and
/// written as a character reference. Control characters become '?'.
std::string xml_escape(const std::string& text);

/// An upper bound of the width in pixels of `text` drawn in a sans-serif
/// font of `font_size` pixels: for every printable ASCII character the larger
/// advance of DejaVu Sans and Liberation Sans (metrics of Arial and
/// Helvetica), the fonts that browsers and rsvg-convert take for
/// "sans-serif", with 6% to spare for hinting; any other byte counts one em.
/// So a text placed by these widths stays inside its box whichever of these
/// fonts draws it.
double text_width(const std::string& text, double font_size, bool bold = false);

/// `text` broken at blanks into lines no wider than `width` (text_width); a
/// word wider than a line is broken within (after '(', ',', '/' or ']' where
/// possible, else anywhere). Never empty: an empty text gives one empty line.
std::vector<std::string> wrap_text(const std::string& text, double width, double font_size, bool bold = false);

}  // namespace quorvel::reports
