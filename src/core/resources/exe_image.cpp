#include "resources/exe_image.h"

#include "platform/unique_fd.h"
#include "resources/resource_item.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>

namespace corvane::resources {

namespace {

// Offsets in the PE headers, from the signature.
constexpr uint64_t peSectionCount = 6;
constexpr uint64_t peOptionalHeaderSize = 20;
constexpr uint64_t peOptionalHeader = 24;
constexpr uint16_t pe32PlusMagic = 0x20B;
constexpr uint64_t sectionHeaderSize = 40;

std::vector<uint8_t> ReadFileBytes(const std::string& fileName) {
  platform::TUniqueFd fd(
      ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)); // no FIFO waits
  struct stat st {};
  if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
    throw EExeError("Couldn't open: " + fileName);
  if (st.st_size <= 0)
    throw EExeError("CreateFileMapping failed");
  if (static_cast<uint64_t>(st.st_size) > TExeImage::MaxFileSize)
    throw EExeError("MapViewOfFile failed");
  std::vector<uint8_t> bytes;
  try {
    bytes.resize(static_cast<size_t>(st.st_size));
  } catch (const std::bad_alloc&) {
    throw EExeError("MapViewOfFile failed");
  }
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t got =
        ::pread(fd.Get(), bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0)
      throw EExeError("MapViewOfFile failed");
    if (got == 0)
      break; // the file shrank meanwhile: what was there is the file
    done += static_cast<size_t>(got);
  }
  bytes.resize(done);
  if (bytes.empty())
    throw EExeError("CreateFileMapping failed");
  return bytes;
}

// The section name compared as the component always has: at most 8 characters, ASCII case
// ignored, a shorter name ending at its first zero.
bool IsResourceSectionName(const std::string& name) {
  static constexpr char wanted[] = ".rsrc";
  if (name.size() != sizeof wanted - 1)
    return false;
  return std::equal(name.begin(), name.end(), wanted,
                    [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b; });
}

} // namespace

TExeImage::TExeImage(const std::string& fileName) : TExeImage(ReadFileBytes(fileName), fileName) {}

TExeImage::TExeImage(std::vector<uint8_t> bytes, const std::string& fileName)
    : Name(fileName), Data(std::move(bytes)) {
  if (Data.empty())
    throw EExeError("CreateFileMapping failed");
  if (Data.size() < 2 || Data[0] != 'M' || Data[1] != 'Z')
    throw EExeError("unrecognized file format");
  CheckHeaders();
}

TExeImage::~TExeImage() = default;

void TExeImage::CheckHeaders() {
  Status = rsNotPE;
  const uint64_t size = Data.size();
  if (size < 0x40)
    return;
  const uint64_t pe = Le32(Data.data() + 0x3C);
  if (!FitsIn(pe, peOptionalHeader, size))
    return;
  const uint8_t* header = Data.data() + pe;
  if (header[0] != 'P' || header[1] != 'E' || header[2] != 0 || header[3] != 0)
    return;
  const uint64_t optionalSize = Le16(header + peOptionalHeaderSize);
  if (!FitsIn(pe + peOptionalHeader, optionalSize, size))
    return;
  Pe32Plus = optionalSize >= 2 && Le16(header + peOptionalHeader) == pe32PlusMagic;
  Status = rsReady;

  // Sections whose header lies past the end of the file are not there to be read.
  const uint64_t table = pe + peOptionalHeader + optionalSize;
  const uint64_t declared = Le16(header + peSectionCount);
  const uint64_t present = table <= size ? (size - table) / sectionHeaderSize : 0;
  const uint64_t count = std::min(declared, present);
  SectionTable.reserve(count);
  for (uint64_t i = 0; i < count; ++i) {
    const uint8_t* p = Data.data() + table + i * sectionHeaderSize;
    TSection section;
    const auto nameEnd = std::find(p, p + 8, uint8_t{0});
    section.Name.assign(p, nameEnd);
    section.VirtualSize = Le32(p + 8);
    section.VirtualAddress = Le32(p + 12);
    section.RawSize = Le32(p + 16);
    section.RawPosition = Le32(p + 20);
    SectionTable.push_back(std::move(section));
  }
}

TResourceList* TExeImage::Resources() {
  if (Status == rsNotPE)
    return nullptr;
  Status = rsReady;
  if (Root)
    return Root.get();
  const auto found = std::find_if(SectionTable.begin(), SectionTable.end(),
                                  [](const TSection& s) { return IsResourceSectionName(s.Name); });
  if (found == SectionTable.end()) {
    Status = rsNoResources;
    return nullptr;
  }
  ResourceSection = &*found;
  // A section without raw data (one a packer fills at run time) has no directory in the file:
  // the root then lies past the end and lists nothing.
  const uint64_t root = found->RawSize ? found->RawPosition : Data.size();
  ResourceDir = std::make_unique<TResourceDirectory>(*this, root);
  Root = std::make_unique<TResourceList>(*this, nullptr, 0, 0, 1);
  return Root.get();
}

TResourceItem* TExeImage::IconType() {
  TResourceList* root = Resources();
  return root ? root->KeptType(3) : nullptr;
}

TResourceItem* TExeImage::CursorType() {
  TResourceList* root = Resources();
  return root ? root->KeptType(1) : nullptr;
}

bool TExeImage::RvaToOffset(uint32_t rva, uint32_t size, uint64_t& offset) const {
  const auto holds = [rva](const TSection& section) {
    const uint64_t span = std::max(section.VirtualSize, section.RawSize);
    return rva >= section.VirtualAddress && rva - section.VirtualAddress < span;
  };
  const TSection* holder = nullptr;
  if (ResourceSection && holds(*ResourceSection))
    holder = ResourceSection;
  for (auto it = SectionTable.begin(); !holder && it != SectionTable.end(); ++it)
    if (holds(*it))
      holder = &*it;
  if (!holder && ResourceSection && rva >= ResourceSection->VirtualAddress)
    holder = ResourceSection;
  if (!holder)
    return false;
  offset = uint64_t{holder->RawPosition} + (rva - holder->VirtualAddress);
  return FitsIn(offset, size, Data.size());
}

} // namespace corvane::resources
