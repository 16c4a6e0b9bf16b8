#include "pe_writer.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace corvane::test {

namespace {

void Put16(TBytesOut& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}
void Put32(TBytesOut& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}
void Set16(TBytesOut& out, size_t at, uint32_t value) {
  out.at(at) = static_cast<uint8_t>(value);
  out.at(at + 1) = static_cast<uint8_t>(value >> 8);
}
void Set32(TBytesOut& out, size_t at, uint32_t value) {
  Set16(out, at, value & 0xFFFF);
  Set16(out, at + 2, value >> 16);
}
void Align(TBytesOut& out, size_t to) {
  while (out.size() % to)
    out.push_back(0);
}
// ASCII text as UTF-16, with its terminator.
void PutText(TBytesOut& out, const std::string& text) {
  for (unsigned char c : text)
    Put16(out, c);
  Put16(out, 0);
}
std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  return text;
}

// Directory order: named entries first (by name), then ids ascending.
struct TKey {
  bool Named;
  std::string Name;
  uint16_t Id;
  bool operator<(const TKey& other) const {
    return std::make_tuple(!Named, Name, Id) < std::make_tuple(!other.Named, other.Name, other.Id);
  }
};
TKey KeyOf(const TResId& id) {
  if (const auto* name = std::get_if<std::string>(&id))
    return {true, Upper(*name), 0};
  return {false, {}, std::get<uint16_t>(id)};
}

constexpr uint32_t SectionRva = 0x1000;
constexpr uint32_t HeadersSize = 0x200;

TBytesOut ResourceSection(const std::vector<TPeResource>& resources) {
  std::map<TKey, std::map<TKey, std::map<uint16_t, const TBytesOut*>>> tree;
  for (const TPeResource& r : resources)
    tree[KeyOf(r.Type)][KeyOf(r.Name)][r.Language] = &r.Data;

  // Offsets: the directories, then the data entries, then the names, then the data.
  auto dirSize = [](size_t entries) { return 16 + 8 * entries; };
  size_t at = dirSize(tree.size());
  std::map<const void*, uint32_t> dirAt;
  for (auto& [type, names] : tree) {
    dirAt[&names] = static_cast<uint32_t>(at);
    at += dirSize(names.size());
  }
  for (auto& [type, names] : tree)
    for (auto& [name, languages] : names) {
      dirAt[&languages] = static_cast<uint32_t>(at);
      at += dirSize(languages.size());
    }
  std::map<const TBytesOut*, uint32_t> entryAt;
  for (auto& [type, names] : tree)
    for (auto& [name, languages] : names)
      for (auto& [language, data] : languages) {
        entryAt[data] = static_cast<uint32_t>(at);
        at += 16;
      }
  std::map<std::string, uint32_t> nameAt;
  auto addName = [&](const TKey& key) {
    if (key.Named && !nameAt.count(key.Name)) {
      nameAt[key.Name] = static_cast<uint32_t>(at);
      at += 2 + 2 * key.Name.size();
    }
  };
  for (auto& [type, names] : tree) {
    addName(type);
    for (auto& [name, languages] : names)
      addName(name);
  }
  at = (at + 7) & ~size_t{7};
  std::map<const TBytesOut*, uint32_t> dataAt;
  for (auto& [type, names] : tree)
    for (auto& [name, languages] : names)
      for (auto& [language, data] : languages) {
        dataAt[data] = static_cast<uint32_t>(at);
        at = (at + data->size() + 7) & ~size_t{7};
      }

  TBytesOut out(at, 0);
  auto writeDir = [&](size_t offset, size_t named, size_t ids) {
    Set16(out, offset + 12, static_cast<uint32_t>(named));
    Set16(out, offset + 14, static_cast<uint32_t>(ids));
  };
  auto nameField = [&](const TKey& key) -> uint32_t {
    return key.Named ? 0x80000000u | nameAt[key.Name] : key.Id;
  };
  auto countNamed = [](const auto& map) {
    return static_cast<size_t>(
        std::count_if(map.begin(), map.end(), [](const auto& e) { return e.first.Named; }));
  };
  writeDir(0, countNamed(tree), tree.size() - countNamed(tree));
  size_t i = 0;
  for (auto& [type, names] : tree) {
    Set32(out, 16 + 8 * i, nameField(type));
    Set32(out, 16 + 8 * i + 4, 0x80000000u | dirAt[&names]);
    ++i;
    const uint32_t namesDir = dirAt[&names];
    writeDir(namesDir, countNamed(names), names.size() - countNamed(names));
    size_t j = 0;
    for (auto& [name, languages] : names) {
      Set32(out, namesDir + 16 + 8 * j, nameField(name));
      Set32(out, namesDir + 16 + 8 * j + 4, 0x80000000u | dirAt[&languages]);
      ++j;
      const uint32_t languagesDir = dirAt[&languages];
      writeDir(languagesDir, 0, languages.size());
      size_t k = 0;
      for (auto& [language, data] : languages) {
        Set32(out, languagesDir + 16 + 8 * k, language);
        Set32(out, languagesDir + 16 + 8 * k + 4, entryAt[data]);
        ++k;
        Set32(out, entryAt[data], SectionRva + dataAt[data]);
        Set32(out, entryAt[data] + 4, static_cast<uint32_t>(data->size()));
        std::copy(data->begin(), data->end(), out.begin() + dataAt[data]);
      }
    }
  }
  for (const auto& [name, offset] : nameAt) {
    Set16(out, offset, static_cast<uint32_t>(name.size()));
    for (size_t c = 0; c < name.size(); ++c)
      Set16(out, offset + 2 + 2 * c, static_cast<unsigned char>(name[c]));
  }
  return out;
}

} // namespace

