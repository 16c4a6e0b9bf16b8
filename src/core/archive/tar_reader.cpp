// TAR archives, read by libarchive with its tar format alone (ustar, GNU long names and sparse
// files, pax headers). Compressed tars never get here: they are GZIP archives to this program.
// The reader feeds libarchive from the byte source through callbacks, so listing skips the data
// of entries without reading it, and copies the data blocks libarchive returns (pointers into the
// read buffer) straight into the caller's buffer. Entries can only be read in order: OpenData
// works for the entry Next returned last, once.
#include "archive/archive_format.h"
#include "archive/locale_scope.h"

#include <archive.h>
#include <archive_entry.h>
#include <locale.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace corvane::archive {
namespace {

// Bytes fetched from the source per read callback: large enough that extracting a big archive
// makes few reads, and libarchive can hand out most data blocks without copying them.
constexpr size_t ReadChunk = 1 << 20;

// libarchive turns pax names (UTF-8) into the character set of the current locale, normalising
// them on the way, while names must come through as stored. Its calls therefore run in the "C"
// locale: there that conversion fails for anything beyond ASCII, and libarchive then keeps the
// stored bytes.
struct TStoredNamesScope {
  TLocaleScope Scope{TLocaleScope::Plain()};
};

enum class TKind { File, Folder, HardLink, SymLink, Other };

class TTarReader;

// The data of one entry, straight from archive_read_data_block. Holes of sparse entries are
// given as zeros. Only valid while the reader stays at its entry.
class TTarData final : public TEntryData {
public:
  TTarData(TTarReader& reader, uint64_t generation, uint64_t size)
      : Reader(reader), Generation(generation), Size(size) {}
  ptrdiff_t Read(uint8_t* buffer, size_t count) override;
  int Finish() override;

private:
  ptrdiff_t Fail(int code) {
    Fault = code;
    return -1;
  }

  TTarReader& Reader;
  uint64_t Generation;
  uint64_t Size;
  uint64_t Position = 0; // bytes handed out so far
  const uint8_t* Block = nullptr;
  size_t BlockLeft = 0;
  uint64_t BlockOffset = 0; // where Block belongs in the entry; zeros up to it
  bool AtEnd = false;
  bool Finished = false;
};

class TTarReader final : public TFormatReader {
public:
  TTarReader(TByteSource& source, const TFormatOptions& options)
      : Source(source), Base(std::min(options.StartOffset, source.Size())),
        Length(source.Size() - Base) {}
  TTarReader(const TTarReader&) = delete;
  TTarReader& operator=(const TTarReader&) = delete;
  ~TTarReader() override {
    if (Archive != nullptr)
      archive_read_free(Archive);
  }

  bool Next(TArcEntry& entry) override;
  std::unique_ptr<TEntryData> OpenData(const TArcEntry& entry, const std::string& password,
                                       int& error) override;

private:
  friend class TTarData;

  void Open();
  // The code of a libarchive failure: a read error, a cut-off archive when libarchive wanted bytes
  // past the end of the source, otherwise `other`.
  int FailureCode(int other) const {
    if (SourceFault)
      return errReadFile;
    return SawEnd ? errUnexpectedEof : other;
  }

  static la_ssize_t ReadCallback(struct archive* a, void* self, const void** buffer);
  static la_int64_t SkipCallback(struct archive* a, void* self, la_int64_t request);
  static la_int64_t SeekCallback(struct archive* a, void* self, la_int64_t offset, int whence);

