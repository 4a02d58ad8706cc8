#include "platform/reg_hive.h"

#include <cerrno>
#include <cstring>
#include <log4cpp/Category.hh>

#include "platform/reg_format.h"
#include "platform/text.h"

namespace platform::reg {

namespace {

log4cpp::Category& Log() { return log4cpp::Category::getInstance("reg"); }

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

// The key at `path`, created with the spelling given where missing.
Key* EnsureKey(Key* root, const std::vector<std::u16string>& path) {
  Key* key = root;
  for (const auto& name : path) key = key->EnsureSubkey(name);
  return key;
}

}  // namespace

void ApplyChange(Key* root, const Change& c) {
  switch (c.kind) {
    case Change::Kind::kCreateKey:
      EnsureKey(root, c.path);
      break;
    case Change::Kind::kSetValue:
      EnsureKey(root, c.path)->SetValue(c.name, c.type, c.data);
      break;
    case Change::Kind::kDeleteValue:
      if (Key* key = FindKey(root, c.path)) key->RemoveValue(c.name);
      break;
    case Change::Kind::kDeleteKey: {
      if (c.path.empty()) break;
      const std::vector<std::u16string> parent(c.path.begin(), c.path.end() - 1);
      if (Key* key = FindKey(root, parent)) key->RemoveSubkey(c.path.back());
      break;
    }
    case Change::Kind::kClearKey:
      if (Key* key = FindKey(root, c.path)) key->Clear();
      break;
  }
}

Hive::Hive(std::u16string rootName, std::string filePath)
    : rootName_(std::move(rootName)),
      path_(std::move(filePath)),
      lockPath_(path_.empty() ? std::string() : path_ + ".lock"),
      disk_(std::make_unique<Key>(rootName_)),
      view_(std::make_unique<Key>(rootName_)) {}

void Hive::Refresh() {
  if (!path_.empty() && LoadDisk(false, false) == Load::kLoaded) RebuildView();
}

void Hive::Record(Change change) {
  ApplyChange(view_.get(), change);
  journal_.push_back(std::move(change));
}

Hive::Load Hive::LoadDisk(bool force, bool locked) {
  FileStamp stamp = stamp_;
  std::string text;
  const ReadResult r = ReadHiveFileIfChanged(path_, force, &stamp, &text);
  if (r == ReadResult::kUnchanged) return Load::kUnchanged;
  if (r == ReadResult::kFailed) {
    const int err = errno;
    if (locked) Log().error("reg: cannot read %s: %s", path_.c_str(), std::strerror(err));
    return Load::kFailed;
  }
  auto fresh = std::make_unique<Key>(rootName_);
  std::string why;
  if (r == ReadResult::kRead && !ParseRegText(text, fresh.get(), &why)) {
    if (!locked) {
      // Decide under the lock, on the file as it is then: a writer may have
      // just replaced the damaged file with a good one.
      HiveLock lock;
      if (lock.Acquire(lockPath_)) return LoadDisk(true, true);
      // Read as empty until the file changes; the next write tries again.
      const int err = errno;
      Log().error("reg: damaged hive %s (%s) left in place, cannot lock %s: %s", path_.c_str(), why.c_str(),
                  lockPath_.c_str(), std::strerror(err));
      disk_ = std::make_unique<Key>(rootName_);
      stamp_ = stamp;
      return Load::kLoaded;
    }
    const std::string aside = MoveAside(path_);
    if (aside.empty()) {
      const int err = errno;
      Log().error("reg: cannot move damaged hive %s aside (%s): %s", path_.c_str(), why.c_str(),
                  std::strerror(err));
      return Load::kFailed;
    }
    Log().error("reg: damaged hive %s (%s) moved to %s, starting empty", path_.c_str(), why.c_str(),
                aside.c_str());
    fresh = std::make_unique<Key>(rootName_);
    stamp = FileStamp{};
  }
  disk_ = std::move(fresh);
  stamp_ = stamp;
  return Load::kLoaded;
}

void Hive::RebuildView() {
  view_ = disk_->Clone();
  for (const auto& c : journal_) ApplyChange(view_.get(), c);
}

LONG Hive::Flush() {
  if (journal_.empty()) return ERROR_SUCCESS;
  if (path_.empty()) {
    Log().error("reg: no config folder (HOME is not set), cannot save %s", Utf16ToUtf8(rootName_).c_str());
    return ERROR_CANTWRITE;
  }
  const std::string folder = FolderOf(path_);
  if (!MakePrivateFolder(folder)) {
    const int err = errno;
    Log().error("reg: cannot create %s: %s", folder.c_str(), std::strerror(err));
    return ERROR_CANTWRITE;
  }
  HiveLock lock;
  if (!lock.Acquire(lockPath_)) {
    const int err = errno;
    Log().error("reg: cannot lock %s: %s", lockPath_.c_str(), std::strerror(err));
    return ERROR_CANTWRITE;
  }
  RemoveStaleTempFiles(path_);
  // Always read again under the lock: the journal goes on top of whatever
  // is there now. A file that exists but cannot be read is never replaced.
  const Load load = LoadDisk(true, true);
  if (load == Load::kLoaded) RebuildView();
  if (load == Load::kFailed) return ERROR_CANTREAD;

  std::unique_ptr<Key> merged = view_->Clone();
  FileStamp stamp;
  if (!WriteHiveFile(path_, SerializeRegText(*merged), &stamp)) {
    const int err = errno;
    Log().error("reg: cannot write %s: %s", path_.c_str(), std::strerror(err));
    return ERROR_CANTWRITE;
  }
  disk_ = std::move(merged);
  stamp_ = stamp;
  journal_.clear();
  return ERROR_SUCCESS;
}

std::uint64_t Hive::LastWriteTime() const {
  if (!stamp_.exists || stamp_.mtimeNs < 0) return 0;
  return kFileTimeUnixEpoch + static_cast<std::uint64_t>(stamp_.mtimeNs / 100);
}

}  // namespace platform::reg
