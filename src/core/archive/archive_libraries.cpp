#include "archive/archive_libraries.h"

#include <dlfcn.h>

#include <cstdlib>
#include <mutex>

namespace corvane::archive {
namespace {

// A library opened with dlopen, closed when the last table taken from it is dropped.
class THandle final {
public:
  explicit THandle(void* handle) : Handle(handle) {}
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  ~THandle() {
    if (Handle != nullptr)
      ::dlclose(Handle);
  }
  void* Get() const { return Handle; }

private:
  void* Handle;
};

// The library named by the environment variable, or the default soname; nullptr when the
// variable says "none" or the library or one of its functions cannot be found.
std::shared_ptr<THandle> OpenLibrary(const char* variable, const char* soname) {
  const char* name = std::getenv(variable);
  if (name == nullptr || *name == '\0')
    name = soname;
  else if (std::string(name) == "none")
    return nullptr;
  void* handle = ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr)
    return nullptr;
  return std::make_shared<THandle>(handle);
}

template <class TFunction> bool Bind(void* handle, const char* name, TFunction& function) {
  function = reinterpret_cast<TFunction>(::dlsym(handle, name));
  return function != nullptr;
}

// The table and the handle it came from share one lifetime.
template <class TTable> struct TLoaded {
  std::shared_ptr<THandle> Handle;
  TTable Table;
};

template <class TTable>
std::shared_ptr<const TTable> Share(std::shared_ptr<THandle> handle, const TTable& table) {
  auto loaded = std::make_shared<TLoaded<TTable>>(TLoaded<TTable>{std::move(handle), table});
  return std::shared_ptr<const TTable>(loaded, &loaded->Table);
}

std::shared_ptr<const TRarLibrary> LoadRar() {
  auto handle = OpenLibrary("CORVANE_LIB_RAR", "libarchive.so.13");
  if (!handle)
    return nullptr;
  void* h = handle->Get();
  TRarLibrary t;
  const bool all =
      Bind(h, "archive_read_new", t.ReadNew) && Bind(h, "archive_read_free", t.ReadFree) &&
      Bind(h, "archive_read_support_format_rar", t.SupportFormatRar) &&
      Bind(h, "archive_read_support_format_rar5", t.SupportFormatRar5) &&
      Bind(h, "archive_read_open2", t.ReadOpen2) &&
      Bind(h, "archive_read_next_header", t.ReadNextHeader) &&
      Bind(h, "archive_read_data_block", t.ReadDataBlock) &&
      Bind(h, "archive_read_header_position", t.ReadHeaderPosition) &&
      Bind(h, "archive_read_has_encrypted_entries", t.ReadHasEncryptedEntries) &&
      Bind(h, "archive_format", t.Format) && Bind(h, "archive_errno", t.Errno) &&
      Bind(h, "archive_entry_pathname", t.EntryPathname) &&
      Bind(h, "archive_entry_pathname_utf8", t.EntryPathnameUtf8) &&
      Bind(h, "archive_entry_filetype", t.EntryFiletype) &&
      Bind(h, "archive_entry_perm", t.EntryPerm) && Bind(h, "archive_entry_size", t.EntrySize) &&
      Bind(h, "archive_entry_size_is_set", t.EntrySizeIsSet) &&
      Bind(h, "archive_entry_mtime", t.EntryMtime) &&
      Bind(h, "archive_entry_mtime_is_set", t.EntryMtimeIsSet) &&
      Bind(h, "archive_entry_symlink", t.EntrySymlink) &&
      Bind(h, "archive_entry_hardlink", t.EntryHardlink) &&
      Bind(h, "archive_entry_fflags_text", t.EntryFflagsText) &&
      Bind(h, "archive_entry_is_data_encrypted", t.EntryIsDataEncrypted) &&
      Bind(h, "archive_entry_is_metadata_encrypted", t.EntryIsMetadataEncrypted);
  if (!all)
    return nullptr;
  return Share(std::move(handle), t);
}

std::shared_ptr<const TCabLibrary> LoadCab() {
  auto handle = OpenLibrary("CORVANE_LIB_CAB", "libmspack.so.0");
  if (!handle)
    return nullptr;
  void* h = handle->Get();
  TCabLibrary t;
  if (!Bind(h, "mspack_create_cab_decompressor", t.CreateCabDecompressor) ||
      !Bind(h, "mspack_destroy_cab_decompressor", t.DestroyCabDecompressor))
    return nullptr;
  return Share(std::move(handle), t);
}

// What was found. Tried stays set after a failed load, so a missing library is looked for once;
// the tables are released with this state when the program ends.
struct TState {
  std::mutex Lock;
  bool RarTried = false;
  bool CabTried = false;
  std::shared_ptr<const TRarLibrary> Rar;
  std::shared_ptr<const TCabLibrary> Cab;
};

TState& State() {
  static TState state;
  return state;
}

} // namespace

void LoadArchiveLibraries() {
  (void)RarLibrary();
  (void)CabLibrary();
}

std::shared_ptr<const TRarLibrary> RarLibrary() {
  TState& s = State();
  std::lock_guard<std::mutex> guard(s.Lock);
  if (!s.RarTried) {
    s.RarTried = true;
    s.Rar = LoadRar();
  }
  return s.Rar;
}

std::shared_ptr<const TCabLibrary> CabLibrary() {
  TState& s = State();
  std::lock_guard<std::mutex> guard(s.Lock);
  if (!s.CabTried) {
    s.CabTried = true;
    s.Cab = LoadCab();
  }
  return s.Cab;
}

bool RarLibraryPresent() {
  return RarLibrary() != nullptr;
}

bool CabLibraryPresent() {
  return CabLibrary() != nullptr;
}

void ResetArchiveLibraries() {
  TState& s = State();
  std::lock_guard<std::mutex> guard(s.Lock);
  s.RarTried = false;
  s.CabTried = false;
  s.Rar.reset();
  s.Cab.reset();
}

} // namespace corvane::archive
