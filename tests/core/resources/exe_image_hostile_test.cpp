// Malformed and hostile images: copies of res32.dll with bytes patched, and resources cut short.
// Whatever the bytes say, the reader must stay inside the file, end its walks, and refuse what it
// cannot read with its own texts. The sanitizer build runs these too.
#include "resource_fixtures.h"

#include <gtest/gtest.h>

#include <functional>

namespace corvane::resources {
namespace {

using test::FixturePath;
using test::WalkEverything;

// res32.dll in memory with helpers to patch it: offsets of the PE headers and of the resource
// section, found once from the untouched file.
class THostileImage {
public:
  THostileImage() : Bytes(test::FileBytes(FixturePath("res32.dll"))) {
    TExeImage image(Bytes, "res32.dll");
    Pe = Le32(&Bytes[0x3C]);
    const auto& sections = image.Sections();
    for (size_t i = 0; i < sections.size(); ++i)
      if (sections[i].Name == ".rsrc") {
        RsrcHeader = Pe + 24 + Le16(&Bytes[Pe + 20]) + 40 * i;
        Root = sections[i].RawPosition;
      }
  }

  void Put16(size_t at, uint16_t value) {
    Bytes.at(at) = static_cast<uint8_t>(value);
    Bytes.at(at + 1) = static_cast<uint8_t>(value >> 8);
  }
  void Put32(size_t at, uint32_t value) {
    Put16(at, static_cast<uint16_t>(value));
    Put16(at + 2, static_cast<uint16_t>(value >> 16));
  }
  TExeImage Open() const { return TExeImage(Bytes, "hostile.dll"); }

  // File offset of entry `index` of the directory at `directory` (from the resource root).
  size_t EntryAt(uint32_t directory, size_t index) const {
    return Root + directory + 16 + 8 * index;
  }
  // The directory offset (from the resource root) of the type with id `type`; 0 when none.
  uint32_t TypeDirectory(uint32_t type) const {
    TExeImage image = Open();
    for (const TDirEntry& e :
         image.Resources() ? image.Directory()->Entries(0) : std::vector<TDirEntry>{})
      if (!e.IsNamed() && e.Id() == type)
        return e.Target();
    return 0;
  }

