// "Let waiting window messages run": long walks and engines call ProcessMessages() between entries
// so that the window stays alive and a Stop button can clear the browser's Busy flag. Core has no
// event loop of its own; the user interface installs its own (QCoreApplication::processEvents).
// Without a hook the call does nothing, which is what tests and command-line tools want.
#pragma once

#include <functional>

namespace corvane::platform {

void ProcessMessages();
// Installs the hook; an empty function removes it.
void SetProcessMessagesHook(std::function<void()> hook);

} // namespace corvane::platform
