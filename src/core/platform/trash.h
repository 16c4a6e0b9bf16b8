// The desktop trash as freedesktop.org lays it out, shared with every other program of the
// desktop: moving files into it and emptying it.
//
// Trashing must never lose a file, so an item only ever changes its name: it is renamed into the
// trash of its own volume, never copied to another one and never deleted as a way out. Items on
// the file system of the home trash ($XDG_DATA_HOME/Trash, else ~/.local/share/Trash) go there;
// items elsewhere go to the trash at the top folder of their volume (the mount point, found by
// walking up while the device stays the same): the administrator's shared `.Trash/$uid` when
// `.Trash` is a real folder with the sticky bit, else `.Trash-$uid`, made with mode 0700. A
// shared `.Trash` that is a link or lacks the sticky bit, and user folders owned by someone else,
// are not used: on a volume others can write to they would let them redirect our files.
//
// The information file is made first, with O_EXCL, so it reserves the item's name in the trash
// against every other program trashing at the same moment (the name gets ".2", ".3", ... when it
// is taken); the item is then renamed under that name without replacing anything. When the rename
// fails the information file goes again and the item stays where it was. The optional cache of
// folder sizes is left alone when trashing.
//
// Emptying removes what the trash holds and keeps the trash folders. Trashed trees are removed
// through folder descriptors, holding one at a time and checking every step back up through "..",
// so trees of any depth go, links are removed as links, and no link, mount or concurrent rename
// can lead the removal outside the trash. Only folders that are ours are emptied, by the same
// rules as above.
//
// Paths are native byte strings of any length. Failures come back as false with a sentence in
// `why`; nothing raises.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::platform {

// The home trash: $XDG_DATA_HOME/Trash, else ~/.local/share/Trash; native, no trailing "/".
std::string HomeTrashFolder();

// The Path= value of an information file: the path's bytes with everything but letters, digits,
// "/" and -_.!~*'() escaped as %XX (upper-case hex), the way URLs escape them.
std::string EncodeTrashPath(std::string_view path);
// The reverse. Nothing for a "%" not followed by two hex digits, or an escaped NUL byte.
std::optional<std::string> DecodeTrashPath(std::string_view encoded);

// Moves a file, folder or link (the link itself, never what it points to) into the trash of its
// volume. False, with the reason in `why`, when there is no usable trash there or the move failed;
// the item is then exactly where it was and no information file is left behind.
bool MoveToTrash(const std::string& nativePath, std::string* why = nullptr);

// Empties the home trash and the top-folder trashes (`.Trash/$uid`, `.Trash-$uid`) of the given
// mount points: everything in files/, every *.trashinfo in info/ and the directorysizes cache.
// An item that cannot be removed keeps its information file. Absent trashes are fine. The caller
// passes only mount points that answer (a dead network mount would block here). False, with the
// first failure and their number in `why`, when anything stayed; all else is removed.
bool EmptyTrash(const std::vector<std::string>& mountPoints, std::string* why = nullptr);

} // namespace corvane::platform
