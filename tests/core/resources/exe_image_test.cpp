// The resource reader on real images: res32.dll and res64.dll hold one resource of each kind the
// reader decodes (fixtures/res32.rc, res64.rc), the corpus holds a 16-bit and a DOS program.
#include "resource_fixtures.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>
#include <ostream>
#include <sstream>
#include <tuple>

namespace corvane::resources {

void PrintTo(const TNameOrId& field, std::ostream* out) {
  if (!field.Present)
    *out << "(absent)";
  else if (field.IsId)
    *out << "#" << field.Id;
  else
    *out << '"' << field.Name << '"';
}

namespace {

using test::CorpusPath;
using test::Find;
using test::FixturePath;
using test::Names;
using test::Text;

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EExeError& error) {
    return error.what();
  }
  return "(no error)";
}

TResourceItem& Resource(TExeImage& image, std::string_view type, std::string_view name) {
  TResourceItem* typeItem = Find(*image.Resources(), type);
  if (!typeItem)
    throw std::runtime_error("no type " + std::string(type));
  TResourceItem* item = Find(typeItem->GetResourceList(), name);
  if (!item)
    throw std::runtime_error("no resource " + std::string(name));
  return *item;
}

TEST(ExeImageOpen, RefusesWhatIsNoImage) {
  corvane::test::TTempFolder folder;
  const std::string empty = folder.File("empty.exe");
  const std::string text = folder.Native("text.exe");
  corvane::test::WriteFile(text, "MS-DOS is not MZ");
  const std::string oneByte = folder.Native("m.exe");
  corvane::test::WriteFile(oneByte, "M");
  const std::string folderPath = folder.Folder("folder.exe");
  const std::string missing = folder.Native("missing.dll");
  const std::string fifo = folder.Native("fifo.exe"); // opening it must not wait for a writer
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string huge =
      folder.File("huge.dll", static_cast<int64_t>(TExeImage::MaxFileSize) + 1); // sparse
  const struct {
    std::string Path;
    std::string Error;
  } cases[] = {
      {missing, "Couldn't open: " + missing}, {folderPath, "Couldn't open: " + folderPath},
      {fifo, "Couldn't open: " + fifo},       {empty, "CreateFileMapping failed"},
      {huge, "MapViewOfFile failed"},         {text, "unrecognized file format"},
      {oneByte, "unrecognized file format"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ErrorOf([&] { TExeImage image(c.Path); }), c.Error) << c.Path;
  EXPECT_EQ(ErrorOf([] { TExeImage image(std::vector<uint8_t>{}, "memory"); }),
            "CreateFileMapping failed");
}

TEST(ExeImageOpen, StatusTellsWhatCanBeRead) {
  const struct {
    std::string Path;
    int AtCreation, AfterResources;
  } cases[] = {
      {FixturePath("res32.dll"), rsReady, rsReady},
      {FixturePath("res64.dll"), rsReady, rsReady},
      {FixturePath("nores32.dll"), rsReady, rsNoResources},
      {CorpusPath("radare2-testbins__anim8.exe"), rsNotPE, rsNotPE}, // 16-bit NE program
      {CorpusPath("radare2-testbins__cblp0.exe"), rsNotPE, rsNotPE}, // DOS program
  };
  for (const auto& c : cases) {
    TExeImage image(c.Path);
    EXPECT_EQ(image.ResourceStatus(), c.AtCreation) << c.Path;
    TResourceList* root = image.Resources();
    EXPECT_EQ(image.ResourceStatus(), c.AfterResources) << c.Path;
    EXPECT_EQ(root != nullptr, c.AfterResources == rsReady) << c.Path;
    EXPECT_EQ(image.Resources(), root) << "the root list is made once";
  }
}

TEST(ExeImageOpen, MemoryAndFileGiveTheSameTree) {
  TExeImage fromFile(FixturePath("res32.dll"));
  TExeImage fromMemory(test::FileBytes(FixturePath("res32.dll")), "copy.dll");
  EXPECT_EQ(fromMemory.FileName(), "copy.dll");
  EXPECT_EQ(Names(*fromMemory.Resources()), Names(*fromFile.Resources()));
  EXPECT_EQ(Text(Resource(fromMemory, "AVI", "CLIP").RawData()),
            Text(Resource(fromFile, "AVI", "CLIP").RawData()));
}

TEST(ExeImageTree, TypesAtTheRootWithoutTheImageTypes) {
  TExeImage image(FixturePath("res32.dll"));
  TResourceList& root = *image.Resources();
  EXPECT_EQ(Names(root),
            (std::vector<std::string>{"AVI", "Bitmap", "Menu", "Dialog", "String", "Accelerators",
                                      "RCData", "Cursor", "Icon", "Version", "240"}));
  EXPECT_EQ(root.ResType(), 0);
  ASSERT_NE(image.IconType(), nullptr);
  ASSERT_NE(image.CursorType(), nullptr);
  EXPECT_EQ(image.IconType()->GetName(), "IconEntry");
  EXPECT_EQ(image.CursorType()->GetName(), "CursorEntry");

  const struct {
    std::string Name, ResName;
    int32_t ChildType;
  } types[] = {
      {"AVI", "AVI", 0}, // a named type: the top bit of its name field makes it negative
      {"Bitmap", "Bitmap", 2},
      {"Version", "Version", 16},
      {"240", "#240", 240},
  };
  for (const auto& t : types) {
    TResourceItem* item = Find(root, t.Name);
    ASSERT_NE(item, nullptr) << t.Name;
    EXPECT_TRUE(item->IsList()) << t.Name;
    EXPECT_EQ(item->ResName(), t.ResName);
    EXPECT_EQ(item->RawSize(), 0u);
    EXPECT_EQ(item->Offset(), item->Entry().Target()) << "a list's offset is its directory's";
    const int32_t childType = item->GetResourceList().ResType();
    if (t.ChildType) {
      EXPECT_EQ(childType, t.ChildType) << t.Name;
    } else {
      EXPECT_LT(childType, 0) << t.Name;
    }
  }
}

TEST(ExeImageTree, ResourcesAreLeavesWithTheDataOfTheirFirstLanguage) {
  TExeImage image(FixturePath("res32.dll"));
  const TSection& rsrc = image.Sections().back();
  ASSERT_EQ(rsrc.Name, ".rsrc");

  TResourceItem& config = Resource(image, "RCData", "CONFIG");
  EXPECT_FALSE(config.IsList());
  EXPECT_EQ(Text(config.RawData()), "de-data") << "German (1031) is stored before English (1033)";
  EXPECT_EQ(config.RawSize(), 7u);
  EXPECT_EQ(config.ResName(), "CONFIG");
  EXPECT_GE(config.Offset(), rsrc.VirtualAddress) << "a resource's offset is its data's RVA";
  EXPECT_LT(config.Offset(), rsrc.VirtualAddress + rsrc.VirtualSize);
  EXPECT_EQ(ErrorOf([&] { config.GetResourceList(); }), "ResourceItem is not a list");

  TResourceItem& custom = Resource(image, "240", "5");
  EXPECT_EQ(custom.ResName(), "#5");
  EXPECT_EQ(custom.ResType(), 240);
  EXPECT_EQ(Text(custom.RawData()), std::string("custom\x34\x12"));
  EXPECT_EQ(custom.FileImage(),
            std::vector<uint8_t>(custom.RawData().begin(), custom.RawData().end()));

  const std::string clip = Text(Resource(image, "AVI", "CLIP").RawData());
  EXPECT_EQ(clip.substr(0, 4), "RIFF");
  EXPECT_EQ(clip.substr(8, 4), "AVI ");
}

// The one-image icon or cursor file: header, one directory entry, the image.
struct TIconFile {
  uint16_t Kind = 0, Count = 0;
  uint8_t Width = 0, Height = 0, Colors = 0;
  uint16_t PlanesOrHotX = 0, BitsOrHotY = 0;
  uint32_t Bytes = 0, Offset = 0;
  std::vector<uint8_t> Image;
};

TIconFile ParseIconFile(const std::vector<uint8_t>& file) {
  TIconFile f;
  if (file.size() < 22)
    return f;
  f.Kind = Le16(&file[2]);
  f.Count = Le16(&file[4]);
  f.Width = file[6];
  f.Height = file[7];
  f.Colors = file[8];
  f.PlanesOrHotX = Le16(&file[10]);
  f.BitsOrHotY = Le16(&file[12]);
  f.Bytes = Le32(&file[14]);
  f.Offset = Le32(&file[18]);
  f.Image.assign(file.begin() + 22, file.end());
  return f;
}

TEST(ExeImageIcons, GroupListsItsImagesNamedByTheirEntries) {
  TExeImage image(FixturePath("res32.dll"));
  TResourceItem& group = Resource(image, "Icon", "1");
  ASSERT_TRUE(group.IsList());
  TResourceList& images = group.GetResourceList();
  EXPECT_EQ(Names(images), (std::vector<std::string>{"32 X 32 16 Colors", "16 X 16 0 Colors",
                                                     "256 X 256 0 Colors"}));
  const struct {
    uint8_t Width, Colors;
    uint16_t Bits;
  } expected[] = {{32, 16, 4}, {16, 0, 8}, {0, 0, 32}};
  for (size_t i = 0; i < images.Count(); ++i) {
    TResourceItem& item = images.Item(i);
    EXPECT_EQ(item.ResType(), 3);
    EXPECT_EQ(&item, &image.IconType()->GetResourceList().Item(i)) << "the images are shared";
    const TIconFile file = ParseIconFile(item.FileImage());
    EXPECT_EQ(file.Kind, 1);
    EXPECT_EQ(file.Count, 1);
    EXPECT_EQ(file.Width, expected[i].Width);
    EXPECT_EQ(file.Height, expected[i].Width);
    EXPECT_EQ(file.Colors, expected[i].Colors);
    EXPECT_EQ(file.PlanesOrHotX, 1);
    EXPECT_EQ(file.BitsOrHotY, expected[i].Bits);
    EXPECT_EQ(file.Bytes, item.RawSize());
    EXPECT_EQ(file.Offset, 22u);
    EXPECT_EQ(file.Image, std::vector<uint8_t>(item.RawData().begin(), item.RawData().end()));
  }
  EXPECT_EQ(Text(TBytes(ParseIconFile(images.Item(2).FileImage()).Image)).substr(1, 3), "PNG");
}

TEST(ExeImageIcons, ImageOutsideAGroupDescribesItself) {
  TExeImage image(FixturePath("res32.dll"));
  TResourceList& images = image.IconType()->GetResourceList();
  EXPECT_EQ(Names(images), (std::vector<std::string>{"1", "2", "3"}));
  const TIconFile small = ParseIconFile(images.Item(0).FileImage());
  EXPECT_EQ(small.Width, 32);
  EXPECT_EQ(small.Height, 32);
  EXPECT_EQ(small.Colors, 16);
  EXPECT_EQ(small.BitsOrHotY, 4);
  const TIconFile png = ParseIconFile(images.Item(2).FileImage());
  EXPECT_EQ(png.Width, 0) << "256 is stored as 0";
  EXPECT_EQ(png.BitsOrHotY, 32);
}

TEST(ExeImageIcons, CursorGroupAndCursorFileWithItsHotspot) {
  TExeImage image(FixturePath("res32.dll"));
  TResourceList& cursors = Resource(image, "Cursor", "1").GetResourceList();
  ASSERT_EQ(Names(cursors), std::vector<std::string>{"32 X 32 1 Bit(s)"});
  TResourceItem& cursor = cursors.Item(0);
  EXPECT_EQ(cursor.ResType(), 1);
  const TIconFile file = ParseIconFile(cursor.FileImage());
  EXPECT_EQ(file.Kind, 2);
  EXPECT_EQ(file.Width, 32);
  EXPECT_EQ(file.Height, 32) << "the group's height counts the mask too";
  EXPECT_EQ(file.PlanesOrHotX, 5);
  EXPECT_EQ(file.BitsOrHotY, 7);
  EXPECT_EQ(file.Bytes, cursor.RawSize() - 4);
  EXPECT_EQ(file.Image, std::vector<uint8_t>(cursor.RawData().begin() + 4, cursor.RawData().end()));
}

TEST(ExeImageBitmaps, FileHeaderPointsAtThePixels) {
  TExeImage image(FixturePath("res32.dll"));
  std::vector<uint8_t> range16(16);
  for (size_t i = 0; i < range16.size(); ++i)
    range16[i] = static_cast<uint8_t>(i);
  const struct {
    std::string Id;
    uint32_t PixelOffset;
    std::vector<uint8_t> Pixels;
  } cases[] = {
      {"1", 1078, {range16.begin(), range16.begin() + 8}}, // 8 bits, 40-byte header, 256 colours
      {"2", 54, {range16.begin(), range16.begin() + 16}},  // 24 bits: no colour table
      {"3", 74, {0x12, 0, 0, 0}},                          // 12-byte core header, 16 colours
      {"4", 66, {range16.begin(), range16.begin() + 8}},   // 16 bits with three colour masks
      {"5", 138, range16},                                 // 124-byte header, masks inside
  };
  for (const auto& c : cases) {
    TResourceItem& bitmap = Resource(image, "Bitmap", c.Id);
    const std::vector<uint8_t> file = bitmap.FileImage();
    ASSERT_EQ(file.size(), bitmap.RawSize() + 14u) << c.Id;
    EXPECT_EQ(Text(TBytes(file).first(2)), "BM");
    EXPECT_EQ(Le32(&file[2]), file.size()) << c.Id;
    EXPECT_EQ(Le32(&file[6]), 0u);
    EXPECT_EQ(Le32(&file[10]), c.PixelOffset) << c.Id;
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 14, file.end()),
              std::vector<uint8_t>(bitmap.RawData().begin(), bitmap.RawData().end()));
    ASSERT_LE(c.PixelOffset + c.Pixels.size(), file.size());
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + c.PixelOffset,
                                   file.begin() + c.PixelOffset + c.Pixels.size()),
              c.Pixels)
        << c.Id;
  }
}