TBytesOut MakePeImage(const std::vector<TPeResource>& resources) {
  const TBytesOut section = ResourceSection(resources);
  const uint32_t rawSize = static_cast<uint32_t>((section.size() + 0x1FF) & ~size_t{0x1FF});
  const uint32_t imageSize = SectionRva + ((rawSize + 0xFFF) & ~uint32_t{0xFFF});
  TBytesOut out(0x40, 0);
  out[0] = 'M';
  out[1] = 'Z';
  Set32(out, 0x3C, 0x40);
  out.insert(out.end(), {'P', 'E', 0, 0});
  Put16(out, 0x14C); // i386
  Put16(out, 1);     // one section
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  Put16(out, 224);    // size of the optional header
  Put16(out, 0x2102); // a 32-bit executable library
  Put16(out, 0x10B);  // PE32
  Put16(out, 0);
  Put32(out, 0);       // code
  Put32(out, rawSize); // initialised data
  Put32(out, 0);
  Put32(out, 0);          // no entry point
  Put32(out, SectionRva); // base of code
  Put32(out, SectionRva); // base of data
  Put32(out, 0x10000000); // image base
  Put32(out, 0x1000);     // section alignment
  Put32(out, 0x200);      // file alignment
  Put32(out, 4);          // OS 4.0
  Put32(out, 0);
  Put32(out, 4); // subsystem 4.0
  Put32(out, 0);
  Put32(out, imageSize);
  Put32(out, HeadersSize);
  Put32(out, 0);
  Put16(out, 2); // GUI
  Put16(out, 0);
  for (uint32_t size : {0x100000u, 0x1000u, 0x100000u, 0x1000u})
    Put32(out, size);
  Put32(out, 0);
  Put32(out, 16);
  for (int d = 0; d < 16; ++d) {
    Put32(out, d == 2 ? SectionRva : 0);
    Put32(out, d == 2 ? static_cast<uint32_t>(section.size()) : 0);
  }
  out.insert(out.end(), {'.', 'r', 's', 'r', 'c', 0, 0, 0});
  Put32(out, static_cast<uint32_t>(section.size()));
  Put32(out, SectionRva);
  Put32(out, rawSize);
  Put32(out, HeadersSize);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0x40000040); // initialised, readable
  out.resize(HeadersSize, 0);
  out.insert(out.end(), section.begin(), section.end());
  out.resize(HeadersSize + rawSize, 0);
  return out;
}

namespace {

TBytesOut InfoHeader(int width, int height, int bits, uint32_t imageSize) {
  TBytesOut out;
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(width));
  Put32(out, static_cast<uint32_t>(height));
  Put16(out, 1);
  Put16(out, static_cast<uint32_t>(bits));
  Put32(out, 0);
  Put32(out, imageSize);
  for (int i = 0; i < 4; ++i)
    Put32(out, 0);
  return out;
}

void PutPixels(TBytesOut& out, int width, int height, const std::vector<uint32_t>& pixels) {
  for (int y = height - 1; y >= 0; --y)
    for (int x = 0; x < width; ++x) {
      const size_t index = static_cast<size_t>(y) * width + x;
      Put32(out, index < pixels.size() ? pixels[index] : 0xFF000000u);
    }
}

} // namespace

TBytesOut MakeDib(int width, int height, const std::vector<uint32_t>& pixels) {
  TBytesOut out = InfoHeader(width, height, 32, static_cast<uint32_t>(width * height * 4));
  PutPixels(out, width, height, pixels);
  return out;
}

TBytesOut MakeIconImage(int width, int height, const std::vector<uint32_t>& pixels) {
  const int maskRow = ((width + 31) / 32) * 4;
  TBytesOut out = InfoHeader(width, height * 2, 32,
                             static_cast<uint32_t>(width * height * 4 + maskRow * height));
  PutPixels(out, width, height, pixels);
  out.resize(out.size() + static_cast<size_t>(maskRow) * height, 0);
  return out;
}

