// The mail store on disk: a Maildir++ tree whose root is the Inbox and whose
// subfolders are the ".Name" and ".Parent.Child" folders beside it.
//
// Writing a message never leaves a torn or half-written file: it is written
// into tmp/, flushed, renamed into new/ or cur/, and the folder is flushed;
// rewriting a message is the same with a rename over the old file. File
// names are unique per process (time, microseconds, process id and a
// counter), so any number of threads may deliver into one folder at once.
// A message's read flag is the Maildir "S" flag (unread messages that were
// never read stay in new/, as a delivery agent leaves them), and its
// delivery time is the file's modification time. Temporary files that a
// crashed writer left in a folder's tmp/ are removed after 36 hours, when
// the store first opens that folder.
//
// All calls are safe from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace mailstore {

// The largest message file the store writes or reads; a bigger file in a
// folder is treated as unreadable.
constexpr std::uint64_t kMaxMessageBytes = 64u << 20;

enum class DefaultFolder { Inbox, Outbox, SentItems, DeletedItems, Drafts };

struct StoredMessage {
  std::string id;        // the file's unique name without its flags
  std::string bytes;
  bool read = false;
  std::int64_t deliveryTime = 0;  // seconds since 1970 UTC
};

class MailFolder {
 public:
  MailFolder(std::string root, std::string dirName, std::shared_ptr<std::atomic<std::uint64_t>> writes);

  // "" for the Inbox, ".Name" or ".Parent.Child" below it, as on disk.
  const std::string& dirName() const { return dirName_; }
  const std::string& path() const { return path_; }
  bool isInbox() const { return dirName_.empty(); }
  // The folder's own name ("Inbox" for the root).
  std::u16string Name() const;

  // Writes a new message; false with errno set when it could not be written
  // (nothing is left behind then; EFBIG over kMaxMessageBytes).
  bool Deliver(const std::string& bytes, bool read, std::int64_t deliveryTime, std::string* id);
  // Replaces a message; false with errno set (ENOENT when it is gone), the
  // old file then stays as it was.
  bool Rewrite(const std::string& id, const std::string& bytes, bool read, std::int64_t deliveryTime);
  // False when the message is gone or cannot be read (errno EFBIG for a
  // file over kMaxMessageBytes).
  bool Read(const std::string& id, StoredMessage* message) const;
  // Message ids in delivery order.
  std::vector<std::string> List() const;

  // Ids as entry ids carry them: a plain file name, no flags, no path.
  static bool IsValidId(const std::string& id);

 private:
  // The current file of a message, relative to the folder ("new/x",
  // "cur/x:2,S"), or empty.
  std::string Locate(const std::string& id) const;
  bool WriteDurably(const std::string& bytes, std::int64_t deliveryTime, const std::string& target,
                    bool replace);

  const std::string root_;
  const std::string dirName_;
  const std::string path_;
  std::shared_ptr<std::atomic<std::uint64_t>> writes_;
  mutable std::mutex mutex_;  // one rewrite of this folder at a time
};

class MailStore {
 public:
  // Opens the store at `root`, creating it and its default folders when
  // missing; nullptr with a message in *error when that fails.
  static std::shared_ptr<MailStore> Open(const std::string& root, std::string* error);
  // $MAILDIR, else ~/Maildir.
  static std::string DefaultRoot();

  // The root as an absolute path without symbolic links.
  const std::string& root() const { return root_; }

  std::shared_ptr<MailFolder> Inbox();
  std::shared_ptr<MailFolder> Default(DefaultFolder kind);
  // The folder with that directory name, or nullptr when there is none or
  // the name is not one of this tree's.
  std::shared_ptr<MailFolder> FolderByDirName(const std::string& dirName);
  // Direct subfolders, by directory name.
  std::vector<std::shared_ptr<MailFolder>> Children(const MailFolder& parent);
  // The direct subfolder of that name, compared ignoring case.
  std::shared_ptr<MailFolder> FindChild(const MailFolder& parent, std::u16string_view name);
  enum class CreateResult { Created, Exists, Invalid, Failed };
  std::shared_ptr<MailFolder> CreateChild(const MailFolder& parent, std::u16string_view name, CreateResult* result);

  // Durable writes (deliveries and rewrites) made through this store.
  std::uint64_t DurableWrites() const { return writes_->load(); }

 private:
  explicit MailStore(std::string root);
  std::shared_ptr<MailFolder> FolderLocked(const std::string& dirName);

  const std::string root_;
  std::shared_ptr<std::atomic<std::uint64_t>> writes_;
  std::mutex mutex_;        // the folder cache
  std::mutex createMutex_;  // one folder creation at a time
  std::map<std::string, std::shared_ptr<MailFolder>> folders_;
};

// The name of a default folder as created in the tree.
std::u16string DefaultFolderName(DefaultFolder kind);

}  // namespace mailstore
