// The parts of the ZIP reader that its method decoders share: the traditional decryption of an
// entry's packed bytes (TPackedInput holds them), what a decoder knows about its entry, the decoder
// interface, an entry's data through its decoder, and the factories of the older methods that live
// in zip_methods.cpp. The ZOO reader, whose entries are framed the same way (packed bytes, a
// method, a size and a checksum), uses the same pieces.
//
// The older methods: shrink (1), reduce with compression factors 1 to 4 (2 to 5) and implode (6).
// None of them has an end marker: a decoder stops after TMethodParams::Size bytes (a last match
// reaching beyond is cut there) and reports the packed bytes running out before that as
// errUnexpectedEof. Reduce and implode copy zeros for matches that reach back before the first
// byte of output, as the format describes for reduce and as the writers of implode relied on.
#pragma once

#include "archive/archive_format.h"
#include "archive/archive_types.h"
#include "archive/byte_source.h"
#include "archive/packed_input.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace corvane::archive::zip {

// General purpose flag bits of imploded entries.
inline constexpr uint16_t kFlagImplode8K = 0x0002;       // an 8K window instead of a 4K one
inline constexpr uint16_t kFlagImplodeLiterals = 0x0004; // a literal tree: 3 trees instead of 2

// The fault of an implode tree whose bit lengths do not make a complete prefix code.
inline constexpr int errAmbiguousShannonFanoTree = 25292;

// ---- Traditional PKWARE encryption ----

constexpr std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k)
      c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[i] = c;
  }
  return table;
}
inline constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

class TZipKeys {
public:
  explicit TZipKeys(std::string_view password) {
    for (char c : password)
      Update(static_cast<uint8_t>(c));
  }
  void Decrypt(uint8_t* data, size_t count) {
    for (size_t i = 0; i < count; ++i) {
      const uint32_t t = (Key2 | 2) & 0xFFFF;
      const auto plain = static_cast<uint8_t>(data[i] ^ ((t * (t ^ 1)) >> 8));
      Update(plain);
      data[i] = plain;
    }
  }

private:
  static uint32_t Crc(uint32_t crc, uint8_t byte) {
    return kCrcTable[(crc ^ byte) & 0xFF] ^ (crc >> 8);
  }
  void Update(uint8_t plain) {
    Key0 = Crc(Key0, plain);
    Key1 = (Key1 + (Key0 & 0xFF)) * 134775813u + 1;
    Key2 = Crc(Key2, static_cast<uint8_t>(Key1 >> 24));
  }
  uint32_t Key0 = 0x12345678;
  uint32_t Key1 = 0x23456789;
  uint32_t Key2 = 0x34567890;
};

// ---- Data of an entry ----

// Decrypts the packed bytes that input gives from here on with keys.
inline void SetKeys(TPackedInput& input, const TZipKeys& keys) {
  input.SetDecryption(
      [keys = keys](uint8_t* data, size_t count) mutable { keys.Decrypt(data, count); });
}

// What a method decoder may need to know about its entry.
struct TMethodParams {
  uint32_t Method = 0;
  uint16_t Flags = 0;
  uint64_t Size = 0;
  uint64_t PackedSize = 0; // without the encryption header
};

// One compression method: turns the packed bytes into the entry's bytes. The caller stops asking
// once it has the entry's size (then asks for one more byte to see that the stream ends there), so
// a decoder needs no checks of its own against the declared size. Methods without an end marker of
// their own end after TMethodParams::Size bytes.
class TMethodDecoder {
public:
  virtual ~TMethodDecoder() = default;
  // Up to count bytes (count > 0); 0 when the method's stream has ended; -1 on a fault, with fault
  // set.
  virtual ptrdiff_t Decode(TPackedInput& input, uint8_t* out, size_t count, int& fault) = 0;
};

// Stored data: the packed bytes as they are.
class TStoreDecoder final : public TMethodDecoder {
public:
  ptrdiff_t Decode(TPackedInput& input, uint8_t* out, size_t count, int& fault) override {
    const size_t got = input.Read(out, count);
    if (got == 0 && input.Fault() != errNone) {
      fault = input.Fault();
      return -1;
    }
    return static_cast<ptrdiff_t>(got);
  }
};

// The CRC-32 of ZIP entries (zlib's).
struct TCrc32 {
  using TValue = uint32_t;
  static uint32_t Update(uint32_t crc, const uint8_t* data, size_t count);
};

// The bytes of one entry through its decoder: exactly the stated size (a stream that would go on
// beyond it is a fault, and so is one that ends short), with the checksum TChecksum computes over
// them compared at the end.
template <class TChecksum> class TDecodedEntryData final : public TEntryData {
public:
  using TValue = typename TChecksum::TValue;
  TDecodedEntryData(TPackedInput input, std::unique_ptr<TMethodDecoder> decoder, uint64_t size,
                    TValue checksum)
      : Input(std::move(input)), Decoder(std::move(decoder)), Size(size), Expected(checksum) {}

  ptrdiff_t Read(uint8_t* buffer, size_t count) override {
    if (Fault != errNone)
      return -1;
    if (Ended || count == 0)
      return 0;
    if (Produced == Size)
      return CheckEnd();
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(count, Size - Produced));
    const ptrdiff_t got = Decoder->Decode(Input, buffer, wanted, Fault);
    if (got < 0) {
      if (Fault == errNone)
        Fault = errCorruptInput;
      return -1;
    }
    if (got == 0) {
      Ended = true;
      return 0;
    }
    Checksum = TChecksum::Update(Checksum, buffer, static_cast<size_t>(got));
    Produced += static_cast<uint64_t>(got);
    return got;
  }

  int Finish() override {
    if (!Ended && Fault == errNone)
      ReadRest();
    if (Fault != errNone)
      return Fault;
    if (Produced != Size)
      return errUnexpectedEof;
    return Checksum == Expected ? errNone : errCrc;
  }

private:
  // All declared bytes are out: the stream must end here, not go on beyond the entry's size.
  ptrdiff_t CheckEnd() {
    uint8_t probe = 0;
    const ptrdiff_t got = Decoder->Decode(Input, &probe, 1, Fault);
    if (got != 0) {
      if (Fault == errNone)
        Fault = errCorruptInput;
      return -1;
    }
    Ended = true;
    return 0;
  }

  TPackedInput Input;
  std::unique_ptr<TMethodDecoder> Decoder;
  uint64_t Size;
  TValue Expected;
  uint64_t Produced = 0;
  TValue Checksum = 0;
  bool Ended = false;
};

// Decoders of the older methods, or nullptr when params.Method is not theirs.
std::unique_ptr<TMethodDecoder> MakeShrinkDecoder(const TMethodParams& params);  // 1
std::unique_ptr<TMethodDecoder> MakeReduceDecoder(const TMethodParams& params);  // 2..5
std::unique_ptr<TMethodDecoder> MakeImplodeDecoder(const TMethodParams& params); // 6

} // namespace corvane::archive::zip