  TByteSource& Source;
  uint64_t Base;   // where the archive starts in the source
  uint64_t Length; // bytes from there to the end
  uint64_t Position = 0;
  std::unique_ptr<uint8_t[]> Buffer;
  size_t BufferSize = 0;
  struct archive* Archive = nullptr;
  bool Opened = false;
  bool Done = false;
  bool SawEnd = false;      // libarchive asked for bytes past the end of the source
  bool SourceFault = false; // the source failed to read
  uint64_t Count = 0;       // entries returned
  // The entry Next returned last: which one, what it holds, whether its data was opened.
  uint64_t Generation = 0;
  bool HasCurrent = false;
  uint64_t CurrentIndex = 0;
  TKind CurrentKind = TKind::Other;
  uint64_t CurrentSize = 0;
  std::string CurrentTarget;
  bool DataTaken = false;
};

la_ssize_t TTarReader::ReadCallback(struct archive* a, void* self, const void** buffer) {
  auto& r = *static_cast<TTarReader*>(self);
  const uint64_t left = r.Position < r.Length ? r.Length - r.Position : 0;
  if (left == 0) {
    r.SawEnd = true;
    return 0;
  }
  if (!r.Buffer) {
    r.BufferSize = static_cast<size_t>(std::min<uint64_t>(ReadChunk, r.Length));
    r.Buffer = std::make_unique<uint8_t[]>(r.BufferSize);
  }
  const size_t want = static_cast<size_t>(std::min<uint64_t>(left, r.BufferSize));
  const ptrdiff_t got = r.Source.ReadAt(r.Base + r.Position, r.Buffer.get(), want);
  if (got < 0) {
    r.SourceFault = true;
    archive_set_error(a, EIO, "Read error");
    return -1;
  }
  if (got == 0) {
    r.SawEnd = true;
    return 0;
  }
  r.Position += static_cast<uint64_t>(got);
  *buffer = r.Buffer.get();
  return got;
}

la_int64_t TTarReader::SkipCallback(struct archive*, void* self, la_int64_t request) {
  auto& r = *static_cast<TTarReader*>(self);
  if (request <= 0)
    return 0;
  // Never past the end: libarchive then reads for the rest and finds the archive cut off.
  const uint64_t left = r.Position < r.Length ? r.Length - r.Position : 0;
  const uint64_t skip = std::min<uint64_t>(static_cast<uint64_t>(request), left);
  r.Position += skip;
  return static_cast<la_int64_t>(skip);
}

la_int64_t TTarReader::SeekCallback(struct archive*, void* self, la_int64_t offset, int whence) {
  auto& r = *static_cast<TTarReader*>(self);
  const auto length = static_cast<la_int64_t>(r.Length);
  la_int64_t from = 0;
  if (whence == SEEK_CUR)
    from = static_cast<la_int64_t>(r.Position);
  else if (whence == SEEK_END)
    from = length;
  else if (whence != SEEK_SET)
    return ARCHIVE_FATAL;
  if (offset < -from)
    return ARCHIVE_FATAL;
  if (offset > 0 && offset > length - from) {
    r.SawEnd = true; // a skip past the end: the archive is cut off
    return ARCHIVE_FATAL;
  }
  r.Position = static_cast<uint64_t>(from + offset);
  return static_cast<la_int64_t>(r.Position);
}

void TTarReader::Open() {
  Opened = true;
  Archive = archive_read_new();
  if (Archive == nullptr)
    throw EArchiveError(errOutOfMemory);
  archive_read_support_format_tar(Archive);
  archive_read_set_seek_callback(Archive, &TTarReader::SeekCallback);
  TStoredNamesScope names;
  if (archive_read_open2(Archive, this, nullptr, &TTarReader::ReadCallback,
                         &TTarReader::SkipCallback, nullptr) != ARCHIVE_OK) {
    Done = true;
    throw EArchiveError(FailureCode(errBadFileHeader));
  }
}

bool TTarReader::Next(TArcEntry& entry) {
  if (Done)
    return false;
  if (!Opened)
    Open();
  HasCurrent = false;
  ++Generation;
  struct archive_entry* e = nullptr;
  int status;
  {
    TStoredNamesScope names;
    status = archive_read_next_header(Archive, &e);
  }
  if (status == ARCHIVE_EOF) {
    Done = true;
    return false;
  }
  // ARCHIVE_RETRY is a damaged header: libarchive would go on searching for the next valid one,
  // but entries after damage are guesswork, so the walk ends with the fault.
  if (status != ARCHIVE_OK && status != ARCHIVE_WARN) {
    Done = true;
    throw EArchiveError(FailureCode(errBadFileHeader));
  }

  entry = TArcEntry{};
  entry.Index = Count++;
  const la_int64_t headerAt = archive_read_header_position(Archive);
  entry.Offset = Base + static_cast<uint64_t>(std::max<la_int64_t>(headerAt, 0));
  const char* path = archive_entry_pathname(e);
  if (path == nullptr)
    path = archive_entry_pathname_utf8(e);
  entry.Name = path != nullptr ? path : "";

  TKind kind;
  const char* hardlink = archive_entry_hardlink(e);
  const auto type = archive_entry_filetype(e);
  if (hardlink != nullptr) {
    kind = TKind::HardLink;
    entry.IsLink = true;
    entry.IsHardLink = true;
    entry.LinkTarget = hardlink;
  } else if (type == AE_IFDIR) {
    kind = TKind::Folder;
    entry.IsFolder = true;
    entry.Attributes |= ftDirectory;
  } else if (type == AE_IFLNK) {
    kind = TKind::SymLink;
    entry.IsLink = true;
    const char* target = archive_entry_symlink(e);
    entry.LinkTarget = target != nullptr ? target : "";
    entry.Size = entry.LinkTarget.size();
  } else if (type == AE_IFREG) {
    kind = TKind::File;
  } else {
    kind = TKind::Other; // devices, FIFOs, sockets: listed, never extracted
  }
  const la_int64_t size = archive_entry_size(e);
  // A hard link has data only in pax archives that say so; libarchive sets its size to match.
  if ((kind == TKind::File || kind == TKind::HardLink) && size > 0)
    entry.Size = static_cast<uint64_t>(size);
  entry.PackedSize = entry.Size;
  entry.HasUnixMode = true;
  entry.UnixMode = static_cast<uint32_t>(archive_entry_perm(e)) & 07777;
  if ((entry.UnixMode & 0200) == 0)
    entry.Attributes |= ftReadOnly;
  if (archive_entry_mtime_is_set(e)) {
    entry.HasUnixTime = true;
    entry.UnixTime = static_cast<int64_t>(archive_entry_mtime(e));
  }

  HasCurrent = true;
  CurrentIndex = entry.Index;
  CurrentKind = kind;
  CurrentSize = entry.Size;
  CurrentTarget = kind == TKind::SymLink ? entry.LinkTarget : std::string();
  DataTaken = false;
  return true;
}

std::unique_ptr<TEntryData> TTarReader::OpenData(const TArcEntry& entry, const std::string&,
                                                 int& error) {
  // The data streams past once: only the current entry, and only once.
  if (!HasCurrent || entry.Index != CurrentIndex || DataTaken) {
    error = errSeek;
    return nullptr;
  }
  if (CurrentKind == TKind::Other) {
    error = errUnsupportedMethod;
    return nullptr;
  }
  DataTaken = true;
  error = errNone;
  if (CurrentKind == TKind::SymLink)
    return std::make_unique<TBytesData>(CurrentTarget);
  return std::make_unique<TTarData>(*this, Generation, CurrentSize);
}

ptrdiff_t TTarData::Read(uint8_t* buffer, size_t count) {
  if (Fault != errNone)
    return -1;
  if (Reader.Generation != Generation)
    return Fail(errSeek);
  size_t done = 0;
  while (done < count) {
    if (BlockLeft > 0 && Position == BlockOffset) {
      const size_t n = std::min(BlockLeft, count - done);
      std::memcpy(buffer + done, Block, n);
      Block += n;
      BlockLeft -= n;
      BlockOffset += n;
      Position += n;
      done += n;
      continue;
    }
    if (Position < BlockOffset) {
      const size_t n =
          static_cast<size_t>(std::min<uint64_t>(BlockOffset - Position, count - done));
      std::memset(buffer + done, 0, n);
      Position += n;
      done += n;
      continue;
    }
    if (AtEnd)
      break;
    const void* block = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    const int status = archive_read_data_block(Reader.Archive, &block, &size, &offset);
    if (status == ARCHIVE_EOF) {
      // The end offset is the full size of a sparse entry: a hole may run up to it.
      AtEnd = true;
      BlockOffset = std::clamp<uint64_t>(static_cast<uint64_t>(std::max<la_int64_t>(offset, 0)),
                                         Position, Size);
      continue;
    }
    if (status != ARCHIVE_OK && status != ARCHIVE_WARN)
      return Fail(Reader.FailureCode(errUnexpectedEof));
    // Blocks come in order and inside the entry; anything else is a damaged sparse map.
    if (offset < 0 || static_cast<uint64_t>(offset) < Position ||
        static_cast<uint64_t>(offset) > Size || size > Size - static_cast<uint64_t>(offset))
      return Fail(errCorruptInput);
    Block = static_cast<const uint8_t*>(block);
    BlockLeft = size;
    BlockOffset = static_cast<uint64_t>(offset);
  }
  return static_cast<ptrdiff_t>(done);
}

int TTarData::Finish() {
  if (Finished || Fault != errNone)
    return Fault;
  Finished = true;
  // Whatever the caller left unread still has to be there.
  if (!ReadRest())
    return Fault;
  if (Position != Size)
    Fault = errUnexpectedEof;
  return Fault;
}

} // namespace

std::unique_ptr<TFormatReader> MakeTarReader(TByteSource& source, const TFormatOptions& options) {
  return std::make_unique<TTarReader>(source, options);
}

} // namespace corvane::archive
