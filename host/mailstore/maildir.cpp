#include "host/mailstore/maildir.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "host/mailstore/folder_names.h"
#include "platform/atomic_file.h"
#include "platform/known_folders.h"
#include "platform/text.h"

namespace mailstore {
namespace {

constexpr char kFolderMarker[] = "maildirfolder";

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Makes a Maildir's folder and its tmp/, new/ and cur/ where missing;
// *created tells whether any of them was made.
bool MakeMaildir(const std::string& path, bool* created = nullptr) {
  bool any = false;
  for (const std::string& folder : {path, path + "/tmp", path + "/new", path + "/cur"}) {
    if (::mkdir(folder.c_str(), 0700) == 0)
      any = true;
    else if (errno != EEXIST)
      return false;
  }
  if (created) *created = any;
  return true;
}

std::vector<std::string> DirectoryEntries(const std::string& path) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(path.c_str());
  if (!dir) return names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  return names;
}

// A writer that died between creating its file in tmp/ and the rename
// leaves the file there; one not accessed for 36 hours belongs to nobody
// (the Maildir convention). The modification time alone would not do: a
// file still being written already carries its message's delivery time,
// which may lie years back, while its access time is that of its creation.
void RemoveStaleTemporaries(const std::string& folder) {
  constexpr time_t kStaleSeconds = 36 * 60 * 60;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  const time_t now = ::time(nullptr);
  const int fd = ::dirfd(dir);
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    struct stat st;
    if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
    if (now - std::max(st.st_atime, st.st_mtime) > kStaleSeconds) ::unlinkat(fd, entry->d_name, 0);
  }
  ::closedir(dir);
}

// The host part of unique names, with "/" and ":" written as octal escapes
// as the Maildir convention asks.
const std::string& HostPart() {
  static const std::string host = [] {
    char buf[256] = {};
    if (::gethostname(buf, sizeof buf - 1) != 0 || !buf[0]) std::strcpy(buf, "localhost");
    std::string out;
    for (const char* p = buf; *p; ++p) {
      if (*p == '/') out += "\\057";
      else if (*p == ':') out += "\\072";
      else out += *p;
    }
    return out;
  }();
  return host;
}

std::string MakeUniqueName() {
  static std::atomic<std::uint64_t> counter{0};
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  char buf[128];
  std::snprintf(buf, sizeof buf, "%lld.M%ldP%dQ%llu.", static_cast<long long>(now.tv_sec), now.tv_nsec / 1000,
                static_cast<int>(::getpid()), static_cast<unsigned long long>(++counter));
  return buf + HostPart();
}

// Splits "id:2,FLAGS" into the id and the flags.
void SplitFileName(const std::string& name, std::string* id, std::string* flags) {
  const std::size_t colon = name.find(':');
  *id = name.substr(0, colon);
  flags->clear();
  if (colon != std::string::npos && name.compare(colon, 3, ":2,") == 0) *flags = name.substr(colon + 3);
}

std::string WithReadFlag(std::string flags, bool read) {
  flags.erase(std::remove(flags.begin(), flags.end(), 'S'), flags.end());
  if (read) flags += 'S';
  std::sort(flags.begin(), flags.end());
  return flags;
}

}  // namespace

std::u16string DefaultFolderName(DefaultFolder kind) {
  switch (kind) {
    case DefaultFolder::Inbox: return u"Inbox";
    case DefaultFolder::Outbox: return u"Outbox";
    case DefaultFolder::SentItems: return u"Sent Items";
    case DefaultFolder::DeletedItems: return u"Deleted Items";
    case DefaultFolder::Drafts: return u"Drafts";
  }
  return u"Inbox";
}

// ---- MailFolder --------------------------------------------------------------

MailFolder::MailFolder(std::string root, std::string dirName, std::shared_ptr<std::atomic<std::uint64_t>> writes)
    : root_(std::move(root)),
      dirName_(std::move(dirName)),
      path_(dirName_.empty() ? root_ : root_ + "/" + dirName_),
      writes_(std::move(writes)) {}

std::u16string MailFolder::Name() const {
  if (dirName_.empty()) return DefaultFolderName(DefaultFolder::Inbox);
  return DecodeFolderName(std::string_view(dirName_).substr(dirName_.rfind('.') + 1));
}

bool MailFolder::IsValidId(const std::string& id) {
  return !id.empty() && id.size() < 200 && id[0] != '.' && id.find('/') == std::string::npos &&
         id.find(':') == std::string::npos && id.find('\0') == std::string::npos;
}

bool MailFolder::WriteDurably(const std::string& bytes, std::int64_t deliveryTime, const std::string& target,
                              bool replace) {
  // Refused rather than stored where Read would never give it back.
  if (bytes.size() > kMaxMessageBytes) {
    errno = EFBIG;
    return false;
  }
  platform::AtomicWriteOptions options;
  options.mode = 0600;
  options.replace = replace;
  options.mtime = deliveryTime;
  // Maildir readers never look in tmp/, so a half-written message is never seen.
  options.tempFolder = path_ + "/tmp";
  if (!platform::WriteFileAtomically(target, bytes, options)) return false;
  writes_->fetch_add(1);
  return true;
}

