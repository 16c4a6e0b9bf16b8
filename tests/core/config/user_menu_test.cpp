#include "config/user_menu.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvane::config {
namespace {

using TEntries = std::vector<TUserMenuEntry>;

TEST(UserMenu, TwoEntriesAreEightLinesAndReadBack) {
  const TEntries entries{{"Terminal", "x-terminal-emulator"}, {"Notes", "'/opt/my ed/ed' -n"}};
  const std::string text = FormatUserMenu(entries);
  EXPECT_EQ(text, "2\r\n \r\nTerminal\r\nx-terminal-emulator\r\n \r\nNotes\r\n'/opt/my "
                  "ed/ed' -n\r\n \r\n");
  EXPECT_EQ(ParseUserMenu(text, "CP1252"), entries);
  test::TTempFolder dir;
  ASSERT_TRUE(WriteUserMenu(dir.Native("cv.mnu"), entries));
  EXPECT_EQ(ReadUserMenu(dir.Native("cv.mnu"), "CP1252"), entries);
  EXPECT_TRUE(ReadUserMenu(dir.Native("missing.mnu"), "CP1252").empty());
}

TEST(UserMenu, OlderAndDamagedFilesGiveASaneList) {
  const struct {
    const char* What;
    std::string Text;
    TEntries Entries;
  } cases[] = {
      {"separators hold anything, LF alone ends lines",
       "2\nxx\na\ncmd a\nyy\nb\ncmd b\nzz\n",
       {{"a", "cmd a"}, {"b", "cmd b"}}},
      {"only the counted entries", "1\r\n \r\na\r\nx\r\n \r\nb\r\ny\r\n \r\n", {{"a", "x"}}},
      {"a count larger than the lines", "5\n \na\nx\n \nb\n", {{"a", "x"}, {"b", ""}}},
      {"a huge count", "99999999999999999999999\n \na\nx\n", {{"a", "x"}}},
      {"a negative count", "-3\n \na\nx\n", {}},
      {"no number", "many\n \na\nx\n", {}},
      {"an empty file", "", {}},
      {"control bytes and a NUL are dropped",
       std::string("1\n \nca\x01p\x7f\n/bin/e\0cho hi\n", 24),
       {{"cap", "/bin/echo hi"}}},
      {"a legacy line in the language's code page",
       "1\n \n\xcf\xf0\xee\n\xe0.exe\n",
       {{"\u041f\u0440\u043e", "\u0430.exe"}}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ParseUserMenu(c.Text, "CP1251"), c.Entries) << c.What;
}

} // namespace
} // namespace corvane::config
