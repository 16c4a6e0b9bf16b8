#include "hostile_archives.h"

#include "archive/crc16.h"
#include "zip_writer.h"

#include <zlib.h>

#include <cstdio>

namespace corvane::test {

namespace {

using namespace std::string_literals;

std::string Le(uint32_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i)
    out += static_cast<char>(value >> (8 * i));
  return out;
}

uint16_t Crc16(const std::string& data) {
  return archive::Crc16(0, reinterpret_cast<const uint8_t*>(data.data()), data.size());
}

uint32_t Crc32(const std::string& data) {
  return static_cast<uint32_t>(
      crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), data.size()));
}

constexpr uint32_t DosTime2020 = (40u << 25) | (1u << 21) | (1u << 16);

std::string ArjHeader(const std::string& name, uint8_t fileType, const std::string& data,
                      const std::string& extended) {
  std::string basic;
  basic += static_cast<char>(30); // size of the fixed fields
  basic += "\x0b\x01"s;           // version made by, needed to extract
  basic += static_cast<char>(2);  // host: Unix
  basic += '\0';                  // flags
  basic += '\0';                  // method: stored
  basic += static_cast<char>(fileType);
  basic += '\0';
  basic += Le(1'600'000'000, 4);
  basic += Le(static_cast<uint32_t>(data.size()), 4) + Le(static_cast<uint32_t>(data.size()), 4);
  basic += Le(Crc32(data), 4);
  basic += Le(0, 2) + Le(0100644, 2) + Le(0, 2);
  basic += name + '\0' + '\0';
  std::string out =
      "\x60\xea"s + Le(static_cast<uint32_t>(basic.size()), 2) + basic + Le(Crc32(basic), 4);
  if (!extended.empty())
    out += Le(static_cast<uint32_t>(extended.size()), 2) + extended + Le(Crc32(extended), 4);
  return out + Le(0, 2) + data;
}

} // namespace

std::string BuildLha(const std::vector<TLhaItem>& items) {
  std::string out;
  for (const TLhaItem& item : items) {
    // A Unix mode in an extended header; the chain ends with a size of 0.
    const std::string mode = "\x50"s + Le(item.Link ? 0120777 : 0100644, 2);
    const std::string chain = mode + Le(0, 2);
    const std::string& data = item.Link ? std::string() : item.Data;
    std::string body = item.Link ? "-lhd-" : "-lh0-";
    body += Le(static_cast<uint32_t>(data.size() + chain.size()), 4);
    body += Le(static_cast<uint32_t>(data.size()), 4) + Le(DosTime2020, 4);
    body += '\x20';
    body += '\x01'; // level
    body += static_cast<char>(item.Name.size()) + item.Name + Le(Crc16(data), 2);
    body += 'U' + Le(static_cast<uint32_t>(mode.size() + 2), 2);
    unsigned sum = 0;
    for (const char c : body)
      sum += static_cast<uint8_t>(c);
    out += static_cast<char>(body.size()) + std::string(1, static_cast<char>(sum)) + body + chain +
           data;
  }
  return out + '\0';
}

std::string BuildArj(const std::vector<TArjItem>& items) {
  std::string out = ArjHeader("HOSTILE.ARJ", 2, std::string(), std::string());
  for (const TArjItem& item : items) {
    if (item.Kind == TArjItem::TKind::File) {
      out += ArjHeader(item.Name, 0, item.Data, std::string());
      continue;
    }
    // "U", a zero byte, the kind in the top three bits and the target's length in the low five.
    const unsigned kind = item.Kind == TArjItem::TKind::HardLink ? 1 : 2;
    const std::string special =
        "U\0"s + static_cast<char>(kind << 5 | item.Target.size()) + item.Target;
    out += ArjHeader(item.Name, 6, std::string(), special);
  }
  return out + "\x60\xea\x00\x00"s;
}