bool MailFolder::Deliver(const std::string& bytes, bool read, std::int64_t deliveryTime, std::string* id) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    const std::string unique = MakeUniqueName();
    const std::string target = read ? path_ + "/cur/" + unique + ":2,S" : path_ + "/new/" + unique;
    if (WriteDurably(bytes, deliveryTime, target, false)) {
      if (id) *id = unique;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

std::string MailFolder::Locate(const std::string& id) const {
  // The names this store gives its own messages first: a look-up by name
  // costs one stat, where listing a folder of thousands of messages for
  // every item would make each delivery slower than the last.
  for (const std::string& candidate : {"new/" + id, "cur/" + id + ":2,S", "cur/" + id + ":2,"}) {
    struct stat st;
    if (::stat((path_ + "/" + candidate).c_str(), &st) == 0 && S_ISREG(st.st_mode)) return candidate;
  }
  for (const char* sub : {"cur", "new"}) {
    for (const std::string& name : DirectoryEntries(path_ + "/" + sub)) {
      std::string base, flags;
      SplitFileName(name, &base, &flags);
      if (base == id) return std::string(sub) + "/" + name;
    }
  }
  return {};
}

bool MailFolder::Rewrite(const std::string& id, const std::string& bytes, bool read, std::int64_t deliveryTime) {
  if (!IsValidId(id)) {
    errno = EINVAL;
    return false;
  }
  std::lock_guard lock(mutex_);
  const std::string current = Locate(id);
  if (current.empty()) {
    errno = ENOENT;
    return false;
  }
  std::string base, flags;
  SplitFileName(current.substr(4), &base, &flags);
  const bool inNew = current.compare(0, 4, "new/") == 0;
  std::string next;
  if (inNew && !read)
    next = "new/" + id;
  else
    next = "cur/" + id + ":2," + WithReadFlag(flags, read);
  if (next == current) return WriteDurably(bytes, deliveryTime, path_ + "/" + next, true);
  // Another name: the new file goes in first, so a crash in between leaves
  // two copies rather than none.
  if (!WriteDurably(bytes, deliveryTime, path_ + "/" + next, false)) return false;
  ::unlink((path_ + "/" + current).c_str());
  platform::SyncFolder(path_ + "/" + current.substr(0, 3));
  return true;
}

bool MailFolder::Read(const std::string& id, StoredMessage* message) const {
  if (!IsValidId(id) || !message) return false;
  for (int attempt = 0; attempt < 3; ++attempt) {
    const std::string current = Locate(id);
    if (current.empty()) return false;
    const std::string file = path_ + "/" + current;
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;  // renamed meanwhile (its flags changed): look again
    struct stat st;
    std::string bytes;
    bool ok = ::fstat(fd, &st) == 0;
    // A message over the bound is not one this store wrote; reading it whole
    // (and parsing it after) could exhaust memory. Checked while reading
    // too, for a file that grows meanwhile.
    if (ok && static_cast<std::uint64_t>(st.st_size) > kMaxMessageBytes) {
      ok = false;
      errno = EFBIG;
    }
    if (ok) ok = platform::ReadAll(fd, &bytes, kMaxMessageBytes);
    const int readError = errno;
    ::close(fd);
    if (!ok) {
      errno = readError;
      return false;
    }
    std::string base, flags;
    SplitFileName(current.substr(4), &base, &flags);
    message->id = id;
    message->bytes = std::move(bytes);
    message->read = flags.find('S') != std::string::npos;
    message->deliveryTime = st.st_mtim.tv_sec;
    return true;
  }
  return false;
}

std::vector<std::string> MailFolder::List() const {
  std::vector<std::string> ids;
  for (const char* sub : {"cur", "new"}) {
    for (const std::string& name : DirectoryEntries(path_ + "/" + sub)) {
      std::string base, flags;
      SplitFileName(name, &base, &flags);
      if (IsValidId(base)) ids.push_back(base);
    }
  }
  // Unique names start with the delivery second and microsecond.
  std::sort(ids.begin(), ids.end(), [](const std::string& a, const std::string& b) {
    const long long sa = std::atoll(a.c_str()), sb = std::atoll(b.c_str());
    return sa != sb ? sa < sb : a < b;
  });
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  return ids;
}

// ---- MailStore ---------------------------------------------------------------

MailStore::MailStore(std::string root)
    : root_(std::move(root)), writes_(std::make_shared<std::atomic<std::uint64_t>>(0)) {}

std::string MailStore::DefaultRoot() {
  if (const char* maildir = std::getenv("MAILDIR"); maildir && *maildir) return maildir;
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "") + "/Maildir";
}

