// Form descriptions in the binary component stream, written here byte by byte, turned into
// their text form: every value type, nested objects and collections, and streams that end early
// or nest without end.
#include "resources/form_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace corvane::resources {
namespace {

// A stream written the way the class library writes it.
struct TStream {
  TStream() { Raw("TPF0"); }

  std::vector<uint8_t> Bytes;

  TStream& Byte(uint8_t b) {
    Bytes.push_back(b);
    return *this;
  }
  TStream& Raw(const std::string& text) {
    Bytes.insert(Bytes.end(), text.begin(), text.end());
    return *this;
  }
  TStream& U32(uint32_t v) {
    for (int i = 0; i < 4; ++i)
      Byte(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  TStream& Short(const std::string& text) {
    return Byte(static_cast<uint8_t>(text.size())).Raw(text);
  }
  TStream& Object(const std::string& cls, const std::string& name) {
    return Short(cls).Short(name);
  }
  TStream& Prop(const std::string& name) { return Short(name); }
  TStream& End() { return Byte(0); }
};

std::vector<std::string> Lines(const TStream& s) {
  const auto lines = FormTextLines(s.Bytes);
  return lines ? *lines : std::vector<std::string>{"<not a form>"};
}

TEST(FormText, EveryValueTypeInItsTextForm) {
  TStream s;
  s.Object("TForm1", "Form1");
  s.Prop("Tag").Byte(2).Byte(0xFE);                                       // int8 -2
  s.Prop("Left").Byte(3).Byte(0x34).Byte(0x12);                           // int16
  s.Prop("Width").Byte(4).U32(100000);                                    // int32
  s.Prop("Big").Byte(19).U32(0).U32(1);                                   // int64 2^32
  s.Prop("Caption").Byte(6).Short("It's");                                // string
  s.Prop("Color").Byte(7).Short("clBtnFace");                             // identifier
  s.Prop("Visible").Byte(8).Prop("Enabled").Byte(9);                      // booleans
  s.Prop("Style").Byte(11).Short("fsBold").Short("fsItalic").End();       // set
  s.Prop("Hint").Byte(12).U32(5).Raw("hello");                            // long string
  s.Prop("Wide").Byte(18).U32(2).Byte(0xAC).Byte(0x20).Byte('x').Byte(0); // UTF-16 "€x"
  s.Prop("Utf8").Byte(20).U32(2).Raw("\xC3\xA9");                         // UTF-8 "é"
  s.Prop("Link").Byte(13);                                                // nil
  // 1.5 as an 80-bit extended: mantissa 0xC000000000000000, exponent 16383.
  s.Prop("Ratio").Byte(5).U32(0).U32(0xC0000000).Byte(0xFF).Byte(0x3F);
  s.Prop("Scale").Byte(15).U32(0x40200000);                         // single 2.5
  s.Prop("Price").Byte(16).U32(12345).U32(0);                       // currency 1.2345
  s.Prop("Items").Byte(1).Byte(6).Short("a").Byte(2).Byte(7).End(); // list
  s.Prop("Data").Byte(10).U32(3).Byte(1).Byte(0xAB).Byte(0xFF);     // binary
  s.End();
  s.Object("TButton", "OK").Prop("Default").Byte(9).End().End(); // a child, no children
  s.End();
  const std::vector<std::string> expected = {
      "object Form1: TForm1",
      "  Tag = -2",
      "  Left = 4660",
      "  Width = 100000",
      "  Big = 4294967296",
      "  Caption = 'It''s'",
      "  Color = clBtnFace",
      "  Visible = False",
      "  Enabled = True",
      "  Style = [fsBold, fsItalic]",
      "  Hint = 'hello'",
      "  Wide = '\xE2\x82\xAC"
      "x'",
      "  Utf8 = '\xC3\xA9'",
      "  Link = nil",
      "  Ratio = 1.5",
      "  Scale = 2.5",
      "  Price = 1.2345",
      "  Items = (",
      "    'a'",
      "    7)",
      "  Data = {",
      "    01ABFF}",
      "  object OK: TButton",
      "    Default = True",
      "  end",
      "end",
  };
  EXPECT_EQ(Lines(s), expected);
}

TEST(FormText, CollectionsAndInheritedObjects) {
  TStream s;
  s.Byte(0xF1).Object("TFrame2", "Frame2"); // inherited
  s.Prop("Columns").Byte(14);
  s.Byte(1).Prop("Width").Byte(2).Byte(40).End();                 // item without an ordinal
  s.Byte(2).Byte(3).Byte(1).Prop("Width").Byte(2).Byte(50).End(); // item with ordinal 3
  s.End();                                                        // end of the collection
  s.End();                                                        // end of properties
  s.Byte(0xF2).Byte(2).Byte(0).Object("TPanel", "P").End().End(); // child with a position
  s.End();
  const std::vector<std::string> expected = {
      "inherited Frame2: TFrame2",
      "  Columns = <",
      "    item",
      "      Width = 40",
      "    end",
      "    item [3]",
      "      Width = 50",
      "    end>",
      "  object P: TPanel",
      "  end",
      "end",
  };
  EXPECT_EQ(Lines(s), expected);
}

TEST(FormText, BrokenStreamsShowWhatWasRead) {
  EXPECT_FALSE(FormTextLines(std::vector<uint8_t>{'T', 'P', 'F'}));
  EXPECT_FALSE(FormTextLines(std::vector<uint8_t>{'M', 'Z', 0, 0, 0}));

  // Every cut of a stream ends with the note; nothing is read past the cut.
  TStream s;
  s.Object("TForm1", "Form1").Prop("Caption").Byte(6).Short("Main").Prop("Data").Byte(10).U32(2);
  s.Byte(1).Byte(2).End().Object("TEdit", "E").Prop("Text").Byte(18).U32(1).Byte('x').Byte(0);
  s.End().End().End();
  const std::string note = "(the description ends here: the data is cut short or not understood)";
  ASSERT_NE(Lines(s).back(), note);
  for (size_t size = 4; size < s.Bytes.size(); ++size) {
    const std::vector<uint8_t> cut(s.Bytes.begin(), s.Bytes.begin() + size);
    const auto lines = FormTextLines(cut);
    ASSERT_TRUE(lines);
    EXPECT_EQ(lines->back(), note) << size;
  }

  // Lengths that point past the end, an unknown value type, and endless nesting.
  TStream longString;
  longString.Object("T", "A").Prop("Hint").Byte(12).U32(0xFFFFFFF0).Raw("abc");
  TStream unknown;
  unknown.Object("T", "A").Prop("X").Byte(99).End().End();
  TStream deep;
  for (int i = 0; i < 1000; ++i)
    deep.Object("T", "A").End();
  TStream deepList;
  deepList.Object("T", "A").Prop("L");
  for (int i = 0; i < 100000; ++i)
    deepList.Byte(1);
  for (const TStream* broken : {&longString, &unknown, &deep, &deepList}) {
    const std::vector<std::string> lines = Lines(*broken);
    EXPECT_EQ(lines.front(), "object A: T");
    EXPECT_EQ(lines.back(), note);
    EXPECT_LT(lines.size(), 100u);
  }
}

} // namespace
} // namespace corvane::resources
