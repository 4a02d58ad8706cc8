// Several writers at once: processes sharing one hive file, and threads
// sharing the registry of one process (the latter is for ThreadSanitizer).
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry.h"
#include "tests/platform/registry_test_util.h"
#include "tests/support/temp_profile.h"

namespace {

using namespace regtest;

constexpr LONG kOk = ERROR_SUCCESS;
constexpr int kWritesPerWriter = 60;

std::u16string ValueName(int writer, int i) {
  const std::string s = "w" + std::to_string(writer) + "_" + std::to_string(i);
  return std::u16string(s.begin(), s.end());
}

// One writer's work: open, set one value, close (a durable write), over and
// over, so that the writes of two writers interleave.
bool WriteMany(int writer) {
  for (int i = 0; i < kWritesPerWriter; ++i) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Nevlora.com\\Wrenvia\\Race", 0, nullptr, 0, KEY_WRITE,
                        nullptr, &key, nullptr) != kOk)
      return false;
    const DWORD v = static_cast<DWORD>(i);
    const std::u16string name = ValueName(writer, i);
    const bool ok = RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4) == kOk;
    if (RegCloseKey(key) != kOk || !ok) return false;
  }
  return true;
}

void ExpectAllValues(int writers) {
  HKEY key = Open(HKEY_CURRENT_USER, u"Software\\Nevlora.com\\Wrenvia\\Race");
  for (int w = 0; w < writers; ++w)
    for (int i = 0; i < kWritesPerWriter; ++i) {
      LONG err;
      const std::string data = Get(key, ValueName(w, i).c_str(), nullptr, &err);
      ASSERT_EQ(err, kOk) << "lost " << w << "_" << i;
      EXPECT_EQ(data, std::string(reinterpret_cast<const char*>(&i), 4));
    }
  RegCloseKey(key);
}

TEST(RegistryProcesses, TwoProcessesWritingOneHiveKeepEachOthersValues) {
  testing_support::TempProfile profile;
  std::vector<pid_t> children;
  for (int w = 0; w < 2; ++w) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      platform::ResetRegistryForTests();
      ::_exit(WriteMany(w) ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (const pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  platform::ResetRegistryForTests();
  ExpectAllValues(2);
}

TEST(RegistryThreads, WritersAndReadersShareTheRegistry) {
  testing_support::TempProfile profile;
  std::atomic<bool> done{false};
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int w = 0; w < 2; ++w)
    threads.emplace_back([w, &failures] {
      if (!WriteMany(w)) ++failures;
    });
  for (int r = 0; r < 2; ++r)
    threads.emplace_back([&done, &failures] {
      while (!done.load()) {
        HKEY key = nullptr;
        const LONG err = RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Nevlora.com\\Wrenvia\\Race", 0, KEY_READ, &key);
        if (err == static_cast<LONG>(ERROR_FILE_NOT_FOUND)) continue;
        if (err != kOk) {
          ++failures;
          return;
        }
        WCHAR name[32];
        DWORD cch = 32, size = 0;
        for (DWORD i = 0; RegEnumValueW(key, i, name, &cch, nullptr, nullptr, nullptr, &size) == kOk; ++i) cch = 32;
        DWORD v = 0;
        size = 4;
        RegQueryValueExW(key, u"w0_0", nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size);
        RegFlushKey(key);
        if (RegCloseKey(key) != kOk) ++failures;
        // A handle closed by its owner is refused, not used.
        if (RegCloseKey(key) != static_cast<LONG>(ERROR_INVALID_HANDLE)) ++failures;
      }
    });
  threads[0].join();
  threads[1].join();
  done = true;
  threads[2].join();
  threads[3].join();
  EXPECT_EQ(failures.load(), 0);
  platform::ResetRegistryForTests();
  ExpectAllValues(2);
}

}  // namespace
