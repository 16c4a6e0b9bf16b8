// libFuzzer target for the checks of entry names and link targets: every input is tried as a
// stored name and as a link target, and what is accepted must hold the invariant of
// entry_path_invariant.h.
#include "entry_path_invariant.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  corvane::fuzz::CheckEntryName(text);
  corvane::fuzz::CheckLinkTarget(text);
  return 0;
}
