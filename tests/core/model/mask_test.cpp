#include "model/mask.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(MatchesMask, FollowsTheMaskRule) {
  struct Case {
    const char* Name;
    const char* Mask;
    bool Matches;
  };
  const Case cases[] = {
      {"anything.txt", "*.*", true},
      {"readme", "*.*", true},
      {"readme", "*", true},
      {"x.txt", "*", false},
      {"abc.txt", "A?C.TXT", true},
      {"abcd.txt", "A?C.TXT", false},
      {"x.txt", "*.T*", true},
      {"y.t", "*.T*", true},
      {"z.doc", "*.T*", false},
      {"notes.txt", "*.txt", true},
      {"readme", "*.txt", false},
      // Name and mask split at their first dot: the extension of a.tar.gz is "tar.gz".
      {"a.tar.gz", "*.gz", false},
      {"a.tar.gz", "*.tar.gz", true},
      {"a.tar.gz", "a.*", true},
      // A "*" ends the comparison; the name part must be at least as long as the text before it.
      {"b", "b*", true},
      {"", "b*", false},
      {"ab.c", "abc*.*", false},
      // Lists: "," and ";" both separate; an empty item matches only an empty name.
      {"pic.gif", "*.bmp;*.gif", true},
      {"pic.gif", "*.bmp,*.gif", true},
      {"pic.png", "*.bmp;*.gif", false},
      {"", "*.bmp,", true},
      {"x", "*.bmp,", false},
      // Only ASCII letters fold.
      {"\xc3\xa4.txt", "\xc3\x84.txt", false},
      {"MiXeD.TxT", "mixed.txt", true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MatchesMask(c.Name, c.Mask), c.Matches) << c.Name << " ~ " << c.Mask;
}

} // namespace
} // namespace corvane