std::string TarHeader(const std::string& name, uint64_t size, char type,
                      const std::string& target) {
  std::string h(512, '\0');
  h.replace(0, name.size(), name);
  h.replace(100, 7, "0000644");
  h.replace(108, 7, "0001750");
  h.replace(116, 7, "0001750");
  char field[16];
  std::snprintf(field, sizeof field, "%011llo", static_cast<unsigned long long>(size));
  h.replace(124, 11, field);
  h.replace(136, 11, "14571234567");
  h[156] = type;
  h.replace(157, target.size(), target);
  h.replace(257, 8, "ustar\00000"s);
  unsigned sum = 0;
  for (size_t i = 0; i < 512; ++i)
    sum += i >= 148 && i < 156 ? ' ' : static_cast<unsigned char>(h[i]);
  std::snprintf(field, sizeof field, "%06o", sum);
  h.replace(148, 8, std::string(field, 6) + '\0' + ' ');
  return h;
}

std::string BuildTar(const std::vector<TTarItem>& items) {
  std::string out;
  for (const TTarItem& item : items) {
    if (item.HardLink) {
      out += TarHeader(item.Name, 0, '1', item.Target);
      continue;
    }
    out += TarHeader(item.Name, item.Data.size()) + item.Data;
    out += std::string((512 - item.Data.size() % 512) % 512, '\0');
  }
  return out + std::string(1024, '\0');
}

std::string EncodeText(const std::string& name, const std::string& data, bool xx) {
  static const char xxChars[] = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  const auto ch = [xx](unsigned v) {
    return xx ? xxChars[v & 63] : static_cast<char>(v ? v + 32 : '`');
  };
  std::string out = "begin 644 " + name + "\n";
  for (size_t at = 0; at < data.size(); at += 45) {
    const std::string line = data.substr(at, 45);
    out += ch(static_cast<unsigned>(line.size()));
    for (size_t i = 0; i < line.size(); i += 3) {
      unsigned char b[3] = {0, 0, 0};
      for (size_t k = 0; k < 3 && i + k < line.size(); ++k)
        b[k] = static_cast<unsigned char>(line[i + k]);
      out += ch(b[0] >> 2);
      out += ch(((b[0] & 3) << 4) | (b[1] >> 4));
      out += ch(((b[1] & 15) << 2) | (b[2] >> 6));
      out += ch(b[2] & 63);
    }
    out += "\n";
  }
  return out + ch(0) + "\nend\n";
}

std::vector<THostileSample> NulByteSamples() {
  const std::string name = "..\0/x"s;
  const std::string target = "..\0/y"s;
  TZipItem zipName(name, "outside");
  TZipItem zipLink("l", target);
  zipLink.Host = zipHostUnix;
  zipLink.Attributes = UnixAttributes(0120777);
  const TZipItem zipOk("ok.txt", "ok");
  using TKind = TArjItem::TKind;
  return {
      {"zip name", "name.zip", BuildZip(TZipArchive({zipName, zipOk})), name},
      {"zip link target", "link.zip", BuildZip(TZipArchive({zipLink, zipOk})), "l"},
      // One encoded file per text: the good entry is a second section.
      {"uue begin name", "name.uue", EncodeText(name, "outside") + EncodeText("ok.txt", "ok"),
       name},
      {"xxe begin name", "name.xxe",
       EncodeText(name, "outside", true) + EncodeText("ok.txt", "ok", true), name},
      {"lha name", "name.lzh", BuildLha({{name, "outside", false}, {"ok.txt", "ok", false}}), name},
      {"lha link target", "link.lzh",
       BuildLha({{"l|" + target, "", true}, {"ok.txt", "ok", false}}), "l"},
      {"arj link target", "link.arj",
       BuildArj({{"l", "", TKind::SymLink, target}, {"ok.txt", "ok", TKind::File, ""}}), "l"},
      {"arj hard link target", "hard.arj",
       BuildArj({{"h", "", TKind::HardLink, target}, {"ok.txt", "ok", TKind::File, ""}}), "h"},
  };
}

} // namespace corvane::test
