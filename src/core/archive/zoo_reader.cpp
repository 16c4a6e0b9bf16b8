#include "archive/archive_format.h"

namespace corvane::archive {

std::unique_ptr<TFormatReader> MakeZooReader(TByteSource&, const TFormatOptions&) { return nullptr; }

} // namespace corvane::archive