  std::vector<uint8_t> Bytes;
  size_t Pe = 0;
  size_t RsrcHeader = 0;
  size_t Root = 0;
};

TEST(ExeImageHostile, DirectoryPointingAtItselfEndsTheWalk) {
  THostileImage file;
  // The first type (AVI) points at the root directory instead of its own.
  file.Put32(file.EntryAt(0, 0) + 4, 0x80000000);
  TExeImage image = file.Open();
  TResourceItem& avi = image.Resources()->Item(0);
  ASSERT_TRUE(avi.IsList());
  EXPECT_EQ(avi.GetResourceList().Count(), 0u) << "the root is listed once";
  EXPECT_TRUE(avi.GetResourceList().Truncated());
  EXPECT_GT(WalkEverything(image), 20u);
}

TEST(ExeImageHostile, ResourcePointingAtItsTypeDirectoryHasNoData) {
  THostileImage file;
  const uint32_t bitmaps = file.TypeDirectory(2);
  ASSERT_NE(bitmaps, 0u);
  file.Put32(file.EntryAt(bitmaps, 0) + 4, 0x80000000 | bitmaps);
  TExeImage image = file.Open();
  TResourceItem& first = test::Find(*image.Resources(), "Bitmap")->GetResourceList().Item(0);
  EXPECT_FALSE(first.IsList()) << "no level below the languages";
  EXPECT_EQ(first.RawSize(), 0u);
  EXPECT_THROW(first.FileImage(), EExeError);
  // The raw walk meets the directory twice and walks it once.
  size_t bitmapLeaves = 0;
  image.Directory()->WalkLeaves([&](const TResourceLeaf& leaf) {
    bitmapLeaves += !leaf.Type.Named && leaf.Type.Id == 2;
    return true;
  });
  EXPECT_EQ(bitmapLeaves, 4u);
}

TEST(ExeImageHostile, HugeCountsAreCutToTheFile) {
  THostileImage file;
  file.Put16(file.Root + 12, 0xFFFF);
  file.Put16(file.Root + 14, 0xFFFF);
  TExeImage image = file.Open();
  const size_t room = (file.Bytes.size() - file.Root - 16) / 8;
  EXPECT_LE(image.Resources()->Count(), room);
  WalkEverything(image);
}

TEST(ExeImageHostile, DataOutsideTheFileIsRefused) {
  const struct {
    uint32_t Rva, Size;
  } cases[] = {{0xFFFFFFF0, 0x100}, {0, 0xFFFFFFFF}, {0x7FFFFFFF, 1}};
  for (const auto& c : cases) {
    THostileImage file;
    const uint32_t rcdata = file.TypeDirectory(10);
    // RCData -> CONFIG -> first language -> data entry.
    TDirEntry name, language;
    TExeImage probe = file.Open();
    probe.Resources();
    ASSERT_TRUE(probe.Directory()->FirstEntry(rcdata, name));
    ASSERT_TRUE(probe.Directory()->FirstEntry(name.Target(), language));
    const size_t dataEntry = file.Root + language.Target();
    const uint32_t rva = c.Rva ? c.Rva : Le32(&file.Bytes[dataEntry]);
    file.Put32(dataEntry, rva);
    file.Put32(dataEntry + 4, c.Size);
    TExeImage image = file.Open();
    TResourceItem& config = test::Find(*image.Resources(), "RCData")->GetResourceList().Item(0);
    EXPECT_EQ(config.RawSize(), c.Size);
    EXPECT_TRUE(config.RawData().empty());
    try {
      config.FileImage();
      ADD_FAILURE() << "no error";
    } catch (const EExeError& error) {
      EXPECT_STREQ(error.what(), "Resource data lies outside the file");
    }
  }
}

TEST(ExeImageHostile, NameOutsideTheFileIsEmpty) {
  THostileImage file;
  file.Put32(file.EntryAt(0, 0), 0xFFFFFFF0);
  TExeImage image = file.Open();
  EXPECT_EQ(image.Resources()->Item(0).GetName(), "");
  EXPECT_TRUE(image.Resources()->Item(0).IsNamed());
}

TEST(ExeImageHostile, BrokenHeaders) {
  const struct {
    const char* What;
    std::function<void(THostileImage&)> Patch;
    int Status; // after Resources()
    size_t RootCount;
  } cases[] = {
      {"PE offset past the end", [](THostileImage& f) { f.Put32(0x3C, 0xFFFFFFF0); }, rsNotPE, 0},
      {"PE offset near the end",
       [](THostileImage& f) { f.Put32(0x3C, static_cast<uint32_t>(f.Bytes.size() - 10)); }, rsNotPE,
       0},
      {"no PE signature", [](THostileImage& f) { f.Bytes[f.Pe + 1] = 'X'; }, rsNotPE, 0},
      {"optional header past the end", [](THostileImage& f) { f.Put16(f.Pe + 20, 0xFFFF); },
       rsNotPE, 0},
      {"section count 65535", [](THostileImage& f) { f.Put16(f.Pe + 6, 0xFFFF); }, rsReady, 11},
      {"section named .RSRC", [](THostileImage& f) { f.Put32(f.RsrcHeader + 1, 0x43525352); },
       rsReady, 11},
      {"section named .rsrc2", [](THostileImage& f) { f.Bytes[f.RsrcHeader + 5] = '2'; },
       rsNoResources, 0},
      {"resource data past the end",
       [](THostileImage& f) { f.Put32(f.RsrcHeader + 20, 0xFFFFFF00); }, rsReady, 0},
      {"resource section without raw data", [](THostileImage& f) { f.Put32(f.RsrcHeader + 16, 0); },
       rsReady, 0},
  };
  for (const auto& c : cases) {
    THostileImage file;
    c.Patch(file);
    TExeImage image = file.Open();
    TResourceList* root = image.Resources();
    EXPECT_EQ(image.ResourceStatus(), c.Status) << c.What;
    EXPECT_EQ(root ? root->Count() : 0, c.RootCount) << c.What;
    WalkEverything(image);
  }
}

TEST(ExeImageHostile, CutFilesAreReadAsFarAsTheyGo) {
  const std::vector<uint8_t> whole = test::FileBytes(FixturePath("res32.dll"));
  for (size_t size = 2; size < whole.size(); size += size < 0x900 ? 7 : 97) {
    TExeImage image(std::vector<uint8_t>(whole.begin(), whole.begin() + size), "cut.dll");
    WalkEverything(image);
  }
}

TEST(ExeImageHostile, GroupCountLargerThanItsData) {
  THostileImage file;
  TExeImage clean = file.Open();
  TResourceItem& group = test::Find(*clean.Resources(), "Icon")->GetResourceList().Item(0);
  uint64_t at = 0;
  ASSERT_TRUE(clean.RvaToOffset(group.StoredData().Rva, 6, at));
  file.Put16(at + 4, 0xFFFF);
  TExeImage image = file.Open();
  TResourceItem& patched = test::Find(*image.Resources(), "Icon")->GetResourceList().Item(0);
  EXPECT_EQ(patched.GetResourceList().Count(), 3u);
}

// Every word of the directory area overwritten in turn with values that point outside, at the
// root, at the top bit, or nowhere: each image must be walked to its end without a fault.
TEST(ExeImageHostile, EveryDirectoryWordOverwritten) {
  const THostileImage clean;
  const size_t end = std::min(clean.Bytes.size(), clean.Root + 0x600);
  for (size_t at = clean.Root; at + 4 <= end; at += 4) {
    for (const uint32_t value : {0xFFFFFFFFu, 0x80000000u, 0x80000010u, 0x00000010u}) {
      THostileImage file = clean;
      file.Put32(at, value);
      TExeImage image = file.Open();
      WalkEverything(image);
    }
  }
}

// Each decoder given every prefix of a real resource, in a buffer of exactly that size so that
// the sanitizer sees any read past it.
TEST(ExeImageDecoders, CutResourcesAreDecodedInsideTheirData) {
  TExeImage image(FixturePath("res32.dll"));
  const auto data = [&](std::string_view type, std::string_view name) {
    const TBytes bytes = test::Find(test::Find(*image.Resources(), type)->GetResourceList(), name)
                             ->StoredData()
                             .Bytes;
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
  };
  const struct {
    std::string What;
    std::vector<uint8_t> Whole;
    std::function<bool(TBytes)> Complete; // decodes, and says whether all of it was there
    bool CutIsIncomplete = true;          // every shorter prefix must decode as incomplete
  } cases[] = {
      {"menu", data("Menu", "2"),
       [](TBytes b) {
         const auto menu = DecodeMenu(b);
         return menu && menu->Complete;
       }},
      {"dialog", data("Dialog", "100"),
       [](TBytes b) {
         const auto dialog = DecodeDialog(b);
         return dialog && dialog->Complete;
       }},
      {"extended dialog", data("Dialog", "101"),
       [](TBytes b) {
         const auto dialog = DecodeDialog(b);
         return dialog && dialog->Complete;
       }},
      {"string block", data("String", "1"),
       [](TBytes b) {
         const auto strings = DecodeStringBlock(b, 1);
         return strings.size() == 3 && strings[2].Text.size() == 11;
       },
       false}, // the empty slots at its end can go unnoticed
      {"version", data("Version", "1"),
       [](TBytes b) {
         const auto info = DecodeVersionInfo(b);
         return info && info->Translations.size() == 1;
       }},
      {"icon group", data("Icon", "1"), [](TBytes b) { return ReadGroupDirectory(b).size() == 3; }},
      {"bitmap", data("Bitmap", "1"),
       [](TBytes b) { return BitmapFileImage(b).size() == b.size() + 14; }, false},
      {"cursor",
       std::vector<uint8_t>(image.CursorType()->GetResourceList().Item(0).RawData().begin(),
                            image.CursorType()->GetResourceList().Item(0).RawData().end()),
       [](TBytes b) { return CursorFileImage(b, nullptr).size() == b.size() + 18; }, false},
  };
  for (const auto& c : cases) {
    ASSERT_FALSE(c.Whole.empty()) << c.What;
    EXPECT_TRUE(c.Complete(c.Whole)) << c.What;
    for (size_t size = 0; size < c.Whole.size(); ++size) {
      const std::vector<uint8_t> cut(c.Whole.begin(), c.Whole.begin() + size);
      const bool complete = c.Complete(cut);
      if (c.CutIsIncomplete) {
        EXPECT_FALSE(complete) << c.What << " cut to " << size;
      }
    }
  }
}

} // namespace
} // namespace corvane::resources
