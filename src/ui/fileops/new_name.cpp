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
  const std::optional<std::string> model = platform::TypedToModel(text, panelFolder);
  const std::optional<std::string> native =
      model ? platform::ModelToNative(*model) : std::optional<std::string>();
  if (!native) {
    error = QStringLiteral("There is no drive for %1").arg(typed);
    return std::nullopt;
  }
  TNewName name;
  name.Model = *model;
  while (name.Model.size() > 3 && name.Model.back() == '\\')
    name.Model.pop_back();
  // A plain name is one entry of the panel's folder; anything else was typed as a path.
  name.IsPath = name.Model.size() <= panelFolder.size() ||
                name.Model.compare(0, panelFolder.size(), panelFolder) != 0 ||
                name.Model.find('\\', panelFolder.size()) != std::string::npos;
  name.Native = *native;
  return name;
}

QString ReasonLine(int error) {
  return error == 0 ? QString() : '\n' + QString::fromLocal8Bit(std::strerror(error));
}

} // namespace corvane
