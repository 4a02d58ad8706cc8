// CryptProtectData / CryptUnprotectData: round trips, and every way a blob
// must fail to open.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/dpapi.h"
#include "tests/support/temp_profile.h"

namespace {

const std::string kEntropy = "Qz8vTkp4";

DATA_BLOB Blob(const std::string& s) {
  return DATA_BLOB{static_cast<DWORD>(s.size()), reinterpret_cast<BYTE*>(const_cast<char*>(s.data()))};
}

// The protected blob of `data`, or "" on failure.
std::string Protect(const std::string& data, const std::string* entropy, LPCWSTR description = nullptr) {
  DATA_BLOB in = Blob(data), ent{}, out{};
  if (entropy) ent = Blob(*entropy);
  if (!CryptProtectData(&in, description, entropy ? &ent : nullptr, nullptr, nullptr, 0, &out)) return {};
  std::string blob(reinterpret_cast<const char*>(out.pbData), out.cbData);
  EXPECT_EQ(LocalFree(out.pbData), nullptr);
  return blob;
}

// Opens `blob`; false with GetLastError() on failure.
bool Unprotect(const std::string& blob, const std::string* entropy, std::string* data,
               std::u16string* description = nullptr) {
  DATA_BLOB in = Blob(blob), ent{}, out{};
  if (entropy) ent = Blob(*entropy);
  LPWSTR desc = nullptr;
  if (!CryptUnprotectData(&in, description ? &desc : nullptr, entropy ? &ent : nullptr, nullptr, nullptr, 0, &out))
    return false;
  data->assign(reinterpret_cast<const char*>(out.pbData), out.cbData);
  LocalFree(out.pbData);
  if (description) *description = desc;
  LocalFree(desc);
  return true;
}

TEST(Dpapi, RoundTripsWithAndWithoutEntropy) {
  testing_support::TempProfile profile;
  const std::string password("s\0e\0c\0\0\0", 8);  // UTF-16LE with its NUL
  const std::string withEntropy = Protect(password, &kEntropy, u"");
  ASSERT_FALSE(withEntropy.empty());
  std::string out;
  ASSERT_TRUE(Unprotect(withEntropy, &kEntropy, &out));
  EXPECT_EQ(out, password);
  EXPECT_EQ(withEntropy.rfind("WDPB\x01", 0), 0u);  // magic and version first
  EXPECT_EQ(withEntropy.find(std::string("s\0e\0c", 5)), std::string::npos);
  EXPECT_NE(Protect(password, &kEntropy), withEntropy);  // a fresh nonce each time

  const std::string plain = Protect("no entropy", nullptr, u"Label \u00e9");
  std::u16string description;
  ASSERT_TRUE(Unprotect(plain, nullptr, &out, &description));
  EXPECT_EQ(out, "no entropy");
  EXPECT_EQ(description, u"Label \u00e9");

  ASSERT_TRUE(Unprotect(Protect("", nullptr), nullptr, &out));
  EXPECT_EQ(out, "");

  DATA_BLOB result{};
  EXPECT_FALSE(CryptProtectData(nullptr, nullptr, nullptr, nullptr, nullptr, 0, &result));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Dpapi, WrongEntropyDamageAndAnotherUserFail) {
  testing_support::TempProfile profile;
  const std::string blob = Protect("secret", &kEntropy);
  ASSERT_FALSE(blob.empty());
  std::string out;
  const std::string otherEntropy = "Qz8vTkp5";
  EXPECT_FALSE(Unprotect(blob, &otherEntropy, &out));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);
  EXPECT_FALSE(Unprotect(blob, nullptr, &out));
  EXPECT_FALSE(Unprotect(Protect("secret", nullptr), &kEntropy, &out));

  for (std::size_t i = 0; i < blob.size(); ++i) {
    std::string damaged = blob;
    damaged[i] = static_cast<char>(damaged[i] ^ 0x01);
    EXPECT_FALSE(Unprotect(damaged, &kEntropy, &out)) << "byte " << i;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);
  }
  for (std::size_t n = 0; n < blob.size(); ++n)
    EXPECT_FALSE(Unprotect(blob.substr(0, n), &kEntropy, &out)) << "length " << n;
  EXPECT_FALSE(Unprotect(blob + "x", &kEntropy, &out));

  profile.SwitchUser("other");
  EXPECT_FALSE(Unprotect(blob, &kEntropy, &out));
  const std::string theirs = Protect("secret", &kEntropy);
  profile.SwitchUser("");
  EXPECT_FALSE(Unprotect(theirs, &kEntropy, &out));
  ASSERT_TRUE(Unprotect(blob, &kEntropy, &out));
  EXPECT_EQ(out, "secret");
}

TEST(Dpapi, KeyFileIsPrivateSharedAndNeverReplaced) {
  testing_support::TempProfile profile;
  const std::string keyPath = profile.configDir() + "/dpapi.key";
  std::string out;
  // Opening needs no key; it does not make one.
  EXPECT_FALSE(Unprotect(std::string(80, 'x'), nullptr, &out));
  EXPECT_FALSE(testing_support::FileExists(keyPath));

  // Processes racing to make the first key end up with one key.
  std::vector<pid_t> children;
  for (int i = 0; i < 4; ++i) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      const std::string blob = Protect("from child", nullptr);
      testing_support::WriteFile(profile.root() + "/blob" + std::to_string(i), blob);
      ::_exit(blob.empty() ? 1 : 0);
    }
    children.push_back(pid);
  }
  for (const pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(Unprotect(testing_support::ReadFile(profile.root() + "/blob" + std::to_string(i)), nullptr, &out));
    EXPECT_EQ(out, "from child");
  }
  struct stat st {};
  ASSERT_EQ(::stat(keyPath.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(st.st_size, 32);

  // A key file of the wrong size is a failure, and is left as it is.
  const std::string blob = Protect("kept", nullptr);
  testing_support::WriteFile(keyPath, "short");
  EXPECT_TRUE(Protect("x", nullptr).empty());
  EXPECT_FALSE(Unprotect(blob, nullptr, &out));
  EXPECT_EQ(testing_support::ReadFile(keyPath), "short");
}

}  // namespace
