#include "resources/version_rows.h"

namespace corvane {

namespace {

using resources::TVersionFixed;

QString Hex4(uint32_t value) {
  return QStringLiteral("%1").arg(value & 0xFFFF, 4, 16, QLatin1Char('0')).toUpper();
}

QString TwoHalves(uint32_t value) {
  return Hex4(value >> 16) + QLatin1Char('.') + Hex4(value);
}

QString Flags(const TVersionFixed& fixed) {
  static const std::pair<uint32_t, const char*> names[] = {
      {0x1, "Debug"},         {0x2, "Pre-release"},    {0x4, "Patched"},
      {0x8, "Private build"}, {0x10, "Info inferred"}, {0x20, "Special build"}};
  const uint32_t present = fixed.FileFlags & fixed.FileFlagsMask;
  QString text;
  for (const auto& [bit, name] : names)
    if (present & bit)
      text += QLatin1String(name) + QLatin1Char(' ');
  return text.isEmpty() ? QStringLiteral("<none>") : text;
}

QString Os(uint32_t os) {
  static const char* high[] = {"Unknown", "DOS", "OS/2 16", "OS/2 32", "NT"};
  static const char* low[] = {"Unknown", "Win16", "PM 16", "PM 32", "Win32"};
  const uint32_t h = (os >> 16) & 0xF;
  const uint32_t l = os & 0xF;
  return QLatin1String(h < 5 ? high[h] : "Unknown") + QStringLiteral(" with ") +
         QLatin1String(l < 5 ? low[l] : "Unknown");
}

QString FileType(uint32_t type, uint32_t subtype) {
  static const char* types[] = {
      "Unknown",        "Application", "Dynamic-link library", "Device driver:", "Font-",
      "Virtual device", "Unknown",     "Static-link library"};
  static const char* drivers[] = {"Unknown",     "printer", "keyboard", "language",
                                  "display",     "mouse",   "network",  "system",
                                  "installable", "sound",   "comm"};
  static const char* fonts[] = {"Unknown", "raster", "vector", "true type"};
  QString text = QLatin1String(type < 8 ? types[type] : "Unknown");
  if (text.endsWith(QLatin1Char(':')))
    text += QLatin1Char(' ') + QLatin1String(subtype < 11 ? drivers[subtype] : "Unknown");
  else if (text.endsWith(QLatin1Char('-')))
    text += QLatin1Char(' ') + QLatin1String(subtype < 4 ? fonts[subtype] : "Unknown");
  return text;
}

} // namespace

TVersionRows MakeVersionRows(const resources::TVersionInfo& info) {
  static const char* keys[] = {"CompanyName",  "FileDescription", "FileVersion",
                               "InternalName", "LegalCopyright",  "OriginalFilename",
                               "ProductName",  "ProductVersion"};
  TVersionRows rows;
  QString table;
  if (!info.Translations.empty()) {
    const auto& first = info.Translations.front();
    table = Hex4(first.Language) + Hex4(first.CodePage);
    rows.LanguageText = QStringLiteral("Lang-charset: ") + table;
  }
  for (const char* key : keys) {
    // The row's caption is cut to the column's fifteen characters; the value uses the full key.
    const QString caption = QString::fromLatin1(key).left(15);
    const std::string* value =
        table.isEmpty() ? nullptr : info.FindString(table.toStdString(), key);
    rows.Rows.emplace_back(caption, value ? QString::fromStdString(*value) : QString());
  }
  rows.Rows.emplace_back(QStringLiteral("-----------------"), QString());
  QString values[7];
  if (info.Fixed) {
    const TVersionFixed& f = *info.Fixed;
    values[0] = TwoHalves(f.StrucVersion);
    values[1] = TwoHalves(f.FileVersionMS) + QLatin1Char('.') + TwoHalves(f.FileVersionLS);
    values[2] = TwoHalves(f.ProductVersionMS) + QLatin1Char('.') + TwoHalves(f.ProductVersionLS);
    values[3] = Flags(f);
    values[4] = Os(f.FileOS);
    values[5] = FileType(f.FileType, f.FileSubtype);
    values[6] = QStringLiteral("not done yet.");
  }
  static const char* fixedCaptions[] = {"Struct version", "File version", "Product version",
                                        "File flags",     "OS flags",     "File type",
                                        "File date/time"};
  for (int i = 0; i < 7; ++i)
    rows.Rows.emplace_back(QLatin1String(fixedCaptions[i]), values[i]);
  return rows;
}

} // namespace corvane
