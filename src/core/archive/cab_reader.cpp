// Cabinets, read by libmspack's cabinet decompressor through the function table of
// archive_libraries.h; without the library every cabinet fails with errCabinetMissing.
//
// libmspack does all its input and output through an mspack_system of the caller's. Here the
// "files" it opens are names this reader made up: "cab0", "cab1", ... are the cabinets of a set,
// read from their byte sources, and "out" is the sink of the entry being decoded.
//
// libmspack extracts a whole file in one blocking call. OpenData makes that call into a sink that
// keeps up to MemoryLimit bytes in memory and moves anything larger to an unnamed temporary file,
// from which Read then hands the bytes out: memory stays bounded whatever an entry's size, at the
// price of the entry's size on the temporary disk. The sink refuses more bytes than the entry's
// stated size. libmspack keeps a folder's decoder between calls, so entries of one folder taken in
// order are decoded once.
//
// Cabinet sets: when the files of the cabinets read so far are used up and the last one names a
// next cabinet, that one is asked for through options.NextPart and joined to the set. Without it
// the entries whose data goes on there fail with errBrokenVolumeChain; a cabinet of another set
// makes them fail with 25904, and the entries of a set's first folder that began in a previous
// cabinet fail with 25901.
#include "archive/archive_format.h"
#include "archive/archive_libraries.h"
#include "config/text_codec.h"
#include "platform/unique_fd.h"
#include "platform/write_all.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <vector>