TEST(ExeImageMenus, MenuScriptLines) {
  TExeImage image(FixturePath("res32.dll"));
  const struct {
    std::string Id;
    std::vector<std::string> Lines;
  } cases[] = {
      {"1",
       {"POPUP \"&File\"", "  MENUITEM \"&Open\",  1", "  MENUITEM \"E&xit\",  2", "ENDPOPUP"}},
      // A popup inside a popup, a separator, and a last item at the top level, after a popup.
      {"2",
       {"POPUP \"&Edit\"", "  MENUITEM \"&Copy\tCtrl+C\",  10", "  MENUITEM SEPARATOR",
        "  POPUP \"&More\"",
        "    MENUITEM \"Gr\xC3\xBC\xC3\x9F"
        "e\",  11",
        "  ENDPOPUP", "ENDPOPUP", "MENUITEM \"&Help\",  20"}},
  };
  for (const auto& c : cases) {
    TResourceItem& menu = Resource(image, "Menu", c.Id);
    const auto lines = menu.TextLines();
    ASSERT_TRUE(lines) << c.Id;
    EXPECT_EQ(*lines, c.Lines) << c.Id;
    const auto decoded = static_cast<TMenuResource&>(menu).Decode();
    ASSERT_TRUE(decoded);
    EXPECT_TRUE(decoded->Complete);
  }
  // The extended template stays raw data.
  TResourceItem& extended = Resource(image, "Menu", "3");
  EXPECT_FALSE(extended.TextLines());
  EXPECT_EQ(extended.FileImage().size(), extended.RawSize());
}

