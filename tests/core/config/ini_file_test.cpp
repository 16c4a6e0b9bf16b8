#include "config/ini_file.h"
#include "temp_folder.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace corvane::config {
namespace {

using test::TTempFolder;

TEST(IniFile, ReadsByTheProfileRules) {
  TTempFolder dir;
  const std::string path = dir.Native("a.ini");
  test::WriteFile(
      path, "; a comment=not a key\r\n"
            "[Global]\r\n"
            "Name = \"  quoted  \" \r\n"
            "Single='x'\r\n"
            "Half=\"open\r\n"
            "Empty=\r\n"
            "Dup=first\r\n"
            "dup=second\r\n"
            "Path=C:\\dir\\;b,c ; not a comment\r\n"
            "Eq=a=b\r\n"
            "[global]\r\n"
            "Later=never seen\r\n"
            "[Numbers]\r\n"
            "Plain=42\r\nNeg=-7\r\nHex=$FF\r\nHex2=0x10\r\nSys=2147483663\r\nMax=4294967295\r\n"
            "Over=4294967296\r\nJunk=12abc\r\nSpace= 5 \r\nBig=-1\r\n");
  TIniFile ini(path);
  struct Case {
    const char* Section;
    const char* Key;
    const char* Value;
  };
  for (const Case& c :
       {Case{"GLOBAL", "name", "  quoted  "}, Case{"Global", "Single", "x"},
        Case{"Global", "Half", "\"open"}, Case{"Global", "Empty", ""},
        Case{"Global", "DUP", "first"}, Case{"Global", "Path", "C:\\dir\\;b,c ; not a comment"},
        Case{"Global", "Eq", "a=b"}, Case{"Global", "Later", "<default>"},
        Case{"Global", "Missing", "<default>"}, Case{"Nowhere", "Name", "<default>"},
        Case{"Global", "; a comment", "<default>"}})
    EXPECT_EQ(ini.ReadString(c.Section, c.Key, "<default>"), c.Value) << c.Key;

  struct Number {
    const char* Key;
    int32_t Value;
  };
  for (const Number& n :
       {Number{"Plain", 42}, Number{"Neg", -7}, Number{"Hex", 255}, Number{"Hex2", 16},
        Number{"Sys", int32_t(0x8000000F)}, Number{"Max", -1}, Number{"Over", 99},
        Number{"Junk", 99}, Number{"Space", 5}, Number{"Missing", 99}, Number{"Big", -1}})
    EXPECT_EQ(ini.ReadInteger("Numbers", n.Key, 99), n.Value) << n.Key;
  EXPECT_EQ(ini.ReadColor("Numbers", "Sys", 0), 0x8000000Fu);
  EXPECT_TRUE(ini.ReadBool("Numbers", "Plain", false));
  EXPECT_TRUE(ini.ReadBool("Numbers", "Junk", true));
  EXPECT_FALSE(ini.ReadBool("Global", "Empty", false));
  EXPECT_EQ(ini.ReadSection("global"),
            (std::vector<std::string>{"Name", "Single", "Half", "Empty", "Dup", "Path", "Eq"}));
}

TEST(IniFile, WritesKeepEverythingElse) {
  TTempFolder dir;
  const std::string path = dir.Native("cv.ini");
  const std::string original = "; kept comment\n"
                               "[Global]\n"
                               "Language=ENGLISH\n"
                               "Foreign = other program's key\n"
                               "\n"
                               "[Editor]\n"
                               "ec_FileName=/x\n";
  test::WriteFile(path, original);
  TIniFile ini(path);
  EXPECT_TRUE(ini.WriteString("global", "LANGUAGE", "RUSSIAN"));
  EXPECT_TRUE(ini.WriteInteger("Global", "Main_Splitter", 9));
  EXPECT_TRUE(ini.WriteBool("New", "Flag", true));
  EXPECT_EQ(test::ReadFile(path), "; kept comment\n"
                                  "[Global]\n"
                                  "LANGUAGE=RUSSIAN\n"
                                  "Foreign = other program's key\n"
                                  "Main_Splitter=9\n"
                                  "\n"
                                  "[Editor]\n"
                                  "ec_FileName=/x\n"
                                  "\n"
                                  "[New]\n"
                                  "Flag=1\n");
  // Another program changes the file: the next read and write see its change.
  std::ofstream(path, std::ios::app) << "Other=2\n";
  EXPECT_EQ(ini.ReadInteger("New", "Other", 0), 2);
  EXPECT_TRUE(ini.WriteString("Global", "Language", "POLISH"));
  EXPECT_NE(test::ReadFile(path).find("Other=2"), std::string::npos);

  // A batch writes once, at its end.
  {
    TIniBatch batch(ini);
    ini.WriteString("Batch", "A", "1");
    EXPECT_EQ(test::ReadFile(path).find("[Batch]"), std::string::npos);
    ini.WriteString("Batch", "B", "2");
  }
  EXPECT_NE(test::ReadFile(path).find("[Batch]\nA=1\nB=2\n"), std::string::npos);
}

TEST(IniFile, CrLfFilesStayCrLfAndMissingFilesAreMade) {
  TTempFolder dir;
  test::WriteFile(dir.Native("w.ini"), "[S]\r\nA=1");
  TIniFile windows(dir.Native("w.ini"));
  windows.WriteString("S", "B", "2");
  EXPECT_EQ(test::ReadFile(dir.Native("w.ini")), "[S]\r\nA=1\r\nB=2\r\n");
  TIniFile fresh(dir.Native("new.ini"));
  EXPECT_EQ(fresh.ReadString("S", "A", "d"), "d");
  EXPECT_TRUE(fresh.WriteString("S", "A", "x\ny"));
  EXPECT_EQ(test::ReadFile(dir.Native("new.ini")), "[S]\nA=x y\n");
}

TEST(IniFile, LegacyCodePagesAreReadAndWrittenBackAsUtf8) {
  TTempFolder dir;
  // "Файл" in CP1251, and a byte CP1251 does not define.
  test::WriteFile(dir.Native("rus.ini"), "[FilePanel]\nFile=\xD4\xE0\xE9\xEB\nOdd=\x98\n");
  TIniFile ini(dir.Native("rus.ini"), "CP1251");
  EXPECT_EQ(ini.ReadString("FilePanel", "File", ""), "\xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB");
  EXPECT_EQ(ini.ReadString("FilePanel", "Odd", ""), "\xEF\xBF\xBD");
  ini.WriteString("FilePanel", "Folder", "\xD0\x9F");
  EXPECT_EQ(
      test::ReadFile(dir.Native("rus.ini")),
      "[FilePanel]\nFile=\xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB\nOdd=\xEF\xBF\xBD\nFolder=\xD0\x9F\n");
}

TEST(IniFile, HostileFilesReadWithoutHarm) {
  TTempFolder dir;
  std::string text = "[A]\nK=v\n";
  text += std::string("\0\x01\xff[\x02", 5) + "\n";
  text += "Long=" + std::string(1 << 20, 'x') + "\n";
  text += "[A]\nK=second\n[B\nNoEquals\n=novalue\n[C]\nLast=end"; // no final newline
  test::WriteFile(dir.Native("bad.ini"), text);
  TIniFile ini(dir.Native("bad.ini"));
  EXPECT_EQ(ini.ReadString("A", "K", ""), "v");
  EXPECT_EQ(ini.ReadString("A", "Long", "").size(), size_t(1) << 20);
  EXPECT_EQ(ini.ReadString("C", "Last", ""), "end");
  EXPECT_EQ(ini.ReadString("B", "NoEquals", "d"), "d");
  EXPECT_TRUE(ini.WriteString("C", "New", "1"));
  EXPECT_EQ(TIniFile(dir.Native("bad.ini")).ReadString("C", "New", ""), "1");
}

// The write is cut short by the system (a file size limit): the old file must stay whole.
TEST(IniFile, AnInterruptedWriteLeavesTheOldFileWhole) {
  TTempFolder dir;
  const std::string path = dir.Native("cv.ini");
  const std::string original = "[Global]\nLanguage=ENGLISH\n";
  test::WriteFile(path, original);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{16, 16};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    TIniFile ini(path);
    const bool written = ini.WriteString("Global", "Big", std::string(4096, 'x'));
    ::_exit(written ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the write should have failed";
  EXPECT_EQ(test::ReadFile(path), original);
  // No temporary file is left behind.
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
    files += entry.is_regular_file() ? 1 : 0;
  EXPECT_EQ(files, 1);
}

// A program folder the user cannot write: settings are read, a failed write changes nothing.
int WriteInReadOnlyFolder(void* context) {
  const auto* path = static_cast<std::string*>(context);
  TIniFile ini(*path);
  if (ini.ReadString("Global", "Language", "") != "ENGLISH")
    return 10;
  if (ini.WriteString("Global", "Language", "RUSSIAN"))
    return 11;
  if (ini.ReadString("Global", "Language", "") != "ENGLISH")
    return 12;
  return 0;
}

TEST(IniFile, AReadOnlyFolderIsReadAndNotHarmed) {
  TTempFolder dir;
  const std::string path = dir.Native("ro/cv.ini");
  dir.File("ro/cv.ini");
  test::WriteFile(path, "[Global]\nLanguage=ENGLISH\n");
  dir.Chmod("ro/cv.ini", 0644);
  dir.Chmod("ro", 0555);
  std::string context = path;
  EXPECT_EQ(test::RunUnprivileged(WriteInReadOnlyFolder, &context), 0);
  EXPECT_EQ(test::ReadFile(path), "[Global]\nLanguage=ENGLISH\n");
}

} // namespace
} // namespace corvane::config
