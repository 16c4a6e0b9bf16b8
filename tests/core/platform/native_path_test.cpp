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

TEST(NativePath, TypedNativePathsBecomeModelPaths) {
  ::setenv("HOME", "/home/ann", 1);
  EXPECT_EQ(TypedToModel("/usr/share/"), "C:\\usr\\share\\");
  EXPECT_EQ(TypedToModel("~"), "C:\\home\\ann\\");
  EXPECT_EQ(TypedToModel("~/docs/a.txt"), "C:\\home\\ann\\docs\\a.txt");
  // Model paths and names relative to the panel pass unchanged; so does another user's "~name".
  EXPECT_EQ(TypedToModel("C:\\x\\"), "C:\\x\\");
  EXPECT_EQ(TypedToModel("new folder"), "new folder");
  EXPECT_EQ(TypedToModel("~bob"), "~bob");
}

} // namespace
} // namespace corvane::platform
