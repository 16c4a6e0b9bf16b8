// The rename rule of copy and move: a target name typed with wildcards ("*.bak", "new.*",
// "??x") is applied to each source name.
#pragma once

#include <string>
#include <string_view>

namespace corvane {

// Name and mask are split at their last "." into base and extension. In each part, "*" copies the
// rest of the source's part, "?" copies the source's character at that place (a blank when the
// source is shorter, unless nothing was written yet), any other character is itself. Trailing
// blanks go, and a final "." too. "report.txt" with "*.bak" gives "report.bak"; a mask without
// wildcards gives the mask itself.
std::string ApplyNameMask(std::string_view name, std::string_view mask);

} // namespace corvane