namespace corvane::archive {
namespace {

// Cabinet set messages.
constexpr int errCabinetNeedsFirstDisk = 25901;
constexpr int errCabinetNotInSet = 25904;

// Decoded bytes kept in memory before the sink moves to a temporary file.
constexpr size_t MemoryLimit = 1 << 20;

const char OutputName[] = "out";

// An unnamed file in the temporary folder, gone when closed.
platform::TUniqueFd TemporaryFile() {
  const char* dir = std::getenv("TMPDIR");
  if (dir == nullptr || *dir == '\0')
    dir = "/tmp";
  platform::TUniqueFd fd(::open(dir, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
  if (fd.Valid())
    return fd;
  std::string pattern = std::string(dir) + "/corvane-cab-XXXXXX";
  fd.Reset(::mkostemp(pattern.data(), O_CLOEXEC));
  if (fd.Valid())
    ::unlink(pattern.c_str());
  return fd;
}

// Where libmspack writes one entry: at most Limit bytes.
class TSink final {
public:
  explicit TSink(uint64_t limit) : Limit(limit) {}

  int Write(const void* data, int bytes) {
    if (bytes < 0 || Fault != errNone)
      return -1;
    const auto n = static_cast<size_t>(bytes);
    if (n > Limit - Size) {
      Fault = errCorruptInput; // more than the entry holds
      return -1;
    }
    if (!File.Valid() && Memory.size() + n > MemoryLimit) {
      File = TemporaryFile();
      if (!File.Valid() || !WriteAll(Memory.data(), Memory.size())) {
        Fault = errWriteFile;
        return -1;
      }
      Memory = std::vector<uint8_t>();
    }
    if (File.Valid()) {
      if (!WriteAll(data, n)) {
        Fault = errno == ENOSPC ? errDiskFull : errWriteFile;
        return -1;
      }
    } else {
      const auto* p = static_cast<const uint8_t*>(data);
      Memory.insert(Memory.end(), p, p + n);
    }
    Size += n;
    return bytes;
  }

  // Up to count bytes from offset.
  ptrdiff_t ReadAt(uint64_t offset, uint8_t* buffer, size_t count) const {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(count, Size - offset));
    if (n == 0)
      return 0;
    if (!File.Valid()) {
      std::memcpy(buffer, Memory.data() + offset, n);
      return static_cast<ptrdiff_t>(n);
    }
    size_t done = 0;
    while (done < n) {
      const ssize_t got =
          ::pread(File.Get(), buffer + done, n - done, static_cast<off_t>(offset + done));
      if (got < 0 && errno == EINTR)
        continue;
      if (got <= 0)
        return -1;
      done += static_cast<size_t>(got);
    }
    return static_cast<ptrdiff_t>(done);
  }

  uint64_t Limit;
  uint64_t Size = 0;
  int Fault = errNone;

private:
  bool WriteAll(const void* data, size_t size) {
    return platform::WriteAll(File.Get(), data, size);
  }

  std::vector<uint8_t> Memory;
  platform::TUniqueFd File;
};

class TCabData final : public TEntryData {
public:
  explicit TCabData(std::unique_ptr<TSink> sink) : Sink(std::move(sink)) {}
  ptrdiff_t Read(uint8_t* buffer, size_t count) override {
    if (Fault != errNone)
      return -1;
    const ptrdiff_t got = Sink->ReadAt(Position, buffer, count);
    if (got < 0) {
      Fault = errReadFile;
      return -1;
    }
    Position += static_cast<uint64_t>(got);
    return got;
  }
  int Finish() override {
    if (Fault == errNone && Position != Sink->Size)
      Fault = errUnexpectedEof;
    return Fault;
  }

private:
  std::unique_ptr<TSink> Sink;
  uint64_t Position = 0;
};

class TCabReader;

// A file libmspack opened: a cabinet read from its source, or the sink.
struct THandle {
  TCabReader* Reader = nullptr;
  TByteSource* Source = nullptr; // nullptr for the sink
  uint64_t Base = 0;
  int64_t Position = 0; // from Base
};

// The mspack_system handed to libmspack, with the way back to the reader.
struct TSystem {
  mspack_system Sys;
  TCabReader* Reader;
};

class TCabReader final : public TFormatReader {
public:
  TCabReader(std::shared_ptr<const TCabLibrary> library, TByteSource& source,
             const TFormatOptions& options);
  TCabReader(const TCabReader&) = delete;
  TCabReader& operator=(const TCabReader&) = delete;
  ~TCabReader() override;

  bool Next(TArcEntry& entry) override;
  std::unique_ptr<TEntryData> OpenData(const TArcEntry& entry, const std::string& password,
                                       int& error) override;
  std::string FaultText() const override { return LastFaultText; }

private:
  void Open();
  bool AppendNext();
  const char* AddCabinet(TByteSource& source, uint64_t base);
  int OpenFailure(int mspackError) const;
  int ExtractFailure(int mspackError, const mscabd_file* file) const;

  static mspack_file* SysOpen(mspack_system* self, const char* filename, int mode);
  static void SysClose(mspack_file* file);
  static int SysRead(mspack_file* file, void* buffer, int bytes);
  static int SysWrite(mspack_file* file, void* buffer, int bytes);
  static int SysSeek(mspack_file* file, off_t offset, int mode);
  static off_t SysTell(mspack_file* file);
  static void SysMessage(mspack_file*, const char*, ...) {}
  static void* SysAlloc(mspack_system*, size_t bytes) { return std::malloc(bytes); }
  static void SysFree(void* pointer) { std::free(pointer); }
  static void SysCopy(void* from, void* to, size_t bytes) { std::memmove(to, from, bytes); }

  std::shared_ptr<const TCabLibrary> Lib;
  TFormatOptions Options;
  TSystem System;
  mscab_decompressor* Cabd = nullptr;
  // The cabinets by the names libmspack knows them by; it keeps pointers to the names.
  std::deque<std::string> Names;
  std::vector<TByteSource*> Sources;
  std::vector<uint64_t> Bases;
  std::vector<std::unique_ptr<TByteSource>> Owned;
  mscabd_cabinet* First = nullptr; // the set; closing it closes every cabinet joined to it
  mscabd_cabinet* Last = nullptr;  // the cabinet joined last
  bool Opened = false;
  bool Done = false;
  bool NeedsPrevious = false; // the first cabinet goes on from one before it
  int ChainFault = errNone;   // why the next cabinet is not in the set
  std::string LastFaultText;  // of the last OpenData
  bool SourceFault = false;
  TSink* Sink = nullptr;           // of the extraction running
  std::vector<mscabd_file*> Files; // returned by Next, by index
};

TCabReader::TCabReader(std::shared_ptr<const TCabLibrary> library, TByteSource& source,
                       const TFormatOptions& options)
    : Lib(std::move(library)), Options(options) {
  System.Sys.open = &TCabReader::SysOpen;
  System.Sys.close = &TCabReader::SysClose;
  System.Sys.read = &TCabReader::SysRead;
  System.Sys.write = &TCabReader::SysWrite;
  System.Sys.seek = &TCabReader::SysSeek;
  System.Sys.tell = &TCabReader::SysTell;
  System.Sys.message = &TCabReader::SysMessage;
  System.Sys.alloc = &TCabReader::SysAlloc;
  System.Sys.free = &TCabReader::SysFree;
  System.Sys.copy = &TCabReader::SysCopy;
  System.Sys.null_ptr = nullptr;
  System.Reader = this;
  Sources.push_back(&source);
  Bases.push_back(std::min(options.StartOffset, source.Size()));
  Names.push_back("cab0");
}

TCabReader::~TCabReader() {
  if (Cabd != nullptr) {
    if (First != nullptr)
      Cabd->close(Cabd, First);
    Lib->DestroyCabDecompressor(Cabd);
  }
}

mspack_file* TCabReader::SysOpen(mspack_system* self, const char* filename, int mode) {
  TCabReader& r = *reinterpret_cast<TSystem*>(self)->Reader;
  if (filename == nullptr)
    return nullptr;
  auto* handle = new (std::nothrow) THandle;
  if (handle == nullptr)
    return nullptr;
  handle->Reader = &r;
  if (mode == MSPACK_SYS_OPEN_WRITE && std::strcmp(filename, OutputName) == 0 && r.Sink != nullptr)
    return reinterpret_cast<mspack_file*>(handle);
  if (mode == MSPACK_SYS_OPEN_READ)
    for (size_t i = 0; i < r.Names.size(); ++i)
      if (r.Names[i] == filename) {
        handle->Source = r.Sources[i];
        handle->Base = r.Bases[i];
        return reinterpret_cast<mspack_file*>(handle);
      }
  delete handle;
  return nullptr;
}

void TCabReader::SysClose(mspack_file* file) {
  delete reinterpret_cast<THandle*>(file);
}

int TCabReader::SysRead(mspack_file* file, void* buffer, int bytes) {
  auto* h = reinterpret_cast<THandle*>(file);
  if (h == nullptr || h->Source == nullptr || bytes < 0)
    return -1;
  const uint64_t at = h->Base + static_cast<uint64_t>(h->Position);
  if (at >= h->Source->Size())
    return 0;
  const ptrdiff_t got = h->Source->ReadAt(at, buffer, static_cast<size_t>(bytes));
  if (got < 0) {
    h->Reader->SourceFault = true;
    return -1;
  }
  h->Position += got;
  return static_cast<int>(got);
}

int TCabReader::SysWrite(mspack_file* file, void* buffer, int bytes) {
  auto* h = reinterpret_cast<THandle*>(file);
  if (h == nullptr || h->Source != nullptr || h->Reader->Sink == nullptr)
    return -1;
  return h->Reader->Sink->Write(buffer, bytes);
}

int TCabReader::SysSeek(mspack_file* file, off_t offset, int mode) {
  auto* h = reinterpret_cast<THandle*>(file);
  if (h == nullptr || h->Source == nullptr)
    return -1;
  const auto length = static_cast<int64_t>(h->Source->Size() - h->Base);
  int64_t from = 0;
  if (mode == MSPACK_SYS_SEEK_CUR)
    from = h->Position;
  else if (mode == MSPACK_SYS_SEEK_END)
    from = length;
  else if (mode != MSPACK_SYS_SEEK_START)
    return -1;
  // Past the end is allowed, as with files: reading there gives nothing.
  if (offset < -from || offset > INT64_MAX / 2)
    return -1;
  h->Position = from + offset;
  return 0;
}

off_t TCabReader::SysTell(mspack_file* file) {
  auto* h = reinterpret_cast<THandle*>(file);
  return h != nullptr ? static_cast<off_t>(h->Position) : -1;
}

const char* TCabReader::AddCabinet(TByteSource& source, uint64_t base) {
  Sources.push_back(&source);
  Bases.push_back(base);
  Names.push_back("cab" + std::to_string(Names.size()));
  return Names.back().c_str();
}

int TCabReader::OpenFailure(int mspackError) const {
  switch (mspackError) {
  case MSPACK_ERR_READ:
    return SourceFault ? errReadFile : errUnexpectedEof;
  case MSPACK_ERR_NOMEMORY:
    return errOutOfMemory;
  case MSPACK_ERR_SIGNATURE:
    return errBadFileHeader;
  default:
    // Other cabinet faults (bad folder or file tables, names without an end) have no code of
    // their own.
    return errCorruptInput;
  }
}

int TCabReader::ExtractFailure(int mspackError, const mscabd_file* file) const {
  switch (mspackError) {
  case MSPACK_ERR_CHECKSUM:
    return errCrc;
  case MSPACK_ERR_NOMEMORY:
    return errOutOfMemory;
  case MSPACK_ERR_READ:
    return SourceFault ? errReadFile : errUnexpectedEof;
  default:
    break;
  }
  // libmspack says the set is incomplete (or the data ran out of blocks): which cabinet is missing
  // follows from where the file's folder is.
  if (NeedsPrevious && file->folder == First->folders)
    return errCabinetNeedsFirstDisk;
  if (ChainFault != errNone) {
    const mscabd_folder* last = First->folders;
    while (last != nullptr && last->next != nullptr)
      last = last->next;
    if (file->folder == last)
      return ChainFault;
  }
  return errCorruptInput;
}

void TCabReader::Open() {
  Opened = true;
  Cabd = Lib->CreateCabDecompressor(&System.Sys);
  if (Cabd == nullptr) {
    Done = true;
    throw EArchiveError(errOutOfMemory);
  }
  First = Cabd->open(Cabd, Names.front().c_str());
  if (First == nullptr) {
    Done = true;
    const int fault = Cabd->last_error(Cabd);
    throw EArchiveError(OpenFailure(fault), CabinetErrorText(fault, cabFaultOpen));
  }
  Last = First;
  NeedsPrevious = (First->flags & MSCAB_HDR_PREVCAB) != 0;
}

// Joins the cabinet the last one names as its successor; false when there is none or it cannot
// be had.
bool TCabReader::AppendNext() {
  if (ChainFault != errNone || (Last->flags & MSCAB_HDR_NEXTCAB) == 0 || Last->nextname == nullptr)
    return false;
  std::unique_ptr<TByteSource> source;
  if (Options.NextPart)
    source = Options.NextPart(static_cast<int>(Sources.size()) + 1, Last->nextname);
  if (!source) {
    ChainFault = errBrokenVolumeChain;
    return false;
  }
  const char* name = AddCabinet(*source, 0);
  Owned.push_back(std::move(source));
  mscabd_cabinet* next = Cabd->open(Cabd, name);
  if (next == nullptr) {
    ChainFault =
        Cabd->last_error(Cabd) == MSPACK_ERR_NOMEMORY ? errOutOfMemory : errCabinetNotInSet;
    return false;
  }
  // The next of a set has the same set number, the next index and says it continues one.
  if (next->set_id != Last->set_id || next->set_index != Last->set_index + 1 ||
      (next->flags & MSCAB_HDR_PREVCAB) == 0 || Cabd->append(Cabd, Last, next) != MSPACK_ERR_OK) {
    Cabd->close(Cabd, next);
    ChainFault = errCabinetNotInSet;
    return false;
  }
  Last = next;
  return true;
}

bool TCabReader::Next(TArcEntry& entry) {
  if (Done)
    return false;
  if (!Opened)
    Open();
  mscabd_file* file = Files.empty() ? First->files : Files.back()->next;
  if (file == nullptr) {
    Done = true;
    return false;
  }
  // The data of the last file may go on in the next cabinet: join that now, before the caller
  // asks for the data, so that listing and extracting ask for cabinets alike.
  if (file->next == nullptr)
    AppendNext();

  entry = TArcEntry{};
  entry.Index = Files.size();
  const std::string stored = file->filename != nullptr ? file->filename : "";
  if ((file->attribs & MSCAB_ATTRIB_UTF_NAME) != 0 && config::IsValidUtf8(stored))
    entry.Name = stored;
  else
    entry.Name = DecodeDosName(stored, Options.CodePage);
  std::replace(entry.Name.begin(), entry.Name.end(), '\\', '/');
  entry.Size = file->length;
  entry.PackedSize = file->length;
  entry.HasDosTime = true;
  const auto date = static_cast<uint32_t>(((file->date_y - 1980) & 0x7F) << 9) |
                    static_cast<uint32_t>((file->date_m & 0x0F) << 5) |
                    static_cast<uint32_t>(file->date_d & 0x1F);
  const auto time = static_cast<uint32_t>((file->time_h & 0x1F) << 11) |
                    static_cast<uint32_t>((file->time_m & 0x3F) << 5) |
                    static_cast<uint32_t>((file->time_s & 0x3F) >> 1);
  entry.DosTime = date << 16 | time;
  const auto attribs = static_cast<uint32_t>(file->attribs);
  if (attribs & MSCAB_ATTRIB_RDONLY)
    entry.Attributes |= ftReadOnly;
  if (attribs & MSCAB_ATTRIB_HIDDEN)
    entry.Attributes |= ftHidden;
  if (attribs & MSCAB_ATTRIB_SYSTEM)
    entry.Attributes |= ftSysFile;
  if (attribs & MSCAB_ATTRIB_ARCH)
    entry.Attributes |= ftArchive;
  if (file->folder != nullptr)
    entry.Method = static_cast<uint32_t>(MSCABD_COMP_METHOD(file->folder->comp_type));
  Files.push_back(file);
  return true;
}

std::unique_ptr<TEntryData> TCabReader::OpenData(const TArcEntry& entry, const std::string&,
                                                 int& error) {
  if (entry.Index >= Files.size()) {
    error = errSeek;
    return nullptr;
  }
  LastFaultText.clear();
  mscabd_file* file = Files[entry.Index];
  auto sink = std::make_unique<TSink>(file->length);
  Sink = sink.get();
  SourceFault = false;
  const int result = Cabd->extract(Cabd, file, OutputName);
  Sink = nullptr;
  if (result != MSPACK_ERR_OK) {
    // A fault of our own writing end, or a cabinet missing from the set, is told by its code; a
    // fault the library found in the data by its text too.
    if (sink->Fault != errNone) {
      error = sink->Fault;
    } else {
      error = ExtractFailure(result, file);
      if (error != errCabinetNeedsFirstDisk && (ChainFault == errNone || error != ChainFault))
        LastFaultText = CabinetErrorText(result, cabFaultExtract);
    }
    return nullptr;
  }
  if (sink->Size != file->length) {
    error = errCorruptInput;
    return nullptr;
  }
  error = errNone;
  return std::make_unique<TCabData>(std::move(sink));
}

} // namespace

std::unique_ptr<TFormatReader> MakeCabReader(TByteSource& source, const TFormatOptions& options) {
  auto library = CabLibrary();
  if (!library)
    throw EArchiveError(errCabinetMissing);
  return std::make_unique<TCabReader>(std::move(library), source, options);
}

} // namespace corvane::archive
