// uuencoded and xxencoded files: text with one or more "begin <mode> <name>" ... "end" sections,
// each an entry. Which of the two encodings a section uses is told by its first data line: every
// data line starts with a character giving its byte count, in the encoding's own alphabet.
//
// The first "begin" line must come within options.MaxHeaderLines lines; the following sections
// are searched for up to the end of the part the last one ended in, since text between sections
// (mail digests, notes) can be of any length. A section whose part ends before its "end" line
// goes on in the next part (options.NextPart), after the mail headers at the top of that part.
// Sizes are not stored: listing decodes each section, counting its bytes.
//
// Faults are reported, never skipped: a line that is no data line of the section's encoding
// ends the section with errCorruptInput, unless only such lines follow up to the end of its part
// (a signature after the data of a mailed part). A section whose parts end before its "end" line
// fails with errBrokenVolumeChain, or errUnexpectedEof when there is no way to ask for parts.
#include "archive/archive_format.h"

#include "config/text_codec.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace corvane::archive {
namespace {

// Lines are kept up to this length; a longer one can be neither a "begin" line nor a data line.
constexpr size_t MaxLineBytes = 8192;
constexpr size_t LineBufferSize = 64 * 1024;
// Characters a data line may have beyond those its byte count needs: some encoders add a check
// character to each line.
constexpr size_t LineSlack = 2;
// Bytes a data line can hold: its count is one 6-bit character.
constexpr size_t MaxLineData = 63;

enum class TEncoding { Unknown, Uu, Xx };

constexpr std::array<int8_t, 256> MakeXxTable() {
  std::array<int8_t, 256> table{};
  for (auto& v : table)
    v = -1;
  const char alphabet[] = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  for (int i = 0; i < 64; ++i)
    table[static_cast<unsigned char>(alphabet[i])] = static_cast<int8_t>(i);
  return table;
}
constexpr std::array<int8_t, 256> XxTable = MakeXxTable();

// The 6-bit value of a character, or -1 when the encoding has no such character. uuencode maps
// 0..63 to " ".."_" and also writes "`" for 0.
int CharValue(TEncoding encoding, unsigned char c) {
  if (encoding == TEncoding::Uu)
    return (c >= 0x20 && c <= 0x60) ? (c - 0x20) & 0x3F : -1;
  return XxTable[c];
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimRight(std::string_view text) {
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

bool IsEndLine(std::string_view line) {
  return TrimRight(line) == "end";
}

bool IsBlankLine(std::string_view line) {
  return TrimRight(line).empty();
}

struct TBeginLine {
  uint32_t Mode = 0;
  std::string Name;
};

// "begin <octal mode> <name>"; the name is the rest of the line.
bool ParseBegin(std::string_view line, TBeginLine& begin) {
  if (line.size() < 6 || line.substr(0, 5) != "begin" || !IsBlank(line[5]))
    return false;
  size_t i = 5;
  while (i < line.size() && IsBlank(line[i]))
    ++i;
  uint32_t mode = 0;
  const size_t digits = i;
  for (; i < line.size() && line[i] >= '0' && line[i] <= '7'; ++i)
    mode = ((mode << 3) | static_cast<uint32_t>(line[i] - '0')) & 07777;
  if (i == digits || i == line.size() || !IsBlank(line[i]))
    return false;
  while (i < line.size() && IsBlank(line[i]))
    ++i;
  const std::string_view name = TrimRight(line.substr(i));
  if (name.empty())
    return false;
  begin.Mode = mode;
  begin.Name.assign(name);
  return true;
}

// The bytes of a data line of the given encoding into out (room for MaxLineData), or false when
// the line is not one: a character outside the alphabet, or fewer or many more characters than
// its count needs.
bool DecodeLine(std::string_view line, TEncoding encoding, uint8_t* out, size_t& count) {
  if (encoding == TEncoding::Xx)
    line = TrimRight(line); // spaces are not xxencode characters; mailers append them
  if (line.empty())
    return false;
  const int length = CharValue(encoding, static_cast<unsigned char>(line[0]));
  if (length < 0)
    return false;
  const auto n = static_cast<size_t>(length);
  const size_t chars = line.size() - 1;
  const size_t needed = n / 3 * 4 + (n % 3 != 0 ? n % 3 + 1 : 0);
  const size_t padded = (n + 2) / 3 * 4;
  if (chars < needed || chars > padded + LineSlack)
    return false;
  uint8_t values[MaxLineData / 3 * 4 + 4 + LineSlack] = {};
  for (size_t i = 0; i < chars; ++i) {
    const int v = CharValue(encoding, static_cast<unsigned char>(line[i + 1]));
    if (v < 0)
      return false;
    values[i] = static_cast<uint8_t>(v);
  }
  // Characters missing from the last group (some encoders leave them out) are zero bits.
  size_t produced = 0;
  for (size_t g = 0; produced < n; g += 4) {
    const uint8_t bytes[3] = {
        static_cast<uint8_t>(values[g] << 2 | values[g + 1] >> 4),
        static_cast<uint8_t>(values[g + 1] << 4 | values[g + 2] >> 2),
        static_cast<uint8_t>(values[g + 2] << 6 | values[g + 3]),
    };
    const size_t take = std::min<size_t>(3, n - produced);
    std::memcpy(out + produced, bytes, take);
    produced += take;
  }
  count = n;
  return true;
}

// A data line of the section's encoding; with the encoding not yet known, the first data line
// decides it (uuencode when the line is valid in both).
bool DecodeAny(std::string_view line, TEncoding& encoding, uint8_t* out, size_t& count) {
  if (encoding != TEncoding::Unknown)
    return DecodeLine(line, encoding, out, count);
  for (const TEncoding candidate : {TEncoding::Uu, TEncoding::Xx}) {
    if (DecodeLine(line, candidate, out, count)) {
      encoding = candidate;
      return true;
    }
  }
  return false;
}

// Reads a source line by line through a buffer. Lines end with LF; a CR before it is dropped.
class TLineReader final {
public:
  void Reset(TByteSource* source, uint64_t offset) {
    Source = source;
    BufferStart = offset;
    Filled = 0;
    Next = 0;
    Failed = false;
  }
  // The next line; false at the end of the source (or on a read error: SourceFailed()).
  // longLine: the line has more than MaxLineBytes bytes and `line` holds only the first ones.
  bool ReadLine(std::string& line, bool& longLine) {
    line.clear();
    longLine = false;
    bool any = false;
    for (;;) {
      if (Next == Filled && !Fill()) {
        if (!any)
          return false;
        break;
      }
      any = true;
      const uint8_t* start = Buffer.get() + Next;
      const size_t available = Filled - Next;
      const auto* lf = static_cast<const uint8_t*>(std::memchr(start, '\n', available));
      const size_t take = lf != nullptr ? static_cast<size_t>(lf - start) : available;
      const size_t keep = std::min(take, MaxLineBytes + 1 - line.size());
      line.append(reinterpret_cast<const char*>(start), keep);
      Next += take + (lf != nullptr ? 1 : 0);
      if (lf != nullptr)
        break;
    }
    if (line.size() > MaxLineBytes) {
      longLine = true;
      line.resize(MaxLineBytes);
    } else if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    return true;
  }
  uint64_t Position() const { return BufferStart + Next; }
  bool SourceFailed() const { return Failed; }
  TByteSource* Current() const { return Source; }

private:
  bool Fill() {
    BufferStart += Filled;
    Filled = 0;
    Next = 0;
    const uint64_t size = Source->Size();
    if (Failed || BufferStart >= size)
      return false;
    if (!Buffer)
      Buffer = std::make_unique<uint8_t[]>(LineBufferSize);
    const size_t want = static_cast<size_t>(std::min<uint64_t>(LineBufferSize, size - BufferStart));
    const ptrdiff_t got = Source->ReadAt(BufferStart, Buffer.get(), want);
    if (got <= 0) {
      Failed = got < 0;
      return false;
    }
    Filled = static_cast<size_t>(got);
    return true;
  }

  TByteSource* Source = nullptr;
  std::unique_ptr<uint8_t[]> Buffer;
  uint64_t BufferStart = 0; // source offset of Buffer[0]
  size_t Filled = 0;
  size_t Next = 0;
  bool Failed = false;
};

// Where a section's data starts and how it is encoded (Unknown when it has no data line).
struct TSection {
  int Volume = 1;
  uint64_t DataOffset = 0;
  TEncoding Encoding = TEncoding::Unknown;
};

class TUueReader;

// Walks one section from the line after "begin" to "end", across parts, one data line a step.
class TSectionWalker final {
public:
  enum class TStep { Data, End, Fault };

  TSectionWalker(TUueReader& reader, const TSection& section);
  // Data: `count` bytes (up to MaxLineData) in out. End: the "end" line was read. Fault: Fault()
  // tells why.
  TStep Step(uint8_t* out, size_t& count);

  int Fault() const { return FaultCode; }
  TEncoding Encoding() const { return Coding; }
  // Where the search for the next section goes on: after the "end" line, or at the line that
  // stopped the walk.
  int Volume() const { return VolumeNumber; }
  uint64_t ResumeOffset() const { return Resume; }
  uint64_t Consumed() const { return Bytes; }

private:
  TStep Stop(int code, uint64_t at) {
    FaultCode = code;
    Resume = at;
    return TStep::Fault;
  }
  bool OnlyTextToVolumeEnd();
  bool ToNextVolume();

  TUueReader& Reader;
  TLineReader Lines;
  std::string Line;
  int VolumeNumber;
  TEncoding Coding;
  bool SkippingHeaders = false; // at the top of a following part
  int SkippedLines = 0;
  int FaultCode = errNone;
  uint64_t Resume = 0;
  uint64_t Bytes = 0;
};

class TUueData final : public TEntryData {
public:
  TUueData(TUueReader& reader, const TSection& section) : Walker(reader, section) {}
  ptrdiff_t Read(uint8_t* buffer, size_t count) override;
  int Finish() override;

private:
  TSectionWalker Walker;
  uint8_t Pending[MaxLineData];
  size_t PendingSize = 0;
  size_t PendingUsed = 0;
  bool Ended = false;
};

class TUueReader final : public TFormatReader {
public:
  TUueReader(TByteSource& source, const TFormatOptions& options)
      : Source(source), Options(options),
        SearchOffset(std::min(options.StartOffset, source.Size())) {}

  bool Next(TArcEntry& entry) override;
  std::unique_ptr<TEntryData> OpenData(const TArcEntry& entry, const std::string& password,
                                       int& error) override;

  // Volume `number` (from 1) of the file; volumes once given are kept for the data to read again.
  TByteSource* Volume(int number);
  // The fault of a section whose parts end before its "end" line.
  int MissingVolumeFault() const {
    return Options.NextPart ? errBrokenVolumeChain : errUnexpectedEof;
  }
  int HeaderLines() const { return std::max(1, Options.MaxHeaderLines); }

private:
  TByteSource& Source;
  TFormatOptions Options;
  std::vector<std::unique_ptr<TByteSource>> Volumes; // volumes 2, 3, ...
  bool ChainEnded = false;
  std::vector<TSection> Sections;
  TLineReader Lines;
  int SearchVolume = 1;
  uint64_t SearchOffset;
  bool Done = false;
};

TSectionWalker::TSectionWalker(TUueReader& reader, const TSection& section)
    : Reader(reader), VolumeNumber(section.Volume), Coding(section.Encoding) {
  Lines.Reset(reader.Volume(section.Volume), section.DataOffset);
}

bool TSectionWalker::ToNextVolume() {
  TByteSource* next = Reader.Volume(VolumeNumber + 1);
  if (next == nullptr)
    return false;
  ++VolumeNumber;
  Lines.Reset(next, 0);
  SkippingHeaders = true;
  SkippedLines = 0;
  return true;
}

// A line that is no data line is damage, unless only such lines follow up to the end of the part:
// then it is text after the data of a part (a signature, a "cut here" line).
bool TSectionWalker::OnlyTextToVolumeEnd() {
  const uint64_t resume = Lines.Position();
  bool onlyText = false;
  std::string line;
  bool longLine;
  uint8_t scratch[MaxLineData];
  size_t count;
  for (int n = 0; n < Reader.HeaderLines(); ++n) {
    if (!Lines.ReadLine(line, longLine)) {
      onlyText = !Lines.SourceFailed();
      break;
    }
    TBeginLine begin;
    TEncoding probe = Coding;
    if (!longLine &&
        (IsEndLine(line) || ParseBegin(line, begin) || DecodeAny(line, probe, scratch, count)))
      break;
  }
  TByteSource* source = Lines.Current();
  Lines.Reset(source, onlyText ? source->Size() : resume);
  return onlyText;
}

TSectionWalker::TStep TSectionWalker::Step(uint8_t* out, size_t& count) {
  if (FaultCode != errNone)
    return TStep::Fault;
  for (;;) {
    const uint64_t lineStart = Lines.Position();
    bool longLine;
    if (!Lines.ReadLine(Line, longLine)) {
      if (Lines.SourceFailed())
        return Stop(errReadFile, lineStart);
      // A following part without any data line does not continue this section.
      if (SkippingHeaders)
        return Stop(errBrokenVolumeChain, lineStart);
      if (!ToNextVolume())
        return Stop(Reader.MissingVolumeFault(), lineStart);
      continue;
    }
    Bytes += Lines.Position() - lineStart;
    if (!longLine) {
      if (IsEndLine(Line)) {
        Resume = Lines.Position();
        return TStep::End;
      }
      if (!SkippingHeaders && IsBlankLine(Line))
        continue; // a line of zero bytes whose length character a mailer took for a space
      if (DecodeAny(Line, Coding, out, count)) {
        SkippingHeaders = false;
        return TStep::Data;
      }
    }
    if (SkippingHeaders) {
      if (++SkippedLines >= Reader.HeaderLines())
        return Stop(errBrokenVolumeChain, lineStart);
      continue;
    }
    if (!OnlyTextToVolumeEnd())
      return Stop(errCorruptInput, lineStart);
  }
}

ptrdiff_t TUueData::Read(uint8_t* buffer, size_t count) {
  if (Fault != errNone)
    return -1;
  size_t done = 0;
  while (done < count) {
    if (PendingUsed < PendingSize) {
      const size_t n = std::min(PendingSize - PendingUsed, count - done);
      std::memcpy(buffer + done, Pending + PendingUsed, n);
      PendingUsed += n;
      done += n;
      continue;
    }
    if (Ended)
      break;
    size_t got = 0;
    switch (Walker.Step(Pending, got)) {
    case TSectionWalker::TStep::Data:
      PendingSize = got;
      PendingUsed = 0;
      break;
    case TSectionWalker::TStep::End:
      Ended = true;
      break;
    case TSectionWalker::TStep::Fault:
      Fault = Walker.Fault();
      return -1;
    }
  }
  return static_cast<ptrdiff_t>(done);
}

int TUueData::Finish() {
  uint8_t scratch[4096];
  while (Fault == errNone && !Ended)
    if (Read(scratch, sizeof scratch) < 0)
      break;
  return Fault;
}

TByteSource* TUueReader::Volume(int number) {
  if (number <= 1)
    return &Source;
  const auto index = static_cast<size_t>(number - 2);
  if (index < Volumes.size())
    return Volumes[index].get();
  if (ChainEnded || index > Volumes.size() || !Options.NextPart)
    return nullptr;
  auto part = Options.NextPart(number, std::string());
  if (!part) {
    ChainEnded = true;
    return nullptr;
  }
  Volumes.push_back(std::move(part));
  return Volumes.back().get();
}

bool TUueReader::Next(TArcEntry& entry) {
  if (Done)
    return false;
  const bool first = Sections.empty();
  Lines.Reset(Volume(SearchVolume), SearchOffset);
  std::string line;
  bool longLine;
  TBeginLine begin;
  uint64_t beginAt = 0;
  for (int seen = 0;;) {
    beginAt = Lines.Position();
    if (!Lines.ReadLine(line, longLine)) {
      Done = true;
      if (Lines.SourceFailed())
        throw EArchiveError(errReadFile);
      if (first)
        throw EArchiveError(errNoBeginLine);
      return false;
    }
    if (!longLine && ParseBegin(line, begin))
      break;
    if (first && ++seen >= HeaderLines()) {
      Done = true;
      throw EArchiveError(errNoBeginLine);
    }
  }

  TSection section;
  section.Volume = SearchVolume;
  section.DataOffset = Lines.Position();
  TSectionWalker walker(*this, section);
  uint8_t scratch[MaxLineData];
  size_t count = 0;
  uint64_t size = 0;
  while (walker.Step(scratch, count) == TSectionWalker::TStep::Data)
    size += count;
  // A section cut short is listed with what it has; its data reports the fault.
  section.Encoding = walker.Encoding();
  SearchVolume = walker.Volume();
  SearchOffset = walker.ResumeOffset();

  entry = TArcEntry{};
  entry.Index = Sections.size();
  entry.Offset = beginAt;
  entry.Name =
      config::IsValidUtf8(begin.Name) ? begin.Name : DecodeDosName(begin.Name, Options.CodePage);
  entry.HasUnixMode = true;
  entry.UnixMode = begin.Mode & 0777; // never set-user-ID, set-group-ID or sticky
  entry.Size = size;
  entry.PackedSize = section.DataOffset - beginAt + walker.Consumed();
  entry.Private[0] = static_cast<uint64_t>(section.Volume);
  entry.Private[1] = section.DataOffset;
  Sections.push_back(section);
  return true;
}

std::unique_ptr<TEntryData> TUueReader::OpenData(const TArcEntry& entry, const std::string&,
                                                 int& error) {
  if (entry.Index >= Sections.size()) {
    error = errSeek;
    return nullptr;
  }
  error = errNone;
  return std::make_unique<TUueData>(*this, Sections[entry.Index]);
}

} // namespace

std::unique_ptr<TFormatReader> MakeUueReader(TByteSource& source, const TFormatOptions& options) {
  return std::make_unique<TUueReader>(source, options);
}

} // namespace corvane::archive
