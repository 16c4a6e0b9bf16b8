// The outside libraries the RAR and CAB readers decode with, loaded by name at run time: RAR
// archives are read by libarchive ("libarchive.so.13"), cabinets by libmspack ("libmspack.so.0").
// A machine without one of them still runs the program; only the format that needs it fails
// (errUnrarMissing, errCabinetMissing).
//
// The programs load both once at start with LoadArchiveLibraries(); a reader that finds them not
// yet loaded loads them itself, so tests and tools work without the call. They stay loaded until
// the program ends.
//
// The environment can point elsewhere: CORVANE_LIB_RAR and CORVANE_LIB_CAB name another library
// file (a soname or a path), or say "none" to act as if the library were not installed.
//
// The headers of the two libraries are included for their types and constants only: every call
// goes through the function tables below, filled by dlsym.
#pragma once

#include <archive.h>
#include <archive_entry.h>
#include <mspack.h>

#include <memory>
#include <string>

namespace corvane::archive {

// The libarchive functions the RAR reader calls.
struct TRarLibrary {
  decltype(&::archive_read_new) ReadNew = nullptr;
  decltype(&::archive_read_free) ReadFree = nullptr;
  decltype(&::archive_read_support_format_rar) SupportFormatRar = nullptr;
  decltype(&::archive_read_support_format_rar5) SupportFormatRar5 = nullptr;
  decltype(&::archive_read_open2) ReadOpen2 = nullptr;
  decltype(&::archive_read_next_header) ReadNextHeader = nullptr;
  decltype(&::archive_read_data_block) ReadDataBlock = nullptr;
  decltype(&::archive_read_header_position) ReadHeaderPosition = nullptr;
  decltype(&::archive_read_has_encrypted_entries) ReadHasEncryptedEntries = nullptr;
  decltype(&::archive_format) Format = nullptr;
  decltype(&::archive_errno) Errno = nullptr;
  decltype(&::archive_entry_pathname) EntryPathname = nullptr;
  decltype(&::archive_entry_pathname_utf8) EntryPathnameUtf8 = nullptr;
  decltype(&::archive_entry_filetype) EntryFiletype = nullptr;
  decltype(&::archive_entry_perm) EntryPerm = nullptr;
  decltype(&::archive_entry_size) EntrySize = nullptr;
  decltype(&::archive_entry_size_is_set) EntrySizeIsSet = nullptr;
  decltype(&::archive_entry_mtime) EntryMtime = nullptr;
  decltype(&::archive_entry_mtime_is_set) EntryMtimeIsSet = nullptr;
  decltype(&::archive_entry_symlink) EntrySymlink = nullptr;
  decltype(&::archive_entry_hardlink) EntryHardlink = nullptr;
  decltype(&::archive_entry_fflags_text) EntryFflagsText = nullptr;
  decltype(&::archive_entry_is_data_encrypted) EntryIsDataEncrypted = nullptr;
  decltype(&::archive_entry_is_metadata_encrypted) EntryIsMetadataEncrypted = nullptr;
};

// The libmspack functions the CAB reader calls; the rest it reaches through the decompressor's
// own function pointers.
struct TCabLibrary {
  decltype(&::mspack_create_cab_decompressor) CreateCabDecompressor = nullptr;
  decltype(&::mspack_destroy_cab_decompressor) DestroyCabDecompressor = nullptr;
};

// Loads both libraries unless that was done already. Programs call it first thing in main.
void LoadArchiveLibraries();

// The function tables, loading the library on first use; nullptr when it is missing. A reader
// keeps what it got for its lifetime, so the library stays loaded while the reader reads.
std::shared_ptr<const TRarLibrary> RarLibrary();
std::shared_ptr<const TCabLibrary> CabLibrary();

// Whether the library was found (loading it first when that was not tried yet).
bool RarLibraryPresent();
bool CabLibraryPresent();

// Forgets both libraries, so that the next use loads them again and reads the environment
// afresh. For tests that switch a library off; readers alive at the time keep theirs.
void ResetArchiveLibraries();

// The file name of part `part` (from 2) of a multi-volume RAR set whose first part is `archive`:
// "name.part1.rar" goes on as "name.part2.rar", ... (as many digits as the first part has, or
// more), and "name.rar" as "name.r00", "name.r01", ... "name.r99", "name.s00", ... Self-extracting
// first parts ("name.exe", "name.part1.exe") go on the same way with ".rar" parts.
std::string RarPartName(const std::string& archive, int part);

} // namespace corvane::archive
