#include "archive/archive_format.h"

namespace corvane::archive {

std::unique_ptr<TFormatReader> MakeArjReader(TByteSource&, const TFormatOptions&) { return nullptr; }

} // namespace corvane::archive
