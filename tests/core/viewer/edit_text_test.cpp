// Editing a file: the text comes in without its line ends and code page, goes back with them,
// and saving replaces the file whole with its mode kept, or leaves the old file whole.
#include "platform/write_all.h"
#include "temp_folder.h"
#include "viewer/edit_text.h"
#include "viewer/hand_off.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <gtest/gtest.h>
#include <string>

namespace corvane::viewer {
namespace {

using namespace std::string_literals;

TEST(EditText, LineEndsCodePageAndMarkComeBackAsTheyWere) {
  struct TCase {
    const char* Name;
    std::string Bytes;
    const char* Language;
    std::string Text;
    TLineEnding Ending;
    std::string Edited;
    std::string Saved;
  };
  const TCase cases[] = {
      {"crlf", "a\r\nb\r\n", "cv_eng", "a\nb\n", TLineEnding::CrLf, "a\nX\nb\n", "a\r\nX\r\nb\r\n"},
      {"cr", "a\rb", "cv_eng", "a\nb", TLineEnding::Cr, "a\nb\nc", "a\rb\rc"},
      // Mixed ends: nothing is made uniform; a carriage return stays a character of the text.
      {"mixed", "a\r\nb\n", "cv_eng", "a\r\nb\n", TLineEnding::Lf, "a\r\nb\nc\n", "a\r\nb\nc\n"},
      {"cp1251", "\xCF\xF0\xE8\r\n", "cv_rus", "При\n", TLineEnding::CrLf, "Прия\n",
       "\xCF\xF0\xE8\xFF\r\n"},
      {"utf16", "\xFF\xFE\x3F\x04\n\0"s, "cv_eng", "п\n", TLineEnding::Lf, "пп\n",
       "\xFF\xFE\x3F\x04\x3F\x04\n\0"s},
      {"utf8 mark", "\xEF\xBB\xBFok\n", "cv_eng", "ok\n", TLineEnding::Lf, "ok!\n",
       "\xEF\xBB\xBFok!\n"},
  };
  for (const TCase& c : cases) {
    const TEditText edit = SplitFileBytes(c.Bytes, c.Language);
    EXPECT_EQ(edit.Text, c.Text) << c.Name;
    EXPECT_EQ(edit.Ending, c.Ending) << c.Name;
    EXPECT_EQ(FileBytes(edit, edit.Text), c.Bytes) << c.Name; // unchanged text, unchanged bytes
    EXPECT_EQ(FileBytes(edit, c.Edited), c.Saved) << c.Name;
  }
  // A character the file's code page has no place for is not written as something else.
  EXPECT_FALSE(FileBytes(SplitFileBytes("\xCF\xF0", "cv_rus"), "中"));
}

TEST(EditText, SavingReplacesTheFileAndKeepsItsMode) {
  test::TTempFolder folder;
  const std::string path = folder.Native("notes.txt");
  test::WriteFile(path, "old\r\n");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  TEditText edit;
  int error = 0;
  ASSERT_EQ(LoadForEditing(path, 1000, "cv_eng", edit, error), TEditLoad::Loaded);
  const std::optional<std::string> bytes = FileBytes(edit, "new\nline\n");
  ASSERT_TRUE(bytes);
  ASSERT_TRUE(SaveEdited(path, *bytes));
  EXPECT_EQ(test::ReadFile(path), "new\r\nline\r\n");
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(LoadForEditing(path, 4, "cv_eng", edit, error), TEditLoad::TooLarge);
  EXPECT_EQ(LoadForEditing(folder.Native("none"), 4, "cv_eng", edit, error), TEditLoad::Missing);
  EXPECT_EQ(LoadForEditing("/dev/null", 4, "cv_eng", edit, error), TEditLoad::NotRegular);
}

int LoadAsNobody(void* path) {
  TEditText edit;
  int error = 0;
  const TEditLoad load = LoadForEditing(*static_cast<std::string*>(path), 100, "", edit, error);
  return load != TEditLoad::Loaded ? -2 : edit.ReadOnly ? 1 : 0;
}

TEST(EditText, AFileWeMayNotWriteIsLoadedReadOnly) {
  test::TTempFolder folder;
  folder.Chmod("", 0755);
  std::string path = folder.File("theirs.txt", 10);
  folder.Chmod("theirs.txt", 0444); // nobody may write it, its owner neither
  EXPECT_EQ(test::RunUnprivileged(LoadAsNobody, &path), 1);
  folder.Chmod("theirs.txt", 0666);
  EXPECT_EQ(test::RunUnprivileged(LoadAsNobody, &path), 0);
}

ssize_t DiskFullAfterSomeBytes(int fd, const void* data, size_t size) {
  if (size > 3)
    size = 3;
  static int calls = 0;
  if (++calls > 1) {
    calls = 0;
    errno = ENOSPC;
    return -1;
  }
  return ::write(fd, data, size);
}

TEST(EditText, ASaveThatFailsHalfWayLeavesTheOldFileWhole) {
  test::TTempFolder folder;
  const std::string path = folder.Native("keep.txt");
  test::WriteFile(path, "the old text\n");
  const platform::TWriteCall previous = platform::ReplaceWriteCall(DiskFullAfterSomeBytes);
  errno = 0;
  const bool saved = SaveEdited(path, "a new text that does not fit\n");
  const int error = errno;
  platform::ReplaceWriteCall(previous);
  EXPECT_FALSE(saved);
  EXPECT_EQ(error, ENOSPC);
  EXPECT_EQ(test::ReadFile(path), "the old text\n");
  // No temporary file is left beside it.
  int entries = 0;
  if (DIR* dir = ::opendir(folder.Path().c_str())) {
    while (const dirent* entry = ::readdir(dir))
      entries += entry->d_name[0] != '.';
    ::closedir(dir);
  }
  EXPECT_EQ(entries, 1);
}

TEST(EditorHandOff, TheKeysTheFileManagerWritesAreRead) {
  test::TTempFolder folder;
  const std::string path = folder.Native("cv.ini");
  test::WriteFile(path, "[Editor]\nec_FileName=/home/u/a b.txt\nec_EditMode=1\nec_Archive=0\n"
                        "ec_Language=cv_rus\nec_Left=10\nec_Top=-20\nec_Width=800\nec_Height=600\n"
                        "[TForm1]\nURL=/home/u/page.htm\n");
  config::TIniFile ini(path);
  const TEditorHandOff handOff = ReadEditorHandOff(ini);
  EXPECT_EQ(handOff.FileName, "/home/u/a b.txt");
  EXPECT_TRUE(handOff.EditMode);
  EXPECT_FALSE(handOff.Archive);
  EXPECT_EQ(handOff.Language, "cv_rus");
  EXPECT_EQ(handOff.Left, 10);
  EXPECT_EQ(handOff.Top, -20);
  EXPECT_EQ(handOff.Width, 800);
  EXPECT_EQ(handOff.Height, 600);
  EXPECT_EQ(ReadUrlHandOff(ini), "/home/u/page.htm");

  // View mode of an archive copy; a window of no size is no place to open in.
  test::WriteFile(path, "[Editor]\nec_FileName=/t/x\nec_EditMode=0\nec_Archive=1\nec_Width=0\n"
                        "ec_Height=0\n");
  config::TIniFile again(path);
  const TEditorHandOff view = ReadEditorHandOff(again);
  EXPECT_FALSE(view.EditMode);
  EXPECT_TRUE(view.Archive);
  EXPECT_FALSE(view.Width);
  EXPECT_FALSE(view.Height);
  EXPECT_EQ(view.Language, "");
}

} // namespace
} // namespace corvane::viewer
