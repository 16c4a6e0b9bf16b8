#include "panels/type_icons.h"

#include "model/path_utils.h"

#include <QImage>

#include <string_view>

namespace corvane {

namespace {

bool ExtIn(std::string_view ext, std::initializer_list<std::string_view> list) {
  for (const auto item : list)
    if (SameTextAscii(ext, item))
      return true;
  return false;
}

} // namespace

pictures::TTypeIcon IconFor(const TFileEntry& entry) {
  using pictures::TTypeIcon;
  if (entry.IsUpEntry())
    return TTypeIcon::UpFolder;
  if (entry.IsFolder())
    return TTypeIcon::Folder;
  const std::string_view ext = entry.Ext;
  if (SameTextAscii(ext, "exe") &&
      (SameTextAscii(entry.Name, "setup") || SameTextAscii(entry.Name, "install")))
    return TTypeIcon::Setup;
  if (ExtIn(ext, {"diz", "txt", "doc", "rtf", "wri", "inf", "ini", "log", "htm", "html", "asp"}))
    return TTypeIcon::Text;
  if (ExtIn(ext, {"bmp", "gif", "ico", "jpg", "jpeg", "jpe", "tif", "pcx", "tga", "rle", "fif",
                  "pic", "psd"}))
    return TTypeIcon::Picture;
  if (ExtIn(ext,
            {"zip", "rar", "arj", "cab", "ha", "arc", "tar", "lzh", "gz", "ace", "zoo", "uue"}))
    return TTypeIcon::Archive;
  if (ExtIn(ext, {"wav", "mid", "rmi", "mp2", "mp3", "s3m", "stm", "xm", "mdz", "mod", "it", "itz",
                  "m3u"}))
    return TTypeIcon::Music;
  if (ExtIn(ext, {"avi", "mov", "smk", "mpg"}))
    return TTypeIcon::Video;
  if (ExtIn(ext, {"exe", "bat", "com", "lnk"}))
    return TTypeIcon::Exec;
  if (ExtIn(ext, {"dat", "bin", "vxd", "sys", "dll", "drv", "cfg"}))
    return TTypeIcon::System;
  return TTypeIcon::Other;
}

void TTypeIconSet::Load(const QColor& background) {
  for (size_t i = 0; i < Icons.size(); ++i) {
    QImage image = pictures::TypeIcon(static_cast<pictures::TTypeIcon>(i))
                       .convertToFormat(QImage::Format_RGB32);
    if (image.isNull())
      image = QImage(16, 16, QImage::Format_RGB32);
    const QRgb transparent = image.pixel(0, 0);
    const QRgb fill = background.rgb();
    for (int y = 0; y < image.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
      for (int x = 0; x < image.width(); ++x)
        if (line[x] == transparent)
          line[x] = fill;
    }
    Icons[i] = QPixmap::fromImage(image);
  }
}

} // namespace corvane
