// Names of a browser's listing, for comparing whole listings in one expectation.
#pragma once

#include "model/browser.h"

#include <string>
#include <vector>

namespace corvane::test {

using Names = std::vector<std::string>;

inline Names Listing(const TBrowser& browser) {
  Names names;
  for (int i = 1; i <= browser.Count(); ++i)
    names.push_back(browser.EntryName(i));
  return names;
}

inline Names Marked(const TBrowser& browser) {
  Names names;
  for (int i = 1; i <= browser.Count(); ++i)
    if (browser.IsMarked(i))
      names.push_back(browser.EntryName(i));
  return names;
}

} // namespace corvane::test