std::shared_ptr<MailStore> MailStore::Open(const std::string& root, std::string* error) {
  auto fail = [&](const std::string& what) -> std::shared_ptr<MailStore> {
    if (error) *error = what + " " + root + ": " + std::strerror(errno);
    return nullptr;
  };
  if (root.empty() || root[0] != '/') {
    errno = EINVAL;
    return fail("The mail folder must be an absolute path:");
  }
  bool made = false;
  if (!platform::MakeFolders(root, 0700, true) || !MakeMaildir(root, &made))
    return fail("Cannot create the mail folder");
  // New tmp/, new/ and cur/ must survive a crash as the root itself does.
  if (made) platform::SyncFolder(root);
  char resolved[PATH_MAX];
  if (!::realpath(root.c_str(), resolved)) return fail("Cannot open the mail folder");
  std::shared_ptr<MailStore> store(new MailStore(resolved));
  for (DefaultFolder kind : {DefaultFolder::Outbox, DefaultFolder::SentItems, DefaultFolder::DeletedItems,
                             DefaultFolder::Drafts}) {
    CreateResult result;
    auto inbox = store->Inbox();
    if (!store->FindChild(*inbox, DefaultFolderName(kind)) &&
        !store->CreateChild(*inbox, DefaultFolderName(kind), &result))
      return fail("Cannot create the folder \"" + Utf16ToUtf8(DefaultFolderName(kind)) + "\" in");
  }
  return store;
}

std::shared_ptr<MailFolder> MailStore::FolderLocked(const std::string& dirName) {
  auto it = folders_.find(dirName);
  if (it != folders_.end()) return it->second;
  auto folder = std::make_shared<MailFolder>(root_, dirName, writes_);
  folders_.emplace(dirName, folder);
  // Once per folder and store: the first time anything of it is used.
  RemoveStaleTemporaries(folder->path() + "/tmp");
  return folder;
}

std::shared_ptr<MailFolder> MailStore::Inbox() {
  std::lock_guard lock(mutex_);
  return FolderLocked("");
}

std::shared_ptr<MailFolder> MailStore::Default(DefaultFolder kind) {
  if (kind == DefaultFolder::Inbox) return Inbox();
  auto inbox = Inbox();
  if (auto folder = FindChild(*inbox, DefaultFolderName(kind))) return folder;
  CreateResult result;
  return CreateChild(*inbox, DefaultFolderName(kind), &result);
}

std::shared_ptr<MailFolder> MailStore::FolderByDirName(const std::string& dirName) {
  if (dirName.empty()) return Inbox();
  if (dirName.size() < 2 || dirName[0] != '.' || dirName.find('/') != std::string::npos || dirName == ".." ||
      dirName.find("..") != std::string::npos || dirName.back() == '.' || dirName.find('\0') != std::string::npos)
    return nullptr;
  std::lock_guard lock(mutex_);
  if (!IsDirectory(root_ + "/" + dirName + "/cur")) return nullptr;
  return FolderLocked(dirName);
}

std::vector<std::shared_ptr<MailFolder>> MailStore::Children(const MailFolder& parent) {
  const std::string prefix = parent.dirName() + ".";
  std::vector<std::string> names;
  for (const std::string& name : DirectoryEntries(root_)) {
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    if (name.find('.', prefix.size()) != std::string::npos) continue;  // a deeper level
    if (IsDirectory(root_ + "/" + name + "/cur")) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  std::vector<std::shared_ptr<MailFolder>> children;
  std::lock_guard lock(mutex_);
  for (const std::string& name : names) children.push_back(FolderLocked(name));
  return children;
}

std::shared_ptr<MailFolder> MailStore::FindChild(const MailFolder& parent, std::u16string_view name) {
  // The exact spelling first: it is the folder's own directory.
  if (auto exact = FolderByDirName(parent.dirName() + "." + EncodeFolderName(name))) return exact;
  for (auto& child : Children(parent))
    if (EqualsIgnoreCase(child->Name(), name)) return child;
  return nullptr;
}

std::shared_ptr<MailFolder> MailStore::CreateChild(const MailFolder& parent, std::u16string_view name,
                                                   CreateResult* result) {
  CreateResult ignored;
  if (!result) result = &ignored;
  if (name.empty()) {
    *result = CreateResult::Invalid;
    return nullptr;
  }
  const std::string dirName = parent.dirName() + "." + EncodeFolderName(name);
  if (dirName.size() > 255) {
    *result = CreateResult::Invalid;
    return nullptr;
  }
  // One creation at a time, so that two threads adding the same name (in
  // any case) end with one folder.
  std::lock_guard createLock(createMutex_);
  if (FindChild(parent, name)) {
    *result = CreateResult::Exists;
    return nullptr;
  }
  const std::string path = root_ + "/" + dirName;
  if (::mkdir(path.c_str(), 0700) != 0) {
    *result = errno == EEXIST ? CreateResult::Exists : CreateResult::Failed;
    return nullptr;
  }
  const int marker = ::open((path + "/" + kFolderMarker).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  if (marker >= 0) ::close(marker);
  if (!MakeMaildir(path)) {
    *result = CreateResult::Failed;
    return nullptr;
  }
  platform::SyncFolder(path);
  platform::SyncFolder(root_);
  *result = CreateResult::Created;
  std::lock_guard lock(mutex_);
  return FolderLocked(dirName);
}

}  // namespace mailstore
