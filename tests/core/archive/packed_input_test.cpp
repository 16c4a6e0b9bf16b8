// The bounded input of the readers: it stops at the packed size whatever the source holds beyond
// it, tells a source that ends early or fails apart from the end of the packed bytes, and
// decrypts the bytes in order however they are taken (byte by byte, in blocks, straight into the
// caller's memory, or as views of its buffer).
#include "archive/packed_input.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvane::archive {
namespace {

// Memory that fails every read from FailAt on.
class TFailingSource final : public TByteSource {
public:
  TFailingSource(const std::vector<uint8_t>& bytes, uint64_t failAt)
      : Memory(bytes.data(), bytes.size()), FailAt(failAt) {}
  ptrdiff_t ReadAt(uint64_t offset, void* buffer, size_t count) override {
    if (offset + count > FailAt)
      return -1;
    return Memory.ReadAt(offset, buffer, count);
  }
  uint64_t Size() const override { return Memory.Size(); }

private:
  TMemoryByteSource Memory;
  uint64_t FailAt;
};

std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return bytes;
}

enum class TTake { Bytes, Blocks, Views };

// All the input gives, taken the given way, and its fault at the end.
std::string Drain(TPackedInput& input, TTake how, int& fault) {
  std::string out;
  for (;;) {
    if (how == TTake::Bytes) {
      const int byte = input.Next();
      if (byte < 0)
        break;
      out += static_cast<char>(byte);
    } else if (how == TTake::Blocks) {
      // Odd block sizes, and one larger than the buffer, which goes around it.
      std::vector<uint8_t> block(out.size() % 2 == 0 ? 1000 : 300000);
      const size_t got = input.Read(block.data(), block.size());
      out.append(block.begin(), block.begin() + static_cast<ptrdiff_t>(got));
      if (got < block.size())
        break;
    } else {
      const uint8_t* data = nullptr;
      const size_t got = input.Take(data, 4099);
      if (got == 0)
        break;
      out.append(reinterpret_cast<const char*>(data), got);
    }
  }
  fault = input.Fault();
  return out;
}

TEST(PackedInput, BoundsAndFaults) {
  const std::vector<uint8_t> bytes = Pattern(700000);
  struct TCase {
    const char* Name;
    uint64_t Start, Size, FailAt; // FailAt beyond the bytes: a source that never fails
    uint64_t Expected;            // bytes given
    int Fault;
  };
  const uint64_t never = UINT64_MAX;
  const TCase cases[] = {
      {"stops at the packed size", 10, 5, never, 5, errNone},
      {"large entry, more bytes after it", 3, 600000, never, 600000, errNone},
      {"empty entry", 100, 0, never, 0, errNone},
      {"source ends early", 699000, 5000, never, 1000, errUnexpectedEof},
      {"starts past the end", 800000, 10, never, 0, errUnexpectedEof},
      {"read error", 0, 600000, 500000, 0, errReadFile},
  };
  for (const TCase& c : cases)
    for (TTake how : {TTake::Bytes, TTake::Blocks, TTake::Views}) {
      SCOPED_TRACE(std::string(c.Name) + " / way " + std::to_string(static_cast<int>(how)));
      TFailingSource source(bytes, c.FailAt);
      TPackedInput input(source, c.Start, c.Size);
      int fault = -1;
      const std::string got = Drain(input, how, fault);
      EXPECT_EQ(fault, c.Fault);
      if (c.Fault == errReadFile) {
        // Whatever came before the failing block is the entry's own bytes.
        EXPECT_LT(got.size(), c.Size);
      } else {
        ASSERT_EQ(got.size(), c.Expected);
      }
      const auto from =
          bytes.begin() + static_cast<ptrdiff_t>(std::min<uint64_t>(c.Start, bytes.size()));
      EXPECT_EQ(got, std::string(from, from + static_cast<ptrdiff_t>(got.size())));
      // The end and a fault stay.
      EXPECT_EQ(input.Next(), -1);
      EXPECT_EQ(input.Fault(), c.Fault);
    }
}

TEST(PackedInput, DecryptsInOrderHoweverTaken) {
  const std::vector<uint8_t> bytes = Pattern(650000);
  TMemoryByteSource source(bytes.data(), bytes.size());
  // A stream cipher whose key depends on every byte before: any byte decrypted twice, skipped or
  // out of order spoils the rest.
  const auto makeInput = [&] {
    TPackedInput input(source, 1, 640000);
    input.SetDecryption([state = uint8_t{0x5A}](uint8_t* data, size_t count) mutable {
      for (size_t i = 0; i < count; ++i) {
        data[i] ^= state;
        state = static_cast<uint8_t>(state * 31 + data[i]);
      }
    });
    return input;
  };
  int fault = -1;
  TPackedInput reference = makeInput();
  const std::string expected = Drain(reference, TTake::Bytes, fault);
  ASSERT_EQ(expected.size(), 640000u);
  EXPECT_NE(expected, std::string(bytes.begin() + 1, bytes.begin() + 640001));
  for (TTake how : {TTake::Blocks, TTake::Views}) {
    TPackedInput input = makeInput();
    EXPECT_EQ(Drain(input, how, fault), expected);
    EXPECT_EQ(fault, errNone);
  }
  // Mixed: a few bytes, then a large block straight into memory, then views.
  TPackedInput input = makeInput();
  std::string mixed;
  for (int i = 0; i < 3; ++i)
    mixed += static_cast<char>(input.Next());
  std::vector<uint8_t> block(400000);
  mixed.append(block.begin(),
               block.begin() + static_cast<ptrdiff_t>(input.Read(block.data(), block.size())));
  mixed += Drain(input, TTake::Views, fault);
  EXPECT_EQ(mixed, expected);
}

} // namespace
} // namespace corvane::archive
