// Where an archive entry may be written: its stored name split into folder components that stay
// below the extraction folder, or a refusal.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvane::archive {

// Splits a stored name ("/" separated, see TArcEntry::Name) into its components, dropping empty
// and "." ones. False, with nothing appended, for a name that could leave the target folder: one
// with a ".." component, or an absolute ("/..."), drive ("C:...") or network ("//server") prefix,
// and for a name holding a NUL byte (the system calls would see it cut there). The components
// are exactly the bytes the system calls receive.
// A name that is only separators and dots gives true and no components.
bool SplitEntryPath(std::string_view name, std::vector<std::string>& components);

// The target of a symbolic link entry is acceptable when it is relative and has no ".." component:
// such a link can only point down from its own folder, also through other such links, so it stays
// inside the target folder. (A lexical check that allows ".." is fooled by a link to ".".) A
// target holding a NUL byte is refused.
bool LinkStaysInside(std::string_view target);

// The name as the model shows it: components separated by "\" (and a "\" inside a component
// shown as "/"), without a trailing separator.
std::string ModelEntryName(std::string_view name);

} // namespace corvane::archive
