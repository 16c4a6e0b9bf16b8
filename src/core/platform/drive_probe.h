// The guarded drive probe: whether a drive answers, and the free and total bytes of the file
// system of a folder.
//
// A dead network mount or a sleeping automount can block statvfs for minutes, and the whole user
// interface with it. So the question runs on a worker thread and the caller waits a bounded time
// (about 1.5 s): no answer in time counts as "not ready". A probe that never comes back leaves its
// thread blocked in the kernel; while it does, further questions about the same folder are
// answered "not ready" at once instead of piling up more threads.
#pragma once

#include "platform/clock.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace corvane::platform {

struct TDriveFigures {
  uint64_t FreeBytes = 0; // available to the user
  uint64_t TotalBytes = 0;
};

class TDriveProbe final {
public:
  using TQuery = std::function<bool(const std::string& nativeFolder, TDriveFigures& out)>;
  static constexpr std::chrono::milliseconds DefaultTimeout{1500};

  explicit TDriveProbe(TQuery query = StatVfsQuery, TClock& clock = TClock::System(),
                       std::chrono::milliseconds timeout = DefaultTimeout);

  // The figures of the folder's file system, or nothing when it does not answer in time.
  std::optional<TDriveFigures> Query(const std::string& nativeFolder);
  // Whether a question about the folder is still waiting for the kernel.
  bool InFlight(const std::string& nativeFolder) const;

  static bool StatVfsQuery(const std::string& nativeFolder, TDriveFigures& out);

  // The probe the drive functions below use; tests put in their own.
  static TDriveProbe& Global();
  static void SetGlobal(std::shared_ptr<TDriveProbe> probe);

private:
  struct TShared;
  TQuery QueryFunction;
  TClock& Clock;
  std::chrono::milliseconds Timeout;
  std::shared_ptr<TShared> Shared;
};

// Mapped, mounted (C: always is) and answering the probe.
bool IsDriveReady(char letter);
// Free and total bytes of the file system holding a native folder, through the probe.
std::optional<TDriveFigures> FolderFigures(const std::string& nativeFolder);
// The volume label of a drive from the label links of its device, or empty.
std::string VolumeLabel(char letter);

} // namespace corvane::platform
