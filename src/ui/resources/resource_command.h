// The main window's way into the resource explorer: Ctrl+7, the menus' and the context menu's
// items, and Enter on a library in a panel. The explorer window is made on first use as a window
// of the main window's own (so it goes when the main window goes) and kept.
#pragma once

#include <string>

namespace corvane {

class TForm1;
class TFormResource;

// Shows the file at a model path in the explorer, placed over the main window. A file inside an
// archive is looked at through a copy taken out of it (the active panel's cursor entry).
void OpenResourceExplorer(TForm1& form, const std::string& modelPath);
// The explorer window, or nullptr before the first use.
TFormResource* ResourceExplorer(const TForm1& form);

} // namespace corvane
