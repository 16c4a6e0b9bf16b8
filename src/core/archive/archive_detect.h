// Recognising an archive by its content, never by its name.
#pragma once

#include "archive/archive_types.h"
#include "archive/byte_source.h"

#include <cstdint>
#include <string>

namespace corvane::archive {

struct TDetection {
  TArcType Type = TArcType::atUnknown;
  uint64_t Offset = 0; // where the archive starts (non-zero in self-extracting executables)
};

// The type of the bytes of source. zipCmntBufSize is the allowance for a ZIP comment when the end
// of a ZIP directory is looked for at the end of the source; maxHeaderLines the lines searched
// for the "begin" line of an encoded file.
TDetection DetectArchive(TByteSource& source, int zipCmntBufSize = 2000, int maxHeaderLines = 100);

// The type of a file: atFileOpenErr when it cannot be opened.
TDetection DetectArchiveFile(const std::string& nativePath, int zipCmntBufSize = 2000,
                             int maxHeaderLines = 100);

// The single checks, shared with the readers and the executable scan. Each looks at the bytes at
// p, of which `available` can be read.
bool IsArjHeader(const uint8_t* p, size_t available);
bool IsLhaHeader(const uint8_t* p, size_t available);
bool IsTarHeader(const uint8_t* p, size_t available);
// 0 when p holds no ARC/PAK header, else the method byte (1..11).
int ArcHeaderMethod(const uint8_t* p, size_t available);

} // namespace corvane::archive
