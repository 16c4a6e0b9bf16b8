#include "main/tool_bar.h"

#include "resources/exe_image.h"
#include "resources/resource_item.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>
#include <QToolButton>

#include <exception>

namespace corvane {

namespace {

constexpr int IconSize = 16;

std::string LowerSuffix(const std::string& path) {
  const size_t dot = path.rfind('.');
  const size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return {};
  std::string suffix = path.substr(dot + 1);
  for (char& c : suffix)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return suffix;
}

// The images of the first icon group of an executable's resources.
QIcon ExecutableIcon(const std::string& path) {
  QIcon icon;
  try {
    resources::TExeImage image(path);
    resources::TResourceList* types = image.Resources();
    if (!types)
      return icon;
    for (size_t t = 0; t < types->Count(); ++t) {
      resources::TResourceItem& type = types->Item(t);
      if (type.IsNamed() || type.Id() != static_cast<uint32_t>(resources::TResourceType::rtIcon))
        continue;
      resources::TResourceList& groups = type.GetResourceList();
      if (groups.Count() == 0)
        return icon;
      resources::TResourceList& images = groups.Item(0).GetResourceList();
      for (size_t i = 0; i < images.Count(); ++i) {
        const std::vector<uint8_t> file = images.Item(i).FileImage();
        const QImage picture = QImage::fromData(file.data(), static_cast<int>(file.size()), "ICO");
        if (!picture.isNull())
          icon.addPixmap(QPixmap::fromImage(picture));
      }
      return icon;
    }
  } catch (const std::exception&) {
    // An executable that cannot be read gives no picture.
  }
  return icon;
}

// A bitmap whose top-left pixel's colour is transparent.
QIcon BitmapIcon(const std::string& path) {
  QImage picture(QString::fromStdString(path));
  if (picture.isNull())
    return {};
  picture = picture.convertToFormat(QImage::Format_ARGB32);
  const QRgb transparent = picture.pixel(0, 0);
  for (int y = 0; y < picture.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
    for (int x = 0; x < picture.width(); ++x)
      if (line[x] == transparent)
        line[x] = qRgba(0, 0, 0, 0);
  }
  return QIcon(QPixmap::fromImage(picture));
}

} // namespace

QIcon ToolPicture(const std::string& nativePath) {
  if (nativePath.empty())
    return {};
  const std::string suffix = LowerSuffix(nativePath);
  if (suffix == "exe" || suffix == "dll")
    return ExecutableIcon(nativePath);
  if (suffix == "bmp")
    return BitmapIcon(nativePath);
  const QString path = QString::fromStdString(nativePath);
  if (suffix == "ico") {
    const QIcon icon(path);
    return icon.availableSizes().isEmpty() ? QIcon() : icon;
  }
  const QFileInfo info(path);
  if (!info.exists())
    return {};
  return QFileIconProvider().icon(info);
}

TToolBar::TToolBar(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("ToolBar"));
}

void TToolBar::Build(const config::TToolBarTable& table,
                     const std::function<std::string(const config::TToolButtonRecord&)>& picture) {
  for (QWidget* item : Items)
    delete item;
  Items.clear();
  LE.clear();
  int x = 0;
  for (size_t i = 0; i < table.Buttons.size(); ++i) {
    const config::TToolButtonRecord& record = table.Buttons[i];
    const int tag = static_cast<int>(i) + 1;
    const QString name = QStringLiteral("Button%1").arg(tag);
    LE.push_back(ToolPicture(picture(record)));
    if (config::IsSplitter(record.Command)) {
      auto* gap = new QWidget(this);
      gap->setObjectName(name);
      gap->setProperty("Tag", tag);
      gap->setGeometry(x, 2, SeparatorWidth, ButtonHeight);
      gap->show();
      Items.push_back(gap);
      x += SeparatorWidth;
      continue;
    }
    auto* button = new QToolButton(this);
    button->setObjectName(name);
    button->setProperty("Tag", tag);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIconSize(QSize(IconSize, IconSize));
    button->setIcon(LE.back());
    button->setToolTip(QString::fromStdString(record.Hint));
    button->setGeometry(x, 2, ButtonWidth, ButtonHeight);
    connect(button, &QToolButton::clicked, this, [this, tag] {
      if (OnButtonClick)
        OnButtonClick(tag);
    });
    button->show();
    Items.push_back(button);
    x += ButtonWidth;
  }
}

} // namespace corvane
