// Small writers of archives for tests of what an extractor must refuse or keep safe: LHA (level 1
// headers, stored data), ARJ (stored data, Unix links), TAR (ustar headers), uuencoded and
// xxencoded text, and a table of samples that put a NUL byte inside a stored name or a link
// target, in every format whose fields can hold one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvane::test {

// An LHA archive of level 1 headers. An entry with a target is a symbolic link ("name|target"
// stored as a folder entry); other entries are stored files.
struct TLhaItem {
  std::string Name; // the bytes of the name field
  std::string Data;
  bool Link = false;
};
std::string BuildLha(const std::vector<TLhaItem>& items);

// An ARJ archive made on Unix. A symbolic or hard link keeps its target in the "U" extended header.
struct TArjItem {
  enum class TKind { File, SymLink, HardLink };
  std::string Name; // without its NUL
  std::string Data;
  TKind Kind = TKind::File;
  std::string Target;
};
std::string BuildArj(const std::vector<TArjItem>& items);

// A TAR archive of ustar headers: files, or hard links (type '1') to Target.
struct TTarItem {
  std::string Name; // at most 100 bytes
  std::string Data;
  bool HardLink = false;
  std::string Target;
};
std::string BuildTar(const std::vector<TTarItem>& items);
// One ustar header block with a right checksum.
std::string TarHeader(const std::string& name, uint64_t size, char type = '0',
                      const std::string& target = std::string());

// "begin 644 <name>", the data as uuencoded (or xxencoded) lines, "end".
std::string EncodeText(const std::string& name, const std::string& data, bool xx = false);

// A sample that tries to place something outside the extraction folder through a NUL byte: an
// entry named "..\0/x" (which, cut at the NUL, names a file in the folder above), or a link whose
// target is "..\0/y" (a link that climbs). Each sample also holds a good entry "ok.txt".
struct THostileSample {
  std::string Label;   // format and fault, for messages
  std::string File;    // a file name with the format's extension
  std::string Bytes;   // the archive
  std::string Refused; // the stored name of the entry that must fail with 25243
};
std::vector<THostileSample> NulByteSamples();

} // namespace corvane::test
