#include "main/main_form.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(MainForm, StartsAsTheCorvaneWindow) {
  TForm1 form;
  form.show();
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Corvane"));
  form.close();
  EXPECT_FALSE(form.isVisible());
}

} // namespace
} // namespace corvane
