#include "archive_samples.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace corvane::test {

using namespace archive;

TDecoded DecodeEntry(TFormatReader& reader, const TArcEntry& entry, const std::string& password,
                     size_t chunk, bool sizeIsExact) {
  TDecoded result;
  result.Stage = TDecodeStage::Open;
  const auto data = reader.OpenData(entry, password, result.Error);
  if (!data) {
    EXPECT_NE(result.Error, errNone) << entry.Name << ": no data and no code";
    return result;
  }
  EXPECT_EQ(result.Error, errNone);
  result.Stage = TDecodeStage::Read;
  std::vector<uint8_t> buffer(chunk);
  for (;;) {
    const ptrdiff_t got = data->Read(buffer.data(), buffer.size());
    if (got < 0) {
      result.Error = data->Error();
      EXPECT_NE(result.Error, errNone) << entry.Name << ": a failed read without a code";
      return result;
    }
    if (got == 0)
      break;
    result.Data.append(reinterpret_cast<const char*>(buffer.data()), static_cast<size_t>(got));
    if (sizeIsExact) {
      EXPECT_LE(result.Data.size(), entry.Size)
          << entry.Name << ": more data than the entry declares";
    }
  }
  result.Stage = TDecodeStage::Finish;
  result.Error = data->Finish();
  return result;
}

std::string CorpusPath(std::string_view relative) {
  return std::string(CORVANE_SOURCE_DIR "/tests/corpus/") + std::string(relative);
}

std::map<std::string, std::vector<TSampleEntry>> CorpusSamples(std::string_view format) {
  std::map<std::string, std::vector<TSampleEntry>> samples;
  std::ifstream file(CorpusPath("expected.tsv"));
  const std::string prefix =
      format.empty() ? std::string() : "archives/" + std::string(format) + "/";
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#' || !line.starts_with(prefix))
      continue;
    std::istringstream fields(line);
    std::string sample, name, folder, size;
    std::getline(fields, sample, '\t');
    std::getline(fields, name, '\t');
    std::getline(fields, folder, '\t');
    std::getline(fields, size, '\t');
    samples[sample].push_back(
        {name, folder == "1", size == "None" || size.empty() ? -1 : std::stoll(size)});
  }
  return samples;
}

} // namespace corvane::test