TBytesOut MakeCursorImage(int width, int height, const std::vector<uint32_t>& pixels, uint16_t hotX,
                          uint16_t hotY) {
  TBytesOut out;
  Put16(out, hotX);
  Put16(out, hotY);
  const TBytesOut image = MakeIconImage(width, height, pixels);
  out.insert(out.end(), image.begin(), image.end());
  return out;
}

TBytesOut MakeIconGroup(const std::vector<TGroupImage>& images, bool cursors) {
  TBytesOut out;
  Put16(out, 0);
  Put16(out, cursors ? 2 : 1);
  Put16(out, static_cast<uint32_t>(images.size()));
  for (const TGroupImage& image : images) {
    if (cursors) {
      Put16(out, static_cast<uint32_t>(image.Width));
      Put16(out, static_cast<uint32_t>(image.Height * 2));
    } else {
      out.push_back(static_cast<uint8_t>(image.Width));
      out.push_back(static_cast<uint8_t>(image.Height));
      out.push_back(0);
      out.push_back(0);
    }
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, image.Bytes);
    Put16(out, image.Id);
  }
  return out;
}

TBytesOut MakeDialog(uint32_t style, int16_t x, int16_t y, int16_t cx, int16_t cy,
                     const std::string& caption, uint16_t pointSize, const std::string& face,
                     const std::vector<TDialogItem>& items) {
  TBytesOut out;
  Put32(out, style | 0x40); // with a font
  Put32(out, 0);
  Put16(out, static_cast<uint32_t>(items.size()));
  for (int16_t v : {x, y, cx, cy})
    Put16(out, static_cast<uint16_t>(v));
  Put16(out, 0); // no menu
  Put16(out, 0); // the standard class
  PutText(out, caption);
  Put16(out, pointSize);
  PutText(out, face);
  for (const TDialogItem& item : items) {
    Align(out, 4);
    Put32(out, item.Style);
    Put32(out, 0);
    for (int16_t v : {item.X, item.Y, item.Cx, item.Cy})
      Put16(out, static_cast<uint16_t>(v));
    Put16(out, item.Id);
    if (const auto* atom = std::get_if<uint16_t>(&item.Class)) {
      Put16(out, 0xFFFF);
      Put16(out, *atom);
    } else {
      PutText(out, std::get<std::string>(item.Class));
    }
    PutText(out, item.Text);
    Put16(out, 0); // no creation data
  }
  return out;
}

namespace {

// One node of a version tree: its header, key, value and children, aligned as the format wants.
TBytesOut VersionNode(const std::string& key, const TBytesOut& value, uint16_t valueLength,
                      uint16_t type, const std::vector<TBytesOut>& children) {
  TBytesOut out;
  Put16(out, 0);
  Put16(out, valueLength);
  Put16(out, type);
  PutText(out, key);
  Align(out, 4);
  out.insert(out.end(), value.begin(), value.end());
  for (const TBytesOut& child : children) {
    Align(out, 4);
    out.insert(out.end(), child.begin(), child.end());
  }
  Set16(out, 0, static_cast<uint32_t>(out.size()));
  return out;
}

} // namespace

TBytesOut MakeVersionInfo(const TVersionData& v) {
  TBytesOut fixed;
  Put32(fixed, 0xFEEF04BD);
  Put32(fixed, 0x00010000);
  Put32(fixed, uint32_t{v.File[0]} << 16 | v.File[1]);
  Put32(fixed, uint32_t{v.File[2]} << 16 | v.File[3]);
  Put32(fixed, uint32_t{v.Product[0]} << 16 | v.Product[1]);
  Put32(fixed, uint32_t{v.Product[2]} << 16 | v.Product[3]);
  for (uint32_t field : {v.FlagsMask, v.Flags, v.Os, v.Type, v.Subtype, 0u, 0u})
    Put32(fixed, field);
  std::vector<TBytesOut> strings;
  for (const auto& [key, text] : v.Strings) {
    TBytesOut value;
    PutText(value, text);
    strings.push_back(VersionNode(key, value, static_cast<uint16_t>(text.size() + 1), 1, {}));
  }
  const TBytesOut table = VersionNode("040904B0", {}, 0, 1, strings);
  const TBytesOut stringInfo = VersionNode("StringFileInfo", {}, 0, 1, {table});
  TBytesOut translation;
  Put16(translation, 0x409);
  Put16(translation, 1200);
  const TBytesOut var = VersionNode("Translation", translation, 4, 0, {});
  const TBytesOut varInfo = VersionNode("VarFileInfo", {}, 0, 1, {var});
  return VersionNode("VS_VERSION_INFO", fixed, static_cast<uint16_t>(fixed.size()), 0,
                     {stringInfo, varInfo});
}

} // namespace corvane::test
