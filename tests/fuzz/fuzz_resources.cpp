// libFuzzer target for the executable resource reader: the input is read as an image from memory,
// the whole resource tree is walked, every item is decoded the way the explorer window decodes it,
// and every leaf of the raw directory is visited.
#include "resources/dialog_template.h"
#include "resources/exe_image.h"
#include "resources/form_text.h"
#include "resources/resource_item.h"
#include "resources/version_info.h"

#include <cstddef>
#include <cstdint>
#include <unordered_set>
#include <vector>

using namespace corvane::resources;

namespace {

// An image item can belong to many groups (a hostile file can make one image the member of
// thousands): each item is decoded once.
void Walk(TResourceItem& item, int depth, std::unordered_set<TResourceItem*>& seen) {
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
    // Data outside the file is refused; that is a result, not a fault.
  }
  switch (item.ResType()) {
  case static_cast<int32_t>(TResourceType::rtDialog):
    (void)DecodeDialog(data);
    break;
  case static_cast<int32_t>(TResourceType::rtVersion):
    (void)DecodeVersionInfo(data);
    break;
  default:
    (void)FormTextLines(data);
    break;
  }
  // Type, group, image: no sound tree goes deeper.
  if (depth < 4 && item.IsList()) {
    TResourceList& list = item.GetResourceList();
    for (size_t i = 0; i < list.Count(); ++i) {
      TResourceItem& child = list.Item(i);
      (void)child.GetName(); // a group member's name depends on the group that lists it
      Walk(child, depth + 1, seen);
    }
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    TExeImage image(std::vector<uint8_t>(data, data + size), "fuzz.input");
    if (TResourceList* root = image.Resources()) {
      std::unordered_set<TResourceItem*> seen;
      for (size_t i = 0; i < root->Count(); ++i)
        Walk(root->Item(i), 1, seen);
      for (TResourceItem* kept : {image.IconType(), image.CursorType()})
        if (kept)
          Walk(*kept, 1, seen);
      image.Directory()->WalkLeaves([](const TResourceLeaf& leaf) {
        (void)leaf.Data.Bytes.size();
        return true;
      });
    }
  } catch (const EExeError&) {
    // A refused file is a result, not a fault.
  }
  return 0;
}
