// Helpers of the resource reader tests: the fixture files (made by fixtures/make_fixtures.py),
// finding items by their display names, and a walk that touches every item the way the explorer
// window and the fuzzer do.
#pragma once

#include "resources/dialog_template.h"
#include "resources/exe_image.h"
#include "resources/resource_item.h"
#include "resources/version_info.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace corvane::resources::test {

inline std::string FixturePath(std::string_view name) {
  return std::string(CORVANE_SOURCE_DIR "/tests/core/resources/fixtures/") + std::string(name);
}

inline std::string CorpusPath(std::string_view name) {
  return std::string(CORVANE_SOURCE_DIR "/tests/corpus/pe/") + std::string(name);
}

inline std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

inline std::string Text(TBytes bytes) {
  return {bytes.begin(), bytes.end()};
}

// The item of `list` whose display name is `name`, or nullptr.
inline TResourceItem* Find(TResourceList& list, std::string_view name) {
  for (size_t i = 0; i < list.Count(); ++i)
    if (list.Item(i).GetName() == name)
      return &list.Item(i);
  return nullptr;
}

inline std::vector<std::string> Names(TResourceList& list) {
  std::vector<std::string> names;
  for (size_t i = 0; i < list.Count(); ++i)
    names.push_back(list.Item(i).GetName());
  return names;
}

// Touches everything an item offers, its children included, and counts the items met. An image
// that several groups list is decoded once. Decoding faults of a resource are results here, not
// failures.
inline void WalkItem(TResourceItem& item, int depth, std::unordered_set<TResourceItem*>& seen) {
  if (!seen.insert(&item).second)
    return;
  (void)item.GetName();
  (void)item.ResName();
  (void)item.Offset();
  (void)item.RawSize();
  const TBytes data = item.RawData();
  try {
    (void)item.FileImage();
    (void)item.TextLines();
  } catch (const EExeError&) {
  }
  if (item.ResType() == static_cast<int32_t>(TResourceType::rtDialog))
    (void)DecodeDialog(data);
  if (item.ResType() == static_cast<int32_t>(TResourceType::rtVersion))
    (void)DecodeVersionInfo(data);
  if (item.IsList() && depth < 4) {
    TResourceList& list = item.GetResourceList();
    for (size_t i = 0; i < list.Count(); ++i) {
      (void)list.Item(i).GetName();
      WalkItem(list.Item(i), depth + 1, seen);
    }
  }
}

// Every item of the tree and every leaf of the raw directory; returns how many distinct items and
// leaves with data were met.
inline size_t WalkEverything(TExeImage& image) {
  std::unordered_set<TResourceItem*> seen;
  size_t leaves = 0;
  if (TResourceList* root = image.Resources()) {
    for (size_t i = 0; i < root->Count(); ++i)
      WalkItem(root->Item(i), 1, seen);
    for (TResourceItem* kept : {image.IconType(), image.CursorType()})
      if (kept)
        WalkItem(*kept, 1, seen);
  }
  if (TResourceDirectory* directory = image.Directory())
    directory->WalkLeaves([&](const TResourceLeaf& leaf) {
      leaves += !leaf.Data.Bytes.empty();
      return true;
    });
  return seen.size() + leaves;
}

} // namespace corvane::resources::test
