#include "model/standart_disk_interface.h"

#include "model/browser.h"
#include "model/copy_file.h"
#include "model/path_utils.h"
#include "platform/file_attributes.h"
#include "platform/file_ops.h"
#include "platform/native_path.h"

#include <cerrno>

namespace corvane {

std::string NormalizeSourceRoot(std::string_view root) {
  std::string out(root);
  if (out.find(':') == std::string::npos)
    out += ':';
  if (out.back() != '\\')
    out += '\\';
  return out;
}

TStandartDiskInterface::TStandartDiskInterface(TBrowser* owner, std::string_view root)
    : TDiskInterface(owner, skFolder, NormalizeSourceRoot(root)) {}

std::optional<std::string> TStandartDiskInterface::NativePath(std::string_view relative) const {
  std::string model = Root;
  model += relative;
  return platform::ModelToNative(model);
}

void TStandartDiskInterface::FillEntry(const std::string& name, const platform::TFileStatus& status,
                                       TFileEntry& entry) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) {
    entry.Name = name;
    entry.Ext.clear();
  } else {
    entry.Name.assign(name, 0, dot);
    entry.Ext.assign(name, dot + 1);
  }
  entry.Size = status.Size;
  entry.PackedSize = 0;
  entry.Created = platform::ToLocalSystemTime(status.Created);
  entry.Accessed = platform::ToLocalSystemTime(status.Accessed);
  entry.Written = platform::ToLocalSystemTime(status.Written);
  entry.Attr = status.Attr;
  entry.Marked = 0;
  entry.Kind = status.Kind;
}

bool TStandartDiskInterface::FindFirst(std::string_view folder, TFileEntry& entry) {
  return OpenListing(folder, false) && FindNext(entry);
}

bool TStandartDiskInterface::FindFirstName(std::string_view folder, TFileEntry& entry) {
  return OpenListing(folder, true) && FindNext(entry);
}

bool TStandartDiskInterface::CompleteEntry(TFileEntry& entry) {
  if (!Reader.ExamineCurrent(Status))
    return false;
  FillEntry(NameBuffer, Status, entry);
  return true;
}

bool TStandartDiskInterface::OpenListing(std::string_view folder, bool namesOnly) {
  std::string relative(folder);
  AddBackslash(relative);
  LastError = 0;
  const auto native = NativePath(relative);
  if (!native) {
    LastError = ENODEV;
    return false;
  }
  NamesOnly = namesOnly;
  if (!Reader.Open(*native, namesOnly)) {
    LastError = errno ? errno : EIO;
    return false;
  }
  return true;
}

bool TStandartDiskInterface::FindNext(TFileEntry& entry) {
  if (!Reader.Next(NameBuffer, Status))
    return false;
  // A "\" inside a native name shows as "/" in the model, where "\" separates.
  if (NameBuffer.find('\\') != std::string::npos)
    NameBuffer = platform::SwapSeparators(NameBuffer);
  if (NamesOnly) {
    // Only the name and the kind are known until CompleteEntry: no time is converted for the
    // entries a search passes over.
    const size_t dot = NameBuffer.rfind('.');
    entry.Name.assign(NameBuffer, 0, dot == std::string::npos ? NameBuffer.size() : dot);
    entry.Ext.assign(dot == std::string::npos ? std::string() : NameBuffer.substr(dot + 1));
    entry.Size = Status.Size;
    entry.Attr = Status.Attr;
    entry.Kind = Status.Kind;
    entry.Marked = 0;
    return true;
  }
  FillEntry(NameBuffer, Status, entry);
  return true;
}

bool TStandartDiskInterface::CopyOut(std::string_view name, std::string_view target, bool move) {
  return CopyFileBlocks(Owner, Root + std::string(name), target, move);
}

bool TStandartDiskInterface::CopyIn(std::string_view source, std::string_view name, bool move) {
  return CopyFileBlocks(Owner, source, Root + std::string(name), move);
}

bool TStandartDiskInterface::DeleteFile(std::string_view name) {
  const auto native = NativePath(name);
  return native && platform::DeleteFileAt(*native);
}

bool TStandartDiskInterface::MakeDir(std::string_view name, uint16_t attr) {
  const auto native = NativePath(name);
  if (!native || !platform::MakeFolder(*native))
    return false;
  platform::SetFileAttributes(*native, attr);
  return true;
}

bool TStandartDiskInterface::RemoveDir(std::string_view name) {
  const auto native = NativePath(name);
  return native && platform::RemoveFolder(*native);
}

} // namespace corvane
