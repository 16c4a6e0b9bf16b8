#include "archive/archive_format.h"

#include "config/text_codec.h"

#include <algorithm>
#include <cstring>

namespace corvane::archive {

std::unique_ptr<TFormatReader> MakeFormatReader(TArcType type, TByteSource& source,
                                                const TFormatOptions& options) {
  switch (type) {
  case TArcType::atZIP:
  case TArcType::atZipExe:
    return MakeZipReader(source, options);
  case TArcType::atTAR:
    return MakeTarReader(source, options);
  case TArcType::atGZip:
    return MakeGzipReader(source, options);
  case TArcType::atUUE:
    return MakeUueReader(source, options);
  case TArcType::atLHA:
  case TArcType::atLhaExe:
    return MakeLhaReader(source, options);
  case TArcType::atCAB:
    return MakeCabReader(source, options);
  case TArcType::atRAR:
  case TArcType::atRarExe:
    return MakeRarReader(source, options);
  case TArcType::atARJ:
  case TArcType::atArjExe:
    return MakeArjReader(source, options);
  case TArcType::atARC:
  case TArcType::atArcExe:
  case TArcType::atPAK:
  case TArcType::atPakExe:
    return MakeArcReader(source, options);
  case TArcType::atZOO:
    return MakeZooReader(source, options);
  case TArcType::atHA:
    return MakeHaReader(source, options);
  default:
    return nullptr;
  }
}

bool TEntryData::ReadRest() {
  uint8_t scratch[16384];
  for (;;) {
    const ptrdiff_t got = Read(scratch, sizeof scratch);
    if (got <= 0)
      return got == 0;
  }
}

ptrdiff_t TBytesData::Read(uint8_t* buffer, size_t count) {
  const size_t n = std::min(count, Bytes.size() - Used);
  if (n > 0)
    std::memcpy(buffer, Bytes.data() + Used, n);
  Used += n;
  return static_cast<ptrdiff_t>(n);
}

std::string DecodeDosName(std::string_view bytes, const std::string& codePage) {
  if (std::all_of(bytes.begin(), bytes.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return std::string(bytes);
  return config::DecodeToUtf8(bytes, codePage);
}

} // namespace corvane::archive
