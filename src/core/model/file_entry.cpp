#include "model/file_entry.h"

namespace corvane {

std::string TFileEntry::EntryName() const {
  if (Ext.empty())
    return Name;
  std::string name;
  name.reserve(Name.size() + 1 + Ext.size());
  name += Name;
  name += '.';
  name += Ext;
  return name;
}

TFileEntry TFileEntry::MakeUpEntry() {
  TFileEntry entry;
  entry.Name = "..";
  entry.Attr = faDirectory | faUpEntry;
  entry.Kind = TEntryKind::Folder;
  return entry;
}

} // namespace corvane
