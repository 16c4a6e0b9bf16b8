#include "archive/archive_types.h"

#include <algorithm>
#include <array>
#include <utility>

namespace corvane::archive {

namespace {

constexpr std::array<std::string_view, 28> TypeNames = {
    "atNA",     "atUnsupported", "atFileOpenErr", "atUnknown", "atARC",    "atArcExe",
    "atARJ",    "atArjExe",      "atBH",          "atBHExe",   "atCAB",    "atGZip",
    "atHA",     "atLHA",         "atLhaExe",      "atLZH",     "atLzhExe", "atPAK",
    "atPakExe", "atRAR",         "atRarExe",      "atTAR",     "atUUE",    "atZIP",
    "atZipExe", "atZip250",      "atZip250Exe",   "atZOO",
};

struct TCodeText {
  int Code;
  std::string_view Text;
};

// Sorted by code.
constexpr TCodeText CodeTexts[] = {
    {25102, "File is read-only"},
    {25103, "File is hidden"},
    {25104, "File is a SysFile"},
    {25105, "File is a directory"},
    {25106, "File is a VolumeID"},
    {25107, "Invalid file attribute"},
    {25108, "Bad file header"},
    {25109, "Bad block"},
    {25120, "Bad Huffman code"},
    {25121, "Invalid code encountered"},
    {25122, "Invalid comment header"},
    {25123, "No BEGIN line"},
    {25134, "Incorrect number of bits"},
    {25135, "Broken multi-volume chain"},
    {25136, "Error writing to file"},
    {25137, "Error closing file"},
    {25138, "Incomplete code set"},
    {25139, "Corrupt input"},
    {25150, "Error creating dir"},
    {25151, "File fails CRC check"},
    {25152, "File contains invalid decode tree"},
    {25153, "Invalid directory"},
    {25154, "Invalid directory... defaulting to current"},
    {25155, "Disk full"},
    {25156, "is not accessible."},
    {25157, "EOF not found"},
    {25166, "Unexpected end of file"},
    {25167, "Unexpected end of line"},
    {25168, "EOL not found"},
    {25169, "Error deleting file(s)"},
    {25170, "Command exec failed"},
    {25171, "Same input and output file-names"},
    {25172, "File not found"},
    {25173, "File size different"},
    {25230, "Warning, unknown flags"},
    {25235, "Error opening file"},
    {25236, "Error reading file or unexpected end of file"},
    {25237, "Header CRC error"},
    {25238, "Header ID error"},
    {25239, "Unexpected line break"},
    {25240, "Line found before 'BEGIN'"},
    {25241, "Skipped illegal char"},
    {25242, "Invalid or unsupported archive type for this operation"},
    {25243, "Invalid file name"},
    {25244, "Invalid length in send_bits"},
    {25245, "Inconsistent bit counts - gencodes"},
    {25247, "Bad lengths"},
    {25248, "Inconsistant local header"},
    {25249, "Insufficient lookahead"},
    {25250, "Maximum volumes 999"},
    {25253, "Out of memory"},
    {25255, "Uninitialized TMemoryStream object"},
    {25256, "Uninitialized TFileStream object"},
    {25257, "Header not found. File may be corrupt"},
    {25258, "Unrar.dll not found"},
    {25259, "Cabinet.dll not found"},
    {25262, "Multi-Part GZIP files not supported"},
    {25263, "Too many nested dirs"},
    {25264, "Nothing to decode"},
    {25270, "Required event not assigned"},
    {25280, "Open quote, but no close quote"},
    {25281, "Open paran, but no close paran"},
    {25290, "Password protected"},
    {25291, "Seek error"},
    {25292, "Ambiguous Shannon-Fano decode tree encountered"},
    {25297, "Stack overflow"},
    {25298, "Stream read/write error"},
    {25299, "Streaming not supported with this archive type"},
    {25300, "Hardware does not support high performance timing"},
    {25301, "Unsupported compression method"},
    {25302, "Unknown file type"},
    {25303, "Unsupported version"},
    {25310, "Error updating archive"},
    {25400, "User Aborted"},
    {25402, "Version error"},
    {25450, "Requires Win32 api"},
    {25901, "Extraction of this cabinet requires first disk of set"},
    {25902, "Previous volume in set"},
    {25903, "Next volume in set"},
    {25904, "Cabinet does not belong with this set"},
    {26517, "Invalid password"},
    {26522, "Password failed"},
    {26900, "Skipped File"},
    {26999, "Nothing to do"},
};

} // namespace

std::string_view ArcTypeName(TArcType type) {
  const auto index = static_cast<size_t>(type);
  return index < TypeNames.size() ? TypeNames[index] : std::string_view("atNA");
}

int ProgressStep(TProgressNotify notify) {
  switch (notify) {
  case TProgressNotify::Five:
    return 5;
  case TProgressNotify::Ten:
    return 10;
  case TProgressNotify::Fifteen:
    return 15;
  case TProgressNotify::Twenty:
    return 20;
  case TProgressNotify::TwentyFive:
    return 25;
  }
  return 10;
}

std::string ArchiveErrorText(int code) {
  const auto* end = std::end(CodeTexts);
  const auto* found =
      std::lower_bound(std::begin(CodeTexts), end, code,
                       [](const TCodeText& entry, int c) { return entry.Code < c; });
  if (found != end && found->Code == code)
    return std::string(found->Text);
  return "Error " + std::to_string(code);
}

std::string CabinetErrorText(int libraryError, int type) {
  return "Cabinet error " + std::to_string(libraryError) + " (type " + std::to_string(type) + ")";
}

EArchiveError::EArchiveError(int code) : EArchiveError(code, ArchiveErrorText(code)) {}

EArchiveError::EArchiveError(int code, const std::string& message)
    : std::runtime_error(message), ErrorCode(code) {}

} // namespace corvane::archive
