// The vocabulary of the archive components: archive types, option enumerations, attribute bits of
// entries, the error codes with their texts, and the components' exception.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace corvane::archive {

// Archive types in their published order. The ...Exe values are self-extracting executables that
// carry an archive of that format.
enum class TArcType {
  atNA,
  atUnsupported,
  atFileOpenErr,
  atUnknown,
  atARC,
  atArcExe,
  atARJ,
  atArjExe,
  atBH,
  atBHExe,
  atCAB,
  atGZip,
  atHA,
  atLHA,
  atLhaExe,
  atLZH,
  atLzhExe,
  atPAK,
  atPakExe,
  atRAR,
  atRarExe,
  atTAR,
  atUUE,
  atZIP,
  atZipExe,
  atZip250,
  atZip250Exe,
  atZOO,
};

// "atZIP", "atZipExe", ...: the identifier of a type, as scripts see it.
std::string_view ArcTypeName(TArcType type);

enum class TCpuType { cptAuto, cpt80286, cpt80386, cpt80486 };
// The step in percent between two progress events of one file.
enum class TProgressNotify { Five, Ten, Fifteen, Twenty, TwentyFive };
enum class TSetDate { sdOrigDate, sdSysDate };
enum class TNextVolumeName { nvChangeFilename, nvChangeExt };

int ProgressStep(TProgressNotify notify);

// Attribute bits of entries (the DOS attribute byte).
inline constexpr uint32_t ftReadOnly = 0x01;
inline constexpr uint32_t ftHidden = 0x02;
inline constexpr uint32_t ftSysFile = 0x04;
inline constexpr uint32_t ftVolumeID = 0x08;
inline constexpr uint32_t ftDirectory = 0x10;
inline constexpr uint32_t ftArchive = 0x20;

// Error codes. 25102..25450 are errors, 26500..26522 password messages, 25901..25904 cabinet set
// messages. Only the codes the program itself raises have names; ArchiveErrorText knows them all.
enum TArcError : int {
  errNone = 0,
  errBadFileHeader = 25108,
  errBadBlock = 25109,
  errNoBeginLine = 25123,
  errBrokenVolumeChain = 25135,
  errWriteFile = 25136,
  errCloseFile = 25137,
  errCorruptInput = 25139,
  errCreateDir = 25150,
  errCrc = 25151,
  errDiskFull = 25155,
  errUnexpectedEof = 25166,
  errSameFileNames = 25171,
  errFileNotFound = 25172,
  errOpenFile = 25235,
  errReadFile = 25236,
  errHeaderCrc = 25237,
  errUnsupportedType = 25242,
  errInvalidFileName = 25243,
  errInconsistentLocalHeader = 25248,
  errOutOfMemory = 25253,
  errHeaderNotFound = 25257,
  errUnrarMissing = 25258,
  errCabinetMissing = 25259,
  errMultiPartGzip = 25262,
  errTooManyNestedDirs = 25263,
  errNothingToDecode = 25264,
  errPasswordProtected = 25290,
  errSeek = 25291,
  errUnsupportedMethod = 25301,
  errUnknownFileType = 25302,
  errUnsupportedVersion = 25303,
  errUserAborted = 25400,
  errInvalidPassword = 26517,
  errPasswordFailed = 26522,
  errSkippedFile = 26900,
  errNothingToDo = 26999,
};

// The component's own English text of a code; an unknown code gives "Error <code>".
std::string ArchiveErrorText(int code);

// What the cabinet library was doing when it failed: the "type" of a cabinet fault.
enum TCabinetFaultType : int {
  cabFaultOpen = 1,    // reading a cabinet's headers
  cabFaultExtract = 2, // decoding a file
};
// The text of a fault the cabinet library reports, "Cabinet error <its code> (type <type>)"; it
// goes with the code the fault maps to.
std::string CabinetErrorText(int libraryError, int type);

// The exception that ends an operation: its message is the code's text.
class EArchiveError : public std::runtime_error {
public:
  explicit EArchiveError(int code);
  EArchiveError(int code, const std::string& message);
  int Code() const { return ErrorCode; }

private:
  int ErrorCode;
};

} // namespace corvane::archive
