#include "fileops/new_name.h"

#include "platform/native_path.h"

#include <QRegularExpression>

#include <cstring>

namespace corvane {

std::optional<TNewName> ResolveNewName(const QString& typed, const std::string& panelFolder,
                                       QString& error) {
  if (typed.isEmpty())
    return std::nullopt;
  for (const QChar c : typed)
    if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
      error =
          QStringLiteral("The name \"%1\" holds control characters; nothing was made.")
              .arg(QString(typed).replace(QRegularExpression(QStringLiteral("[\\x00-\\x1f\\x7f]")),
                                          QStringLiteral("?")));
      return std::nullopt;
    }
  const std::string text = typed.toStdString();
  TNewName name;
  const bool drive = text.size() >= 2 && text[1] == ':' &&
                     ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z')) &&
                     (text.size() == 2 || text[2] == '\\' || text[2] == '/');
  name.IsPath = drive || text.find_first_of("\\/") != std::string::npos || text[0] == '~';
  const std::optional<std::string> model = platform::TypedToModel(text, panelFolder);
  const std::optional<std::string> native =
      model ? platform::ModelToNative(*model) : std::optional<std::string>();
  if (!native) {
    error = QStringLiteral("There is no drive for %1").arg(typed);
    return std::nullopt;
  }
  name.Model = *model;
  while (name.Model.size() > 3 && name.Model.back() == '\\')
    name.Model.pop_back();
  name.Native = *native;
  return name;
}

QString ReasonLine(int error) {
  return error == 0 ? QString() : '\n' + QString::fromLocal8Bit(std::strerror(error));
}

} // namespace corvane
