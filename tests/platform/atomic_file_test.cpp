#include "platform/atomic_file.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <thread>
#include <vector>

#include "tests/support/temp_profile.h"

namespace {

using platform::AtomicWriteOptions;
using platform::WriteFileAtomically;
using testing_support::ReadFile;
using testing_support::TempProfile;

std::vector<std::string> Files(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

struct stat StatOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st;
}

// A fresh empty folder inside the profile.
std::string NewFolder(const TempProfile& profile, const char* name) {
  const std::string dir = profile.root() + "/" + name;
  EXPECT_EQ(::mkdir(dir.c_str(), 0700), 0) << dir;
  return dir;
}

// Reads what an open descriptor still sees from its start.
std::string ReadFd(int fd) {
  std::string text(4096, '\0');
  const ssize_t n = ::pread(fd, text.data(), text.size(), 0);
  text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return text;
}

TEST(AtomicFile, ReplacesByRenameWithTheModeGivenDurableOrNot) {
  TempProfile profile;
  const std::string dir = NewFolder(profile, "files");
  const std::string path = dir + "/file";
  ASSERT_TRUE(WriteFileAtomically(path, std::string("first\0x", 7)));
  EXPECT_EQ(ReadFile(path), std::string("first\0x", 7));
  EXPECT_EQ(StatOf(path).st_mode & 07777, 0644u);

  for (bool durable : {true, false}) {
    // A reader that opened the old file keeps reading it whole: the new one
    // is another file renamed over it, not the old one rewritten.
    const int reader = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    const std::string before = ReadFd(reader);
    AtomicWriteOptions options;
    options.mode = 0600;
    options.durable = durable;
    ASSERT_TRUE(WriteFileAtomically(path, durable ? "durable" : "cached", options));
    EXPECT_EQ(ReadFile(path), durable ? "durable" : "cached");
    EXPECT_EQ(ReadFd(reader), before);
    ::close(reader);
    EXPECT_EQ(StatOf(path).st_mode & 07777, 0600u);
  }
  EXPECT_EQ(Files(dir), std::vector<std::string>{"file"});

  // A folder that is not there: the error comes back and nothing is made.
  EXPECT_FALSE(WriteFileAtomically(dir + "/missing/file", "x"));
  EXPECT_EQ(errno, ENOENT);

  std::string read;
  EXPECT_TRUE(platform::ReadWholeFile(path, &read));
  EXPECT_EQ(read, "cached");
  EXPECT_FALSE(platform::ReadWholeFile(dir + "/missing", &read));
}

TEST(AtomicFile, NoReplaceRefusesATakenNameAndKeepsTheOldFile) {
  TempProfile profile;
  const std::string tmp = NewFolder(profile, "tmp");
  const std::string path = profile.root() + "/message";
  AtomicWriteOptions options;
  options.replace = false;
  options.tempFolder = tmp;
  options.mtime = 1234567890;
  ASSERT_TRUE(WriteFileAtomically(path, "original", options));
  const struct stat st = StatOf(path);
  EXPECT_EQ(st.st_mtim.tv_sec, 1234567890);
  EXPECT_EQ(st.st_mtim.tv_nsec, 0);

  options.mtime = 1500000000;
  EXPECT_FALSE(WriteFileAtomically(path, "intruder", options));
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(ReadFile(path), "original");
  EXPECT_EQ(StatOf(path).st_mtim.tv_sec, 1234567890);
  EXPECT_TRUE(Files(tmp).empty());

  // Replacing sets the time on the new file just the same.
  options.replace = true;
  ASSERT_TRUE(WriteFileAtomically(path, "replaced", options));
  EXPECT_EQ(ReadFile(path), "replaced");
  EXPECT_EQ(StatOf(path).st_mtim.tv_sec, 1500000000);
  EXPECT_TRUE(Files(tmp).empty());
}

TEST(AtomicFile, FailureJustBeforeTheRenameLeavesTheOldFileAndNoTemporary) {
  TempProfile profile;
  const std::string dir = NewFolder(profile, "files");
  const std::string tmp = NewFolder(profile, "files/tmp");
  const std::string path = dir + "/file";
  ASSERT_TRUE(WriteFileAtomically(path, "old"));

  for (const std::string& tempFolder : {std::string(), tmp}) {
    AtomicWriteOptions options;
    options.tempFolder = tempFolder;
    int calls = 0;
    std::vector<std::string> besideDuring, tempDuring;
    options.beforeRename = [&] {
      ++calls;
      besideDuring = Files(dir);
      tempDuring = Files(tmp);
      return false;
    };
    EXPECT_FALSE(WriteFileAtomically(path, "new", options));
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(calls, 1);
    // The new file was complete and waiting where it was asked to be.
    EXPECT_EQ(besideDuring.size(), tempFolder.empty() ? 3u : 2u);
    EXPECT_EQ(tempDuring.size(), tempFolder.empty() ? 0u : 1u);
    EXPECT_EQ(ReadFile(path), "old");
    EXPECT_EQ(Files(dir), (std::vector<std::string>{"file", "tmp"}));
    EXPECT_TRUE(Files(tmp).empty());
  }
}

TEST(AtomicFile, ThreadsWritingOneFolderNeverShareATemporaryFile) {
  TempProfile profile;
  const std::string tmp = NewFolder(profile, "tmp");
  constexpr int kThreads = 4, kWrites = 50;
  std::vector<std::thread> threads;
  std::vector<int> failures(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      AtomicWriteOptions options;
      options.durable = false;
      options.tempFolder = tmp;
      const std::string own = profile.root() + "/own" + std::to_string(t);
      const std::string body(1000, static_cast<char>('a' + t));
      for (int i = 0; i < kWrites; ++i) {
        if (!WriteFileAtomically(own, body, options)) ++failures[t];
        if (!WriteFileAtomically(profile.root() + "/shared", body, options)) ++failures[t];
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(failures[t], 0);
    EXPECT_EQ(ReadFile(profile.root() + "/own" + std::to_string(t)), std::string(1000, static_cast<char>('a' + t)));
  }
  // Whoever wrote last, the shared file is one writer's whole.
  const std::string shared = ReadFile(profile.root() + "/shared");
  ASSERT_EQ(shared.size(), 1000u);
  EXPECT_EQ(std::count(shared.begin(), shared.end(), shared[0]), 1000);
  EXPECT_TRUE(Files(tmp).empty());
}

}  // namespace
