// TPackedInput: the packed bytes of one archive entry, as the readers' decoders take them. It never
// gives more than the entry's packed size and never reads past the end of the source; the bytes
// are buffered so that decoders taking one byte at a time pay an inline test per byte and one call
// into the source per block. A decryption step (ZIP's traditional encryption, ARJ's garbling) is
// applied to each block as it arrives; as both are stream ciphers over the bytes in order, that is
// the same as applying them byte by byte.
//
// Running out is reported in two ways, and the readers need to tell them apart: the end of the
// packed bytes is simply the end (Next gives -1, Read gives fewer bytes, Fault stays errNone),
// while a source that ends before the packed size (errUnexpectedEof) or fails (errReadFile) also
// sets Fault, which then stays.
#pragma once

#include "archive/archive_types.h"
#include "archive/byte_source.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace corvane::archive {

class TPackedInput {
public:
  // Decrypts count bytes in place, in the order they stand in the entry.
  using TDecryption = std::function<void(uint8_t* data, size_t count)>;

  TPackedInput(TByteSource& source, uint64_t start, uint64_t size);

  void SetDecryption(TDecryption decryption) { Decryption = std::move(decryption); }

  // The next byte, or -1 after the last one (or when the source ended early or failed: Fault()).
  int Next() {
    if (Cursor == Filled && !Refill())
      return -1;
    return Buffer[Cursor++];
  }

  // Up to count bytes into out; fewer only at the end of the packed bytes or on a fault.
  size_t Read(uint8_t* out, size_t count);

  // The buffered bytes that follow, without copying them: up to count of them at data, refilling
  // the buffer when it is empty. 0 at the end of the packed bytes or on a fault.
  size_t Take(const uint8_t*& data, size_t count);

  // errNone, or how the source let the bytes down: errUnexpectedEof or errReadFile.
  int Fault() const { return Error; }

private:
  bool Refill();
  // Reads up to count of the bytes still in the source into out, decrypted; false on a fault.
  bool Fetch(uint8_t* out, size_t count, size_t& got);

  TByteSource& Source;
  uint64_t Position;
  uint64_t Left; // packed bytes not yet read from the source
  std::vector<uint8_t> Buffer;
  size_t Cursor = 0;
  size_t Filled = 0;
  int Error = errNone;
  TDecryption Decryption;
};

} // namespace corvane::archive
