#include "platform/drive_probe.h"

#include "platform/at_path.h"
#include "platform/drive_table.h"
#include "platform/mount_table.h"

#include <dirent.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cctype>
#include <condition_variable>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

namespace corvane::platform {

// What the caller and the worker threads share; it outlives the probe while a worker runs.
struct TDriveProbe::TShared {
  std::mutex Mutex;
  std::set<std::string> InFlight;
};

namespace {

struct TAnswer {
  std::mutex Mutex;
  std::condition_variable Done;
  bool Finished = false;
  bool Ok = false;
  TDriveFigures Figures;
};

std::shared_ptr<TDriveProbe>& GlobalProbe() {
  static std::shared_ptr<TDriveProbe> probe = std::make_shared<TDriveProbe>();
  return probe;
}

std::mutex GlobalMutex;

// udev writes unsafe characters of a label as \xHH.
std::string DecodeLabel(std::string_view name) {
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' &&
        std::isxdigit(static_cast<unsigned char>(name[i + 2])) &&
        std::isxdigit(static_cast<unsigned char>(name[i + 3]))) {
      out += static_cast<char>(std::stoi(std::string(name.substr(i + 2, 2)), nullptr, 16));
      i += 3;
    } else {
      out += name[i];
    }
  }
  return out;
}

} // namespace

TDriveProbe::TDriveProbe(TQuery query, TClock& clock, std::chrono::milliseconds timeout)
    : QueryFunction(std::move(query)), Clock(clock), Timeout(timeout),
      Shared(std::make_shared<TShared>()) {}

bool TDriveProbe::StatVfsQuery(const std::string& nativeFolder, TDriveFigures& out) {
  struct statvfs info {};
  if (::statvfs(nativeFolder.c_str(), &info) != 0)
    return false;
  out.FreeBytes = static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
  out.TotalBytes = static_cast<uint64_t>(info.f_blocks) * info.f_frsize;
  return true;
}

bool TDriveProbe::InFlight(const std::string& nativeFolder) const {
  std::lock_guard lock(Shared->Mutex);
  return Shared->InFlight.count(nativeFolder) != 0;
}

std::optional<TDriveFigures> TDriveProbe::Query(const std::string& nativeFolder) {
  {
    std::lock_guard lock(Shared->Mutex);
    if (!Shared->InFlight.insert(nativeFolder).second)
      return std::nullopt; // the last question about it has not come back
  }
  auto answer = std::make_shared<TAnswer>();
  try {
    std::thread([answer, shared = Shared, query = QueryFunction, nativeFolder] {
      TDriveFigures figures;
      const bool ok = query(nativeFolder, figures);
      // No longer in flight before the answer is given: the caller may ask again at once.
      {
        std::lock_guard lock(shared->Mutex);
        shared->InFlight.erase(nativeFolder);
      }
      {
        std::lock_guard lock(answer->Mutex);
        answer->Ok = ok;
        answer->Figures = figures;
        answer->Finished = true;
      }
      answer->Done.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    std::lock_guard lock(Shared->Mutex);
    Shared->InFlight.erase(nativeFolder);
    return std::nullopt;
  }
  std::unique_lock lock(answer->Mutex);
  if (!Clock.WaitUntil(answer->Done, lock, Clock.Now() + Timeout,
                       [&] { return answer->Finished; }) ||
      !answer->Ok)
    return std::nullopt;
  return answer->Figures;
}

TDriveProbe& TDriveProbe::Global() {
  std::lock_guard lock(GlobalMutex);
  return *GlobalProbe();
}

void TDriveProbe::SetGlobal(std::shared_ptr<TDriveProbe> probe) {
  std::lock_guard lock(GlobalMutex);
  GlobalProbe() = probe ? std::move(probe) : std::make_shared<TDriveProbe>();
}

bool IsDriveReady(char letter) {
  const TDrive* drive = TDriveTable::Instance().Find(letter);
  if (!drive || !drive->Mounted || drive->MountPoint.empty())
    return false;
  if (drive->Letter == 'C')
    return true;
  return TDriveProbe::Global().Query(drive->MountPoint).has_value();
}

std::optional<TDriveFigures> FolderFigures(const std::string& nativeFolder) {
  return TDriveProbe::Global().Query(nativeFolder);
}

std::string VolumeLabel(char letter) {
  const TDriveTable& table = TDriveTable::Instance();
  const TDrive* drive = table.Find(letter);
  if (!drive || drive->Device.empty())
    return {};
  const std::string_view device = NativeBaseName(drive->Device);
  DIR* dir = ::opendir(table.ByLabelFolder().c_str());
  if (!dir)
    return {};
  std::string label;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] == '.')
      continue;
    char target[512];
    const std::string link = table.ByLabelFolder() + "/" + entry->d_name;
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
    if (length <= 0)
      continue;
    target[length] = 0;
    if (NativeBaseName(target) == device) {
      label = DecodeLabel(entry->d_name);
      break;
    }
  }
  ::closedir(dir);
  return label;
}

} // namespace corvane::platform
