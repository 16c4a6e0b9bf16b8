// panel_paint: repainting a full page of a file panel over a folder of 100,000 entries, and the
// time from starting cv to its first painted main window.
//
// The page repaint is what scrolling costs: after PlaceCursor moves the grid, every cell, the
// separators, the information lines and the cursor bar are painted again and shown. The first
// paint is measured by cv itself (its --first-paint-ms option), offscreen, with a fresh program
// folder, as the median of a few starts.
#include "bench_folder.h"
#include "main/fonts.h"
#include "panels/file_panel.h"
#include "platform/native_path.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double FirstPaintMs(const std::string& cv) {
  char folder[] = "/tmp/corvane-first-paint-XXXXXX";
  if (!::mkdtemp(folder))
    return -1;
  const std::string command = "CORVANE_HOME='" + std::string(folder) +
                              "' QT_QPA_PLATFORM=offscreen '" + cv +
                              "' --first-paint-ms 2>/dev/null";
  double figure = -1;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, pipe))
      std::sscanf(line, "figure first_paint_ms %lf", &figure);
    ::pclose(pipe);
  }
  [[maybe_unused]] const int removed =
      std::system(("rm -rf '" + std::string(folder) + "'").c_str());
  return figure;
}

} // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const std::string folder = corvane::bench::BenchFolder();
  if (!corvane::bench::MakeBenchFolder(folder)) {
    std::printf("cannot make the benchmark folder %s\n", folder.c_str());
    return 1;
  }
  QApplication app(argc, argv);
  corvane::InstallFontSubstitutions();

  corvane::TFPanel panel(nullptr, corvane::TPanelSide::Left);
  panel.ApplyDefaults();
  panel.Active = true;
  panel.Settings.Path = QString::fromStdString(*corvane::platform::NativeToModel(folder));
  panel.InitFromPath();
  panel.resize(800, 600);
  panel.show();
  panel.LayoutAndPaint();
  const int count = panel.Browser.Count();

  constexpr int Rounds = 60;
  std::vector<double> times;
  for (int round = 0; round < Rounds; ++round) {
    const auto start = Clock::now();
    panel.PlaceCursor(count / 2 + round * 37);
    panel.SyncCursorCell();
    panel.DrawList();
    panel.DrawCursor();
    panel.repaint();
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  std::printf("%d entries, page of %d cells, median of %d repaints\n", count,
              panel.Geometry().PageSize(3), Rounds);
  std::printf("figure paint_page_ms %.2f ms\n", times[times.size() / 2]);

  std::vector<double> starts;
  for (int i = 0; i < 3; ++i)
    starts.push_back(FirstPaintMs(CORVANE_STAGE_DIR "/cv"));
  std::sort(starts.begin(), starts.end());
  if (starts[1] < 0)
    std::printf("cv did not report its first paint; figure first_paint_ms skipped\n");
  else
    std::printf("figure first_paint_ms %.0f ms\n", starts[1]);
  return 0;
}
