#include "resources/dialog_template.h"

namespace corvane::resources {

namespace {

constexpr uint16_t extendedSignature = 0xFFFF;

bool ReadNameOrId(TByteReader& reader, TNameOrId& field) {
  const size_t start = reader.Pos();
  uint16_t first = 0;
  if (!reader.U16(first))
    return false;
  field = {};
  if (first == 0)
    return true;
  field.Present = true;
  if (first == 0xFFFF) {
    field.IsId = true;
    return reader.U16(field.Id);
  }
  reader.Seek(start); // the first unit is the text's first character
  return reader.Utf16z(field.Name);
}

bool ReadBox(TByteReader& reader, int16_t& x, int16_t& y, int16_t& cx, int16_t& cy) {
  uint16_t v[4];
  for (uint16_t& value : v)
    if (!reader.U16(value))
      return false;
  x = static_cast<int16_t>(v[0]);
  y = static_cast<int16_t>(v[1]);
  cx = static_cast<int16_t>(v[2]);
  cy = static_cast<int16_t>(v[3]);
  return true;
}

bool ReadHeader(TByteReader& reader, TDialogTemplate& dialog) {
  uint16_t version = 0, signature = 0;
  if (!reader.U16(version) || !reader.U16(signature))
    return false;
  dialog.Extended = version == 1 && signature == extendedSignature;
  if (dialog.Extended) {
    if (!reader.U32(dialog.HelpId) || !reader.U32(dialog.ExStyle) || !reader.U32(dialog.Style))
      return false;
  } else {
    reader.Seek(0);
    if (!reader.U32(dialog.Style) || !reader.U32(dialog.ExStyle))
      return false;
  }
  if (!reader.U16(dialog.DeclaredCount) ||
      !ReadBox(reader, dialog.X, dialog.Y, dialog.Cx, dialog.Cy) ||
      !ReadNameOrId(reader, dialog.Menu) || !ReadNameOrId(reader, dialog.Class) ||
      !reader.Utf16z(dialog.Caption))
    return false;
  dialog.HasFont = (dialog.Style & dsSetFont) != 0;
  if (!dialog.HasFont)
    return true;
  if (!reader.U16(dialog.PointSize))
    return false;
  if (dialog.Extended) {
    uint8_t italic = 0;
    if (!reader.U16(dialog.Weight) || !reader.U8(italic) || !reader.U8(dialog.CharSet))
      return false;
    dialog.Italic = italic != 0;
  }
  return reader.Utf16z(dialog.Typeface);
}

bool ReadControl(TByteReader& reader, bool extended, TDialogControl& control) {
  if (!reader.Align4())
    return false;
  if (extended) {
    if (!reader.U32(control.HelpId) || !reader.U32(control.ExStyle) || !reader.U32(control.Style))
      return false;
  } else if (!reader.U32(control.Style) || !reader.U32(control.ExStyle)) {
    return false;
  }
  if (!ReadBox(reader, control.X, control.Y, control.Cx, control.Cy))
    return false;
  if (extended) {
    if (!reader.U32(control.Id))
      return false;
  } else {
    uint16_t id = 0;
    if (!reader.U16(id))
      return false;
    control.Id = id;
  }
  uint16_t extra = 0;
  TBytes data;
  if (!ReadNameOrId(reader, control.Class) || !ReadNameOrId(reader, control.Title) ||
      !reader.U16(extra) || !reader.Take(extra, data))
    return false;
  control.CreationData.assign(data.begin(), data.end());
  return true;
}

} // namespace

std::optional<TDialogTemplate> DecodeDialog(TBytes data) {
  TByteReader reader(data);
  TDialogTemplate dialog;
  if (!ReadHeader(reader, dialog))
    return std::nullopt;
  for (uint16_t i = 0; i < dialog.DeclaredCount; ++i) {
    TDialogControl control;
    if (!ReadControl(reader, dialog.Extended, control)) {
      dialog.Complete = false;
      break;
    }
    dialog.Controls.push_back(std::move(control));
  }
  return dialog;
}

} // namespace corvane::resources
