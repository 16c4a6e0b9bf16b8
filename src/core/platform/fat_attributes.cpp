#include "platform/fat_attributes.h"

#include "platform/unique_fd.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/vfs.h>

namespace corvane::platform {

namespace {

class TKernelFatLayer final : public TFatAttributeLayer {
public:
  bool IsFat(int fd) override {
    struct statfs info {};
    return ::fstatfs(fd, &info) == 0 && info.f_type == MSDOS_SUPER_MAGIC;
  }
  bool Get(int fd, uint32_t& attr) override {
    return ::ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &attr) == 0;
  }
  bool Set(int fd, uint32_t attr) override {
    return ::ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &attr) == 0;
  }
};

TKernelFatLayer KernelLayer;
TFatAttributeLayer* ActiveLayer = &KernelLayer;

} // namespace

TFatAttributeLayer& TFatAttributeLayer::Current() {
  return *ActiveLayer;
}

void TFatAttributeLayer::Replace(TFatAttributeLayer* layer) {
  ActiveLayer = layer ? layer : &KernelLayer;
}

bool ReadFatAttributesAt(int dirFd, const char* name, uint16_t& attr) {
  TUniqueFd fd(::openat(dirFd, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  uint32_t bits = 0;
  if (!fd.Valid() || !TFatAttributeLayer::Current().Get(fd.Get(), bits))
    return false;
  attr = static_cast<uint16_t>(bits);
  return true;
}

} // namespace corvane::platform
