// One registry hive as this process sees it: the last version read from its
// file, the changes this process made since its last durable write (a
// journal, in order), and the view readers use, which is the first with the
// second replayed on top.
//
// Writing (Flush) takes the hive's file lock, reads the file again, replays
// the journal on what it holds now and replaces the file. So a value or key
// this process set or deleted ends as this process left it, and everything
// other processes wrote meanwhile stays: two processes never lose each
// other's writes.
//
// Not thread-safe: the registry calls serialise all use.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/reg_hive_file.h"
#include "platform/reg_tree.h"

namespace platform::reg {

struct Change {
  enum class Kind {
    kCreateKey,    // the key and its missing parents
    kSetValue,     // creates the key too if another process deleted it
    kDeleteValue,
    kDeleteKey,    // the key with everything below it
    kClearKey,     // every value and subkey of the key, the key stays
  };
  Kind kind;
  std::vector<std::u16string> path;  // below the root, one name per level
  std::u16string name;               // value name
  DWORD type = 0;
  std::string data;
};

// Replays one change; what it would remove may already be gone.
void ApplyChange(Key* root, const Change& change);

class Hive {
 public:
  // `rootName` is "HKEY_CURRENT_USER" or "HKEY_CLASSES_ROOT"; `filePath` is
  // empty when there is no config folder (nothing can be written then).
  Hive(std::u16string rootName, std::string filePath);

  // Rereads the file when another process replaced it.
  void Refresh();
  Key* view() { return view_.get(); }
  // Records a change already checked against view() and applies it there.
  void Record(Change change);
  // Makes the journal durable: ERROR_SUCCESS, or a Win32 error with the
  // journal kept for the next attempt.
  LONG Flush();
  // Modification time of the file version last read or written (0 if none),
  // in 100 ns units since 1601.
  std::uint64_t LastWriteTime() const;

 private:
  enum class Load { kUnchanged, kLoaded, kFailed };
  // Loads the file into disk_ unless unchanged (or `force`). A file that
  // does not parse is moved aside under the lock and counts as empty.
  // kFailed when the file cannot be read or moved aside (disk_ is kept).
  Load LoadDisk(bool force, bool locked);
  void RebuildView();

  std::u16string rootName_;
  std::string path_;
  std::string lockPath_;
  FileStamp stamp_;
  std::unique_ptr<Key> disk_;
  std::unique_ptr<Key> view_;
  std::vector<Change> journal_;
};

}  // namespace platform::reg
