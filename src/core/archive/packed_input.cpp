#include "archive/packed_input.h"

#include <algorithm>
#include <cstring>

namespace corvane::archive {
namespace {

constexpr size_t kBufferSize = size_t{1} << 18;

} // namespace

TPackedInput::TPackedInput(TByteSource& source, uint64_t start, uint64_t size)
    : Source(source), Position(start), Left(size),
      Buffer(static_cast<size_t>(std::clamp<uint64_t>(size, 1, kBufferSize))) {}

size_t TPackedInput::Read(uint8_t* out, size_t count) {
  size_t done = 0;
  while (done < count) {
    if (Cursor == Filled) {
      // A request of a whole buffer or more goes straight to the caller's memory: stored entries
      // are copied once, not twice.
      if (count - done >= Buffer.size()) {
        size_t got = 0;
        if (!Fetch(out + done, count - done, got))
          break;
        done += got;
        continue;
      }
      if (!Refill())
        break;
    }
    const size_t n = std::min(count - done, Filled - Cursor);
    std::memcpy(out + done, &Buffer[Cursor], n);
    Cursor += n;
    done += n;
  }
  return done;
}

size_t TPackedInput::Take(const uint8_t*& data, size_t count) {
  if (count == 0 || (Cursor == Filled && !Refill()))
    return 0;
  const size_t n = std::min(count, Filled - Cursor);
  data = &Buffer[Cursor];
  Cursor += n;
  return n;
}

bool TPackedInput::Refill() {
  size_t got = 0;
  if (!Fetch(Buffer.data(), Buffer.size(), got))
    return false;
  Cursor = 0;
  Filled = got;
  return true;
}

bool TPackedInput::Fetch(uint8_t* out, size_t count, size_t& got) {
  if (Left == 0 || Error != errNone)
    return false;
  const size_t wanted = static_cast<size_t>(std::min<uint64_t>(count, Left));
  const ptrdiff_t read = Source.ReadAt(Position, out, wanted);
  if (read <= 0) {
    Error = read < 0 ? errReadFile : errUnexpectedEof;
    return false;
  }
  got = static_cast<size_t>(read);
  Position += got;
  Left -= got;
  if (Decryption)
    Decryption(out, got);
  return true;
}

} // namespace corvane::archive