TEST(ExeImageMenus, OtherItemsHaveNoText) {
  TExeImage image(FixturePath("res32.dll"));
  EXPECT_FALSE(Resource(image, "RCData", "CONFIG").TextLines());
  EXPECT_FALSE(Resource(image, "Bitmap", "1").TextLines());
}

TEST(ExeImageStrings, BlocksNumberTheirStrings) {
  TExeImage image(FixturePath("res32.dll"));
  EXPECT_EQ(*Resource(image, "String", "1").TextLines(),
            (std::vector<std::string>{"0,  \"zero\"", "1,  \"Say \"hi\"\"",
                                      "3,  \"Gr\xC3\xBC\xC3\x9F"
                                      "e \xE2\x82\xAC\""}));
  EXPECT_EQ(*Resource(image, "String", "7").TextLines(),
            (std::vector<std::string>{"96,  \"ninety-six\"", "111,  \"last of block 7\""}));
}

TEST(ExeImageDialogs, ClassicTemplate) {
  TExeImage image(FixturePath("res32.dll"));
  const auto dialog = DecodeDialog(Resource(image, "Dialog", "100").RawData());
  ASSERT_TRUE(dialog);
  EXPECT_FALSE(dialog->Extended);
  EXPECT_TRUE(dialog->Complete);
  EXPECT_EQ(dialog->Style, 0x80C800C0u) << "the font statement adds DS_SETFONT";
  EXPECT_EQ(dialog->Caption, "Find");
  EXPECT_EQ(std::tie(dialog->X, dialog->Y, dialog->Cx, dialog->Cy),
            std::make_tuple(int16_t{10}, int16_t{10}, int16_t{180}, int16_t{90}));
  EXPECT_TRUE(dialog->HasFont);
  EXPECT_EQ(dialog->PointSize, 8);
  EXPECT_EQ(dialog->Typeface, "MS Sans Serif");
  EXPECT_FALSE(dialog->Menu.Present);
  ASSERT_EQ(dialog->DeclaredCount, 5);
  ASSERT_EQ(dialog->Controls.size(), 5u);
  // Keyword controls name their class by number; a CONTROL statement by name.
  const TNameOrId button{true, false, 0, "BUTTON"};
  const struct {
    TNameOrId Class;
    uint32_t Id;
    std::string Title;
  } controls[] = {{{true, true, dcStatic, ""}, 0xFFFF, "&Name:"},
                  {{true, true, dcEdit, ""}, 1001, ""},
                  {button, 1002, "&Case"},
                  {{true, true, dcButton, ""}, 1, "OK"},
                  {{true, true, dcButton, ""}, 2, "Cancel"}};
  for (size_t i = 0; i < 5; ++i) {
    const TDialogControl& control = dialog->Controls[i];
    EXPECT_EQ(control.Class, controls[i].Class) << i;
    EXPECT_EQ(control.Id, controls[i].Id) << i;
    EXPECT_EQ(control.Title.Name, controls[i].Title) << i;
  }
  EXPECT_EQ(dialog->Controls[2].Style, 0x50010003u);
  EXPECT_EQ(std::tie(dialog->Controls[2].X, dialog->Controls[2].Y),
            std::make_tuple(int16_t{7}, int16_t{28}));
}

