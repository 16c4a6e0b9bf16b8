// Code pages of the viewer: each page decodes a known sample, text goes back to the same bytes,
// a character a page has no place for is refused, and the start page follows the file's head.
#include "viewer/code_page.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane::viewer {
namespace {

using namespace std::string_literals;

TEST(CodePage, EachPageDecodesAKnownSampleAndEncodesItBack) {
  struct TCase {
    TCodePage Page;
    std::string Bytes;
    std::string Text;
  };
  const TCase cases[] = {
      {TCodePage::Utf8, "\xD0\xBF\xD1\x80\xD0\xB8", "при"},
      {TCodePage::Utf16Le, "\x3F\x04\x40\x04\x41\x00"s, "прA"},
      {TCodePage::Utf16Be, "\x04\x3F\x04\x40\x00\x41"s, "прA"},
      {TCodePage::Utf16Le, "\x3D\xD8\x00\xDE"s, "\xF0\x9F\x98\x80"}, // a surrogate pair
      {TCodePage::Cp1251, "\xCF\xF0\xE8\xE2\xE5\xF2", "Привет"},
      {TCodePage::Cp1250, "\x8A\xE8\xB9", "Ščą"},
      {TCodePage::Cp1252, "\x80\xE9\xF1", "€éñ"},
      {TCodePage::Ibm866, "\x8F\xE0\xA8", "При"},
      {TCodePage::Ibm437, "\x82\xB0\x9C", "é░£"},
      {TCodePage::Ibm852, "\xA5\x9F\xE0", "ąčÓ"},
      {TCodePage::Ibm850, "\x80\x9C\xA4", "Ç£ñ"},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(DecodeText(c.Bytes, c.Page), c.Text) << CodePageName(c.Page);
    EXPECT_EQ(EncodeText(c.Text, c.Page), c.Bytes) << CodePageName(c.Page);
  }
}

TEST(CodePage, BrokenBytesBecomeOneReplacementEach) {
  const std::string replacement = "\xEF\xBF\xBD";
  EXPECT_EQ(DecodeText("a\xFF"
                       "b",
                       TCodePage::Utf8),
            "a" + replacement + "b");
  // A lone surrogate costs one character and the units after it stay aligned.
  EXPECT_EQ(DecodeText("\x00\xD8\x41\x00"s, TCodePage::Utf16Le), replacement + "A");
  EXPECT_EQ(DecodeText("\x41\x00\x42"s, TCodePage::Utf16Le), "A" + replacement);
}

TEST(CodePage, TextAPageCannotHoldIsRefused) {
  EXPECT_FALSE(EncodeText("п", TCodePage::Cp1252));
  EXPECT_FALSE(EncodeText("€", TCodePage::Ibm866));
  EXPECT_FALSE(EncodeText("\xFF", TCodePage::Utf8)); // not UTF-8 to begin with
}

TEST(CodePage, TheStartPageFollowsTheHeadAndTheLanguage) {
  struct TCase {
    std::string Head;
    const char* Language;
    TCodePage Expected;
  };
  const TCase cases[] = {
      {"\xFF\xFEh\0"s, "cv_rus", TCodePage::Utf16Le},
      {"\xFE\xFF\0h"s, "cv_eng", TCodePage::Utf16Be},
      {"\xEF\xBB\xBFtext", "cv_rus", TCodePage::Utf8},
      {"plain ascii", "cv_rus", TCodePage::Utf8},
      {"\xD0\xBF\xD1", "cv_pol", TCodePage::Utf8}, // a sequence cut by the end of the head
      {"\xCF\xF0\xE8", "cv_rus", TCodePage::Cp1251},
      {"\xCF\xF0\xE8", "cv_cze", TCodePage::Cp1250},
      {"\xCF\xF0\xE8", "", TCodePage::Cp1252},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(DetectCodePage(c.Head, c.Language), c.Expected) << c.Head << " " << c.Language;
}

TEST(CodePage, TheHexColumnHasOneCharacterForEveryByteValue) {
  std::string every;
  for (int b = 0; b < 256; ++b)
    every += static_cast<char>(b);
  const auto characters = [](const std::string& utf8) {
    size_t count = 0;
    for (const char c : utf8)
      count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
  };
  for (int p = 0; p < CodePageCount; ++p) {
    const auto page = static_cast<TCodePage>(p);
    const std::string column = HexColumnText(every, page);
    EXPECT_EQ(characters(column), 256u) << CodePageName(page);
    EXPECT_EQ(column.substr(0, 32), std::string(32, '.')) << CodePageName(page);
    EXPECT_EQ(column.substr(32, 95), every.substr(32, 95)) << CodePageName(page);
  }
  EXPECT_EQ(HexColumnText("\xCF\xFF", TCodePage::Cp1251), "Пя");
  EXPECT_EQ(HexColumnText("\xCF\xFF", TCodePage::Utf8), "..");
}

} // namespace
} // namespace corvane::viewer
