#include "platform/native_path.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace corvane::platform {
namespace {

TEST(NativePath, ModelAndNativeFormsConvert) {
  struct Case {
    std::string Model;
    std::string Native;
  };
  const std::string invalidUtf8 = "bad\xff\xfe name";
  const Case cases[] = {
      {"C:\\", "/"},
      {"C:\\home\\ann\\", "/home/ann/"},
      {"C:\\home\\ann\\notes.txt", "/home/ann/notes.txt"},
      // A "\" inside a Linux name shows as "/" in the model and comes back.
      {"C:\\tmp\\a/b\\c", "/tmp/a\\b/c"},
      {"C:\\tmp\\" + invalidUtf8, "/tmp/" + invalidUtf8},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ModelToNative(c.Model), c.Native) << c.Model;
    EXPECT_EQ(NativeToModel(c.Native), c.Model) << c.Native;
  }
  EXPECT_EQ(ModelToNative("c:\\etc"), "/etc");
  EXPECT_EQ(ModelToNative("C:"), "/");
}

TEST(NativePath, PathsLongerThanTheKernelLimitRoundTrip) {
  std::string native;
  while (native.size() <= 5000)
    native += "/component-" + std::to_string(native.size());
  const auto model = NativeToModel(native);
  ASSERT_TRUE(model);
  EXPECT_GT(model->size(), 4096u);
  EXPECT_EQ(ModelToNative(*model), native);
}

TEST(NativePath, RejectsWhatIsNoModelPath) {
  for (const char* bad : {"", "C", "relative\\name", "Q:\\nothing", "C:relative", "1:\\x"})
    EXPECT_FALSE(ModelToNative(bad)) << bad;
  EXPECT_FALSE(NativeToModel("relative/path"));
}

TEST(NativePath, TypedTextIsReadAsTheUserMeantIt) {
  ::setenv("HOME", "/home/ann", 1);
  const std::string base = "C:\\home\\ann\\";
  struct Case {
    const char* Typed;
    const char* Model;
  };
  const Case cases[] = {
      // Native paths, the home folder; "\\" separates there too.
      {"/usr/share/", "C:\\usr\\share\\"},
      {"/usr\\share", "C:\\usr\\share"},
      {"~", "C:\\home\\ann\\"},
      {"~/docs/a.txt", "C:\\home\\ann\\docs\\a.txt"},
      {"~\\docs", "C:\\home\\ann\\docs"},
      {"~bob", "C:\\home\\ann\\~bob"}, // another user's home is not ours to guess
      // Drives: a letter and ":" followed by a separator or nothing.
      {"C:\\x\\", "C:\\x\\"},
      {"d:", "D:\\"},
      {"d:/music/a.mp3", "D:\\music\\a.mp3"},
      // A ":" anywhere else is part of a name.
      {"draft 10:30.txt", "C:\\home\\ann\\draft 10:30.txt"},
      {"a:notes", "C:\\home\\ann\\a:notes"},
      {"b:", "B:\\"},
      {"sub/c:d", "C:\\home\\ann\\sub\\c:d"},
      // Relative names, with either separator; a trailing one means a folder.
      {"new folder", "C:\\home\\ann\\new folder"},
      {"backup/", "C:\\home\\ann\\backup\\"},
      {"a\\b/c", "C:\\home\\ann\\a\\b\\c"},
      {"\\tmp\\x", "C:\\tmp\\x"},
      {"", "C:\\home\\ann\\"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TypedToModel(c.Typed, base), c.Model) << c.Typed;
  // Without a folder to start from, only texts that name their own place are read.
  EXPECT_EQ(TypedToModel("d:\\x", ""), "D:\\x");
  EXPECT_EQ(TypedToModel("/tmp", ""), "C:\\tmp");
  for (const char* relative : {"name", "\\x", "a:b", ""})
    EXPECT_FALSE(TypedToModel(relative, "")) << relative;
}

} // namespace
} // namespace corvane::platform
