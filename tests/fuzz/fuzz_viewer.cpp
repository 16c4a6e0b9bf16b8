// libFuzzer target for the viewer's readers of file bytes: every code page decodes any input to
// valid UTF-8 and gives one hex-column character per byte; line starts found forward and
// backward agree; a search finds a piece of the input where it stands, across chunk boundaries;
// and text split for editing goes back to the very same bytes when nothing in it was replaced.
#include "config/text_codec.h"
#include "viewer/byte_search.h"
#include "viewer/code_page.h"
#include "viewer/edit_text.h"
#include "viewer/text_lines.h"
#include "viewer/view_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace corvane::viewer;

const std::string& FilePath() {
  static const std::string path = [] {
    char name[] = "/tmp/corvane-fuzz-viewer-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd >= 0)
      ::close(fd);
    return std::string(name);
  }();
  return path;
}

void Check(bool condition) {
  if (!condition)
    std::abort();
}

size_t Characters(std::string_view utf8) {
  size_t count = 0;
  for (const char c : utf8)
    count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (int p = 0; p < CodePageCount; ++p) {
    const auto page = static_cast<TCodePage>(p);
    Check(corvane::config::IsValidUtf8(DecodeText(bytes, page)));
    Check(Characters(HexColumnText(bytes.substr(0, 256), page)) == std::min<size_t>(size, 256));
  }

  {
    const int fd = ::open(FilePath().c_str(), O_WRONLY | O_TRUNC);
    Check(fd >= 0 && ::write(fd, data, size) == static_cast<ssize_t>(size));
    ::close(fd);
  }
  TViewFile file;
  Check(file.Open(FilePath()) == TOpenStatus::Opened);
  for (const TCodePage page : {TCodePage::Utf8, TCodePage::Utf16Le, TCodePage::Utf16Be}) {
    std::vector<uint64_t> forward;
    for (uint64_t at = 0; at < file.Size(); at = NextLineStart(file, at, page)) {
      Check(LineStartAt(file, at, page) == at);
      forward.push_back(at);
      if (forward.size() > size + 1)
        std::abort(); // a walk that does not move on
    }
    if (size > 0) {
      std::vector<uint64_t> backward;
      for (uint64_t at = LineStartAt(file, size - 1, page);;
           at = PreviousLineStart(file, at, page)) {
        backward.insert(backward.begin(), at);
        if (at == 0 || backward.size() > size + 1)
          break;
      }
      Check(backward == forward);
    }
  }

  if (size >= 4) {
    const size_t at = data[0] % (size - 3);
    const std::string piece(bytes.substr(at, 3));
    const size_t previous = ReplaceSearchChunk(7);
    const TFindOutcome first = FindForward(file, BytePattern(piece), 0);
    const TFindOutcome last = FindBackward(file, BytePattern(piece), size);
    ReplaceSearchChunk(previous);
    Check(first.Result == TSearchResult::Found && first.Offset == bytes.find(piece));
    Check(last.Result == TSearchResult::Found && last.Offset == bytes.rfind(piece));
  }

  static const char* const Languages[] = {"cv_eng", "cv_rus", "cv_pol", "cv_cze"};
  const TEditText edit = SplitFileBytes(bytes, size > 0 ? Languages[data[0] % 4] : "");
  if (edit.Text.find("\xEF\xBF\xBD") == std::string::npos) {
    const std::optional<std::string> back = FileBytes(edit, edit.Text);
    Check(back && *back == bytes);
  }
  return 0;
}
