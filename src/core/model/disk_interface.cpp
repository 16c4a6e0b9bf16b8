#include "model/disk_interface.h"

#include "model/browser.h"

#include <utility>

namespace corvane {

TDiskInterface::TDiskInterface(TBrowser* owner, uint8_t sourceKind, std::string root)
    : SourceKind(sourceKind), Root(std::move(root)), Owner(owner) {}

TDiskInterface::~TDiskInterface() = default;

bool TDiskInterface::BeginCopyIn(std::string_view, std::string_view, int, bool) {
  return true;
}
bool TDiskInterface::CopyOut(std::string_view, std::string_view, bool) {
  return false;
}
void TDiskInterface::CopyOutMany(std::vector<TCopyOutItem>& items, bool move,
                                 const std::function<void(size_t)>& finished) {
  for (size_t i = 0; i < items.size() && (!Owner || Owner->Busy); ++i) {
    items[i].Done = CopyOut(items[i].Name, items[i].Target, move);
    if (finished)
      finished(i);
  }
}

bool TDiskInterface::CopyIn(std::string_view, std::string_view, bool) {
  return false;
}
bool TDiskInterface::EndCopyIn() {
  return true;
}
bool TDiskInterface::BeginDelete() {
  return true;
}
bool TDiskInterface::EndDelete() {
  return true;
}
bool TDiskInterface::MakeDir(std::string_view, uint16_t) {
  return false;
}
bool TDiskInterface::RemoveDir(std::string_view) {
  return false;
}

} // namespace corvane
