// The desktop's list of recently used documents, which "Clear Recent Docs" empties.
#pragma once

namespace corvane::platform {

// Rewrites $XDG_DATA_HOME/recently-used.xbel (or ~/.local/share/...) as an empty bookmark list,
// in one step; false when it cannot be written (the old list is then as it was).
bool ClearRecentDocuments();

} // namespace corvane::platform