TEST(ExeImageDialogs, ExtendedTemplate) {
  TExeImage image(FixturePath("res32.dll"));
  const auto dialog = DecodeDialog(Resource(image, "Dialog", "101").RawData());
  ASSERT_TRUE(dialog);
  EXPECT_TRUE(dialog->Extended);
  EXPECT_TRUE(dialog->Complete);
  EXPECT_EQ(dialog->ExStyle, 8u);
  EXPECT_EQ(dialog->Caption, "Extended");
  EXPECT_EQ(dialog->Menu, (TNameOrId{true, true, 1, ""}));
  EXPECT_EQ(dialog->PointSize, 9);
  EXPECT_EQ(dialog->Weight, 700);
  EXPECT_TRUE(dialog->Italic);
  EXPECT_EQ(dialog->Typeface, "Segoe UI");
  ASSERT_EQ(dialog->Controls.size(), 2u);
  EXPECT_EQ(dialog->Controls[0].Class, (TNameOrId{true, false, 0, "CUSTOMGADGET"}))
      << "the script compiler writes class names in capitals";
  EXPECT_EQ(dialog->Controls[0].Id, 2001u);
  EXPECT_EQ(dialog->Controls[1].Class, (TNameOrId{true, true, dcStatic, ""}));
  EXPECT_EQ(dialog->Controls[1].Title, (TNameOrId{true, true, 1, ""})) << "an icon by its id";
}

