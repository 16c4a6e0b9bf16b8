#include "viewer/hand_off.h"

namespace corvane::viewer {

TEditorHandOff ReadEditorHandOff(config::TIniFile& ini) {
  TEditorHandOff handOff;
  handOff.FileName = ini.ReadString("Editor", "ec_FileName", "");
  handOff.EditMode = ini.ReadBool("Editor", "ec_EditMode", false);
  handOff.Language = ini.ReadString("Editor", "ec_Language", "");
  handOff.Archive = ini.ReadBool("Editor", "ec_Archive", false);
  const auto number = [&](const char* key) -> std::optional<int> {
    if (!ini.ValueExists("Editor", key))
      return std::nullopt;
    return ini.ReadInteger("Editor", key, 0);
  };
  handOff.Left = number("ec_Left");
  handOff.Top = number("ec_Top");
  handOff.Width = number("ec_Width");
  handOff.Height = number("ec_Height");
  // A window of no size or a size from a broken file is no place to open in.
  if (!handOff.Width || !handOff.Height || *handOff.Width < 100 || *handOff.Height < 100 ||
      *handOff.Width > 100000 || *handOff.Height > 100000)
    handOff.Width = handOff.Height = std::nullopt;
  return handOff;
}

std::string ReadUrlHandOff(config::TIniFile& ini) {
  return ini.ReadString("TForm1", "URL", "");
}

} // namespace corvane::viewer
