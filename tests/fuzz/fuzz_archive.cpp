// libFuzzer targets for the archive readers: detection, and each reader walked entry by entry with
// every entry's data decoded and its name and link target put through the extractor's checks.
// Built once per reader with CORVANE_FUZZ_READER naming it.
#include "archive/archive_detect.h"
#include "archive/archive_format.h"
#include "entry_path_invariant.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using namespace corvane::archive;

namespace {

#if defined(CORVANE_FUZZ_DETECT)
void Run(TMemoryByteSource& source) {
  (void)DetectArchive(source, 2000, 100);
}
#else
// Bounds that keep one input fast; they cut work, never checks.
constexpr int MaxEntries = 4096;
constexpr uint64_t MaxOutputPerEntry = 8 << 20;

std::unique_ptr<TFormatReader> MakeReader(TByteSource& source, const TFormatOptions& options) {
  return CORVANE_FUZZ_READER(source, options);
}

void Run(TMemoryByteSource& source) {
  TFormatOptions options;
  options.ArchiveName = "fuzz.input";
  // A second part is the same bytes again, so multi-part paths run too.
  std::vector<std::unique_ptr<TMemoryByteSource>> parts;
  options.NextPart = [&](int part, const std::string&) -> std::unique_ptr<TByteSource> {
    if (part > 3)
      return nullptr;
    std::vector<uint8_t> bytes(source.Size());
    if (!bytes.empty())
      source.ReadExact(0, bytes.data(), bytes.size());
    static thread_local std::vector<std::vector<uint8_t>> keep;
    keep.push_back(std::move(bytes));
    return std::make_unique<TMemoryByteSource>(keep.back().data(), keep.back().size());
  };
  try {
    auto reader = MakeReader(source, options);
    if (!reader)
      return;
    TArcEntry entry;
    std::vector<uint8_t> buffer(65536);
    for (int count = 0; count < MaxEntries && reader->Next(entry); ++count) {
      corvane::fuzz::CheckEntryName(entry.Name);
      corvane::fuzz::CheckLinkTarget(entry.LinkTarget);
      int error = 0;
      auto data = reader->OpenData(entry, entry.Encrypted ? "password" : "", error);
      if (!data)
        continue;
      uint64_t total = 0;
      ptrdiff_t got = 0;
      while (total < MaxOutputPerEntry && (got = data->Read(buffer.data(), buffer.size())) > 0)
        total += static_cast<uint64_t>(got);
      if (got == 0)
        (void)data->Finish();
    }
  } catch (const EArchiveError&) {
    // A refused archive is a result, not a fault.
  }
}
#endif

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryByteSource source(data, size);
  Run(source);
  return 0;
}