TEST(ExeImageVersion, FixedPartStringsAndTranslation) {
  TExeImage image(FixturePath("res32.dll"));
  const auto info = DecodeVersionInfo(Resource(image, "Version", "1").RawData());
  ASSERT_TRUE(info);
  ASSERT_TRUE(info->Fixed);
  EXPECT_EQ(info->Fixed->FileVersionMS, 0x00010002u);
  EXPECT_EQ(info->Fixed->FileVersionLS, 0x00030004u);
  EXPECT_EQ(info->Fixed->ProductVersionMS, 0x00050006u);
  EXPECT_EQ(info->Fixed->ProductVersionLS, 0x00070008u);
  EXPECT_EQ(info->Fixed->FileFlagsMask, 0x3Fu);
  EXPECT_EQ(info->Fixed->FileFlags, 0x21u);
  EXPECT_EQ(info->Fixed->FileOS, 0x40004u);
  EXPECT_EQ(info->Fixed->FileType, 2u);
  ASSERT_EQ(info->Translations.size(), 1u);
  EXPECT_EQ(info->Translations[0].Language, 0x409);
  EXPECT_EQ(info->Translations[0].CodePage, 1200);
  ASSERT_EQ(info->StringTables.size(), 1u);
  EXPECT_EQ(info->StringTables[0].Key, "040904B0");
  EXPECT_EQ(info->StringTables[0].Strings.size(), 5u);
  const std::pair<std::string, std::string> strings[] = {
      {"CompanyName", "Example Works"},
      {"FileDescription", "Resource reader fixture"},
      {"OriginalFilename", "res32.dll"},
      {"ProductName", "Fixture \xE2\x84\xA2"},
  };
  for (const auto& [key, value] : strings) {
    const std::string* found = info->FindString("040904b0", key);
    ASSERT_NE(found, nullptr) << key;
    EXPECT_EQ(*found, value);
  }
  EXPECT_EQ(info->FindString("040904B0", "Comments"), nullptr);
  EXPECT_FALSE(DecodeVersionInfo(Resource(image, "RCData", "CONFIG").RawData()));
}

