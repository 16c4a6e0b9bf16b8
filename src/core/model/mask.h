// The one file-name mask rule of the program, used by the listing filter, selection by mask, find
// files and the quick search.
//
// A mask list is separated by "," or ";". Mask and name are each split at their FIRST dot into a
// name part and an extension part, and the two pairs are compared separately, ignoring ASCII case:
// "?" matches any one character; a "*" ends the comparison of its part, which must then be at least
// as long as the text before the "*"; without "*" both parts must be equally long. So "*.*"
// matches everything, "*" only names without an extension, and "*.T*" both "x.txt" and "y.t".
#pragma once

#include <string_view>

namespace corvane {

bool MatchesMask(std::string_view name, std::string_view masks);

} // namespace corvane
