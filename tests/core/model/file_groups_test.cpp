#include "model/file_groups.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane {
namespace {

TEST(FileGroups, ThePathsLastNameDecidesWithoutRegardToCase) {
  const struct {
    const char* Path;
    TFileGroup Group;
  } cases[] = {
      {"C:\\pics\\Holiday.JPG", TFileGroup::Picture},
      {"C:\\pics\\old.Rle", TFileGroup::Picture},
      {"C:\\music\\song.mP3", TFileGroup::MpegAudio},
      {"C:\\music\\tune.it", TFileGroup::Tracker},
      {"C:\\music\\tune.itx", TFileGroup::Other},
      {"C:\\music\\piano.RMI", TFileGroup::WaveMidi},
      {"C:\\film\\clip.mp1", TFileGroup::Video},
      {"C:\\web\\index.HTML", TFileGroup::WebPage},
      {"C:\\web\\index.htmlx", TFileGroup::Other},
      {"C:\\a.bmp\\readme", TFileGroup::Other}, // a dot in a folder's name is no extension
      {"/home/u/pics.gif/notes", TFileGroup::Other},
      {"C:\\home\\u\\.wav", TFileGroup::WaveMidi},
      {"C:\\x\\backup.tar.mod", TFileGroup::Tracker},
      {"C:\\x\\name.", TFileGroup::Other},
      {"", TFileGroup::Other},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FileGroupOfExt(ExtOfPath(c.Path)), c.Group) << c.Path;
}

} // namespace
} // namespace corvane
