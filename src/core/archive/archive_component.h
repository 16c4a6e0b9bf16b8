// The archive components: one reader, TZipTV, that walks an archive's directory and reports each
// entry, and one extractor class per format, all derived from TUnBase, that unpack the entries
// matching a file mask into a folder.
//
// Use: set the properties, then the archive file (which detects its type), then call ReadArchive
// or Extract. Events arrive synchronously on the calling thread while the operation runs; a
// handler may let waiting window messages run. Paths here are native paths.
//
// Faults of one entry raise OnError with the entry's name without folder and the operation goes
// on; faults that end the operation raise OnError with the archive's name and then throw
// EArchiveError.
#pragma once

#include "archive/archive_format.h"
#include "archive/archive_types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace corvane::archive {

class TExtractTarget;

class TAwkMain {
public:
  TAwkMain() = default;
  TAwkMain(const TAwkMain&) = delete;
  TAwkMain& operator=(const TAwkMain&) = delete;
  virtual ~TAwkMain();

  std::function<void(TAwkMain* sender)> OnActivate;
  std::function<void(TAwkMain* sender)> OnDeactivate;
  std::function<void(TAwkMain* sender, const std::string& fn, const std::string& msgEx,
                     const std::string& volumeId, int eCode)>
      OnError;
  std::function<void(TAwkMain* sender, float elapsedTime)> OnElapsedTime;
};

class TZipCommon : public TAwkMain {
public:
  // Setting the archive detects its type.
  void SetArchiveFile(const std::string& nativePath);
  const std::string& ArchiveFile() const { return Archive; }
  // The entry being read or extracted (during events; after OnError, the entry that failed).
  const TArcEntry& Entry() const { return Current; }
  TArcType ArcType() const { return Type; }

  // Which entries to report or extract: a mask list with "?" and "*" matched against the name
  // without folder (against the whole stored name when the mask holds a "\" or "/").
  std::string FileSpec = "*.*";
  // Bytes searched at the end of a file for a ZIP directory (the comment allowance).
  int ZipCmntBufSize = 2000;
  // The code page of names written on DOS (the program passes that of its language).
  std::string CodePage = "IBM437";

  // The next part of a multi-part archive: the handler may change folder and name; Cancel stops.
  std::function<void(TZipCommon* sender, std::string& dir, std::string& fn,
                     const std::string& volumeId, bool fExists, bool& cancel)>
      OnNextVolume;

protected:
  bool MatchesFileSpec(const TArcEntry& entry) const;
  // Opens the archive and its reader for an operation. Throws after reporting when that fails.
  std::unique_ptr<TFormatReader> OpenReader(std::unique_ptr<TByteSource>& source,
                                            int maxHeaderLines);
  // Raises OnActivate now, and OnDeactivate and OnElapsedTime when the result is destroyed.
  std::shared_ptr<void> Activate();
  // Ends an operation with a fault of the whole archive: OnError with the archive's name, then
  // the exception. The text is the code's unless a reader's fault gives its own.
  [[noreturn]] void Fail(int code);
  [[noreturn]] void Fail(const EArchiveError& fault);
  // OnError for one entry, with the code's text or, when not empty, the one given.
  void ReportEntryError(const TArcEntry& entry, int code, const std::string& text = {});
  // Name of the part `part` (2, 3, ...) of a multi-part archive; empty when it has no such name.
  virtual std::string DefaultPartName(int part) const;

  std::string Archive;
  TArcEntry Current;
  TArcType Type = TArcType::atNA;
  uint64_t ArchiveOffset = 0;
};

// The directory reader.
class TZipTV : public TZipCommon {
public:
  // Also report folder entries that hold no files.
  bool ShowBlankDirs = false;
  // Report every folder entry as stored (for tools that check archives).
  bool ShowAllDirs = false;

  std::function<void(TZipTV* sender, int64_t offset, int filenum)> OnRead;
  std::function<void(TZipTV* sender, const std::string& filename)> OnReadFile;
  std::function<void(TZipTV* sender)> OnReadBegin;
  std::function<void(TZipTV* sender)> OnReadEnd;
  std::function<void(TZipTV* sender, int numFiles)> OnTotals;

  // Reads the directory, raising OnRead for every entry matching FileSpec. Runs to the end.
  void ReadArchive();

  // The entry being reported, during OnRead: Entry(), and its stored name with the folder part, "\"
  // separated.
  std::string FileName() const;
  uint64_t UnpackedSize() const { return Current.Size; }
  uint64_t PackedSize() const { return Current.PackedSize; }
  uint32_t DosDateTime() const;
  uint32_t Attr() const { return Current.Attributes; }

private:
  void Report(const TArcEntry& entry, int& filenum);
  int64_t ArchiveTime = 0; // for entries stored without a time
};

// The extractor base.
class TUnBase : public TZipCommon {
public:
  TUnBase();
  ~TUnBase() override;

  TCpuType CpuType = TCpuType::cptAuto; // kept for settings; there is one code path
  std::string ExtractDir;
  // Recreate the stored folders below ExtractDir; false puts every file straight into it.
  bool UseStoredDirs = true;
  TSetDate SetDateTo = TSetDate::sdOrigDate;
  TProgressNotify ProgressNotify = TProgressNotify::Ten;
  // Decode and check every entry without writing anything.
  bool TestOnly = false;

