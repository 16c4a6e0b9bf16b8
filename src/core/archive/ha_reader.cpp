#include "archive/archive_format.h"

namespace corvane::archive {

std::unique_ptr<TFormatReader> MakeHaReader(TByteSource&, const TFormatOptions&) { return nullptr; }

} // namespace corvane::archive
