#include "viewer/edit_text.h"

#include "platform/atomic_file.h"
#include "viewer/view_file.h"

#include <unistd.h>

#include <cerrno>

namespace corvane::viewer {

namespace {

std::string Replace(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  size_t at = 0;
  while (true) {
    const size_t hit = text.find(from, at);
    if (hit == std::string_view::npos)
      break;
    out.append(text.substr(at, hit - at));
    out.append(to);
    at = hit + from.size();
  }
  out.append(text.substr(at));
  return out;
}

} // namespace

TEditText SplitFileBytes(std::string_view bytes, std::string_view languageBase,
                         std::optional<TCodePage> page) {
  TEditText edit;
  edit.Page = page ? *page : DetectCodePage(bytes.substr(0, 64 * 1024), languageBase);
  const size_t bom = BomLength(bytes, edit.Page);
  edit.Bom = bom > 0;
  std::string text = DecodeText(bytes.substr(bom), edit.Page);
  size_t lineFeeds = 0;
  size_t crlf = 0;
  bool carriage = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++lineFeeds;
      if (i > 0 && text[i - 1] == '\r')
        ++crlf;
    } else if (text[i] == '\r') {
      carriage = true;
    }
  }
  if (lineFeeds > 0 && crlf == lineFeeds) {
    edit.Ending = TLineEnding::CrLf;
    text = Replace(text, "\r\n", "\n");
  } else if (lineFeeds == 0 && carriage) {
    edit.Ending = TLineEnding::Cr;
    for (char& c : text)
      if (c == '\r')
        c = '\n';
  }
  edit.Text = std::move(text);
  return edit;
}

TEditLoad LoadForEditing(const std::string& nativePath, size_t limit, std::string_view languageBase,
                         TEditText& out, int& error, std::optional<TCodePage> page) {
  error = 0;
  TViewFile file;
  switch (file.Open(nativePath)) {
  case TOpenStatus::Opened:
    break;
  case TOpenStatus::Missing:
    error = file.Error();
    return TEditLoad::Missing;
  case TOpenStatus::Unreadable:
    error = file.Error();
    return TEditLoad::Unreadable;
  case TOpenStatus::Folder:
    return TEditLoad::Folder;
  case TOpenStatus::NotRegular:
    return TEditLoad::NotRegular;
  }
  if (file.Size() > limit)
    return TEditLoad::TooLarge;
  std::string bytes;
  if (!file.Read(0, static_cast<size_t>(file.Size()), bytes)) {
    error = file.Error();
    return TEditLoad::Unreadable;
  }
  out = SplitFileBytes(bytes, languageBase, page);
  out.ReadOnly = ::access(nativePath.c_str(), W_OK) != 0;
  return TEditLoad::Loaded;
}

std::optional<std::string> FileBytes(const TEditText& format, std::string_view utf8Text) {
  std::string text;
  switch (format.Ending) {
  case TLineEnding::Lf:
    text = std::string(utf8Text);
    break;
  case TLineEnding::CrLf:
    text = Replace(utf8Text, "\n", "\r\n");
    break;
  case TLineEnding::Cr:
    text = Replace(utf8Text, "\n", "\r");
    break;
  }
  std::optional<std::string> bytes = EncodeText(text, format.Page);
  if (!bytes)
    return std::nullopt;
  if (format.Bom) {
    const char* const mark = format.Page == TCodePage::Utf16Le   ? "\xFF\xFE"
                             : format.Page == TCodePage::Utf16Be ? "\xFE\xFF"
                                                                 : "\xEF\xBB\xBF";
    bytes->insert(0, mark);
  }
  return bytes;
}

bool SaveEdited(const std::string& nativePath, std::string_view bytes) {
  return platform::WriteFileAtomically(nativePath, bytes);
}

} // namespace corvane::viewer