  std::function<void(TUnBase* sender, const std::string& fn, uint8_t progress)> OnProgress;
  std::function<void(TUnBase* sender, const std::string& fn, int recNum, bool& extract)> OnBegin;
  std::function<void(TUnBase* sender, const std::string& fn, bool crcPass)> OnEnd;
  // A file of the entry's name exists; fileDate is the entry's time (seconds since 1970, UTC).
  // Accept (true when the event is not set) replaces it.
  std::function<void(TUnBase* sender, const std::string& fn, int64_t fileDate, bool& accept)>
      OnFileExists;
  // When set, each chosen file goes into the native folder this names (under its own name, no
  // stored folders), so that one pass over the archive can put entries into different folders;
  // an empty answer leaves the entry alone. ExtractDir is not used then. Called when the entry is
  // reached, before OnBegin.
  std::function<std::string(TUnBase* sender, const TArcEntry& entry)> OnTargetFolder;

  // Extracts every entry matching FileSpec into ExtractDir. Runs to the end.
  void Extract();
  // Extracts only the entries with these record numbers (an entry chosen by identity, whatever
  // characters its name holds).
  void ExtractEntries(const std::vector<uint64_t>& recNums);

  // Entries that failed in the last operation.
  int FailedCount() const { return Failed; }
  // Asks a running operation to end after the current block (it then fails with 25400).
  void Stop() { StopRequested = true; }

protected:
  // Whether this extractor unpacks archives of the type.
  virtual bool Serves(TArcType type) const = 0;
  // The passwords to try for an encrypted entry, in order; called again with attempt + 1 after a
  // wrong one. Empty: no more passwords.
  virtual std::string PasswordFor(const TArcEntry& entry, int attempt);
  virtual void PasswordAccepted(const std::string&) {}
  virtual int HeaderLineLimit() const { return 100; }

private:
  void Run(const std::vector<uint64_t>* recNums);
  void ExtractEntry(TFormatReader& reader, const TArcEntry& entry);
  // errNone or the entry's fault.
  int ExtractLink(const TArcEntry& entry, int folderFd, const std::string& name, bool replace);
  int ExtractData(TFormatReader& reader, const TArcEntry& entry, const std::string& fn,
                  int folderFd, const std::string& name, bool replace);
  std::unique_ptr<TEntryData> OpenEntryData(TFormatReader& reader, const TArcEntry& entry,
                                            int& error);
  void CheckStop();
  bool IsArchiveItself(int folderFd, const std::string& name) const;

  std::unique_ptr<TExtractTarget> Target;
  std::string TargetDir; // the folder Target has open, with OnTargetFolder
  std::vector<uint8_t> Buffer;
  std::string EntryFaultText; // the reader's text of the current entry's fault, if it has one
  int Failed = 0;
  bool StopRequested = false;
  uint64_t ArchiveDevice = 0;
  uint64_t ArchiveInode = 0;
};

// How many times any component of this process has begun a pass over an archive (listing,
// testing or extracting). A test seam: taking many entries out must be one pass.
uint64_t ArchivePasses();

class TUnZIP : public TUnBase {
public:
  std::vector<std::string> Passwords;
  std::function<void(TUnZIP* sender, const std::string& fn, std::string& password, bool& tryAgain)>
      OnGetPassword;

protected:
  bool Serves(TArcType type) const override;
  std::string PasswordFor(const TArcEntry& entry, int attempt) override;
  void PasswordAccepted(const std::string& password) override { LastGood = password; }

private:
  std::string LastGood;
  std::vector<std::string> Candidates; // for the entry being tried
  bool MayAsk = false;
  int Asked = 0;
};

class TUnRAR : public TUnBase {
public:
  std::string Password;

protected:
  bool Serves(TArcType type) const override { return type == TArcType::atRAR; }
  std::string PasswordFor(const TArcEntry&, int attempt) override {
    return attempt == 0 ? Password : "";
  }
};

class TUnCABInterface : public TUnBase {};

class TUnCAB : public TUnCABInterface {
protected:
  bool Serves(TArcType type) const override { return type == TArcType::atCAB; }
};

class TUnARJ : public TUnBase {
protected:
  bool Serves(TArcType type) const override { return type == TArcType::atARJ; }
};

class TUnLHA : public TUnBase {
protected:
  bool Serves(TArcType type) const override { return type == TArcType::atLHA; }
};

class TUnZOO : public TUnBase {
protected:
  bool Serves(TArcType type) const override { return type == TArcType::atZOO; }
};

class TUnTAR : public TUnBase {
protected:
  bool Serves(TArcType type) const override { return type == TArcType::atTAR; }
};

class TUnGZIP : public TUnBase {
protected:
  bool Serves(TArcType type) const override { return type == TArcType::atGZip; }
};

class TUnARC : public TUnBase {
protected:
  bool Serves(TArcType type) const override {
    return type == TArcType::atARC || type == TArcType::atPAK;
  }
};

// Uuencoded and xxencoded files; several parts are read one after another.
class TUUDecode : public TUnBase {
public:
  int MaxHeaderLines = 100;
  TNextVolumeName NextVolumeName = TNextVolumeName::nvChangeExt;
  bool VolumeLongFilenames = false;
  uint8_t VolumeStartNum = 0;

protected:
  bool Serves(TArcType type) const override { return type == TArcType::atUUE; }
  int HeaderLineLimit() const override { return MaxHeaderLines; }
  std::string DefaultPartName(int part) const override;
};

// The extractor for a detected type (the table of the archive folder source and the extraction
// window), or nullptr for a type that can be listed but not unpacked.
std::unique_ptr<TUnBase> MakeExtractor(TArcType type);

} // namespace corvane::archive