TEST(ExeImage64, SectionsFoundThroughTheOptionalHeaderSize) {
  TExeImage image(FixturePath("res64.dll"));
  EXPECT_TRUE(image.Is64Bit());
  ASSERT_NE(image.Resources(), nullptr);
  EXPECT_EQ(Names(*image.Resources()), (std::vector<std::string>{"String", "Icon", "Version"}));
  EXPECT_EQ(
      Names(Resource(image, "Icon", "1").GetResourceList()),
      (std::vector<std::string>{"32 X 32 16 Colors", "16 X 16 0 Colors", "256 X 256 0 Colors"}));
  EXPECT_EQ(*Resource(image, "String", "2").TextLines(),
            std::vector<std::string>{"16,  \"sixteen\""});
  const auto info = DecodeVersionInfo(Resource(image, "Version", "1").RawData());
  ASSERT_TRUE(info);
  EXPECT_EQ(info->Fixed->FileVersionMS, 0x00090008u);
  EXPECT_EQ(*info->FindString("040904B0", "FileDescription"), "64-bit fixture");
}

TEST(ExeImageSave, SaveWritesTheFileForm) {
  corvane::test::TTempFolder folder;
  TExeImage image(FixturePath("res32.dll"));
  TResourceItem& bitmap = Resource(image, "Bitmap", "1");
  const std::string target = folder.File("old.bmp", 5000);
  bitmap.SaveToFile(target);
  const std::string saved = corvane::test::ReadFile(target);
  const std::vector<uint8_t> expected = bitmap.FileImage();
  EXPECT_EQ(saved, std::string(expected.begin(), expected.end())) << "the old file is replaced";

  std::ostringstream stream;
  Resource(image, "RCData", "CONFIG").SaveToStream(stream);
  EXPECT_EQ(stream.str(), "de-data");
  std::ostringstream broken;
  broken.setstate(std::ios::badbit);
  EXPECT_EQ(ErrorOf([&] { bitmap.SaveToStream(broken); }), "Stream write error");

  const std::string nowhere = folder.Native("missing/folder/x.bmp");
  EXPECT_EQ(ErrorOf([&] { bitmap.SaveToFile(nowhere); }).rfind("Cannot create file " + nowhere, 0),
            0u);
}

} // namespace
} // namespace corvane::resources
