// For the benchmarks of the time to the first picture: a filter that, at the first paint of the
// widget it watches, prints what the program measures and ends the program.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <unistd.h>

namespace corvane::app {

// Milliseconds since the kernel started this process (its start time is kept in clock ticks
// since boot).
inline double MillisecondsSinceProcessStart() {
  std::ifstream stat("/proc/self/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), {});
  const size_t close = text.rfind(')');
  if (close == std::string::npos)
    return -1;
  // Fields after the command name start at field 3; the start time is field 22.
  size_t pos = close + 2;
  for (int field = 3; field < 22 && pos != std::string::npos; ++field)
    pos = text.find(' ', pos) + 1;
  const double startTicks = std::strtod(text.c_str() + pos, nullptr);
  timespec now{};
  ::clock_gettime(CLOCK_BOOTTIME, &now);
  const double nowMs = now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
  return nowMs - startTicks * 1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// The process's resident memory in MiB, or -1 when it cannot be read.
inline double ResidentMib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0)
      return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
  return -1;
}

class TFirstPaintProbe final : public QObject {
public:
  // `report` prints the figures; it runs once, after the first paint has been handled.
  explicit TFirstPaintProbe(std::function<void()> report) : Report(std::move(report)) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !Reported) {
      Reported = true;
      QTimer::singleShot(0, [this] {
        Report();
        std::fflush(stdout);
        QCoreApplication::exit(0);
      });
    }
    return QObject::eventFilter(watched, event);
  }

private:
  std::function<void()> Report;
  bool Reported = false;
};

} // namespace corvane::app
