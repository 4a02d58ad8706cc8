#include "settings/reg_settings.h"

#include <cstring>
#include <vector>

#include "platform/text.h"

namespace {
constexpr DWORD kFirstReadBytes = 200;
}

void RegExchange::Done(LONG status) {
  status_ = status;
  if (save_ && status != ERROR_SUCCESS) stopped_ = true;
}

void RegExchange::Text(const char16_t* name, std::u16string& value, std::u16string_view def) {
  if (stopped_) return;
  if (defaultsOnly_) {
    value.assign(def);
    return;
  }
  if (save_) {
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(char16_t));
    Done(RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes));
    return;
  }
  // A small buffer first; a longer value is read again at its reported size.
  std::vector<BYTE> buf(kFirstReadBytes);
  DWORD size = static_cast<DWORD>(buf.size());
  LONG rc = RegQueryValueExW(key_, name, nullptr, nullptr, buf.data(), &size);
  if (rc == static_cast<LONG>(ERROR_MORE_DATA)) {
    buf.assign(size, 0);
    rc = RegQueryValueExW(key_, name, nullptr, nullptr, buf.data(), &size);
  }
  if (rc != ERROR_SUCCESS) {
    value.assign(def);
  } else {
    // Whatever bytes the value holds, as UTF-16 text up to its NUL.
    std::u16string text(size / sizeof(char16_t), u'\0');
    std::memcpy(text.data(), buf.data(), text.size() * sizeof(char16_t));
    const auto nul = text.find(u'\0');
    if (nul != std::u16string::npos) text.resize(nul);
    value = std::move(text);
  }
  Done(rc);
}

void RegExchange::Number(const char16_t* name, std::int32_t& value, std::int32_t def) {
  if (stopped_) return;
  if (defaultsOnly_) {
    value = def;
    return;
  }
  if (save_) {
    const DWORD v = static_cast<DWORD>(value);
    Done(RegSetValueExW(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v));
    return;
  }
  DWORD v = 0;
  DWORD size = sizeof v;
  const LONG rc = RegQueryValueExW(key_, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size);
  // Fewer than four bytes keep the missing high bytes zero, as on Windows.
  value = rc == ERROR_SUCCESS ? static_cast<std::int32_t>(v) : def;
  Done(rc);
}

void RegExchange::Flag(const char16_t* name, bool& value, bool def) {
  if (stopped_) return;
  if (defaultsOnly_) {
    value = def;
    return;
  }
  if (save_) {
    const DWORD v = value ? 1 : 0;
    Done(RegSetValueExW(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v));
    return;
  }
  DWORD v = 0;
  DWORD size = sizeof v;
  const LONG rc = RegQueryValueExW(key_, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size);
  value = rc == ERROR_SUCCESS ? v != 0 : def;
  Done(rc);
}

LONG CRegSettings::Load() {
  auto guard = Lock();
  HKEY key = nullptr;
  const LONG rc = RegOpenKeyExW(m_root, m_keyPath.c_str(), 0, KEY_READ, &key);
  if (rc != ERROR_SUCCESS) {
    ExchangeValues(nullptr, false, true);
    return rc;
  }
  const LONG result = ExchangeValues(key, false, false);
  RegCloseKey(key);
  return result;
}

LONG CRegSettings::Save() {
  auto guard = Lock();
  HKEY key = nullptr;
  const LONG rc = RegCreateKeyExW(m_root, m_keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                  nullptr, &key, nullptr);
  if (rc != ERROR_SUCCESS) return rc;
  const LONG result = ExchangeValues(key, true, false);
  const LONG closed = RegCloseKey(key);
  // The values become durable when the key is closed; a failure there is the
  // save's failure too.
  return result != ERROR_SUCCESS ? result : closed;
}

std::u16string FormatKeyPath(std::u16string_view format, std::u16string_view company, std::u16string_view product) {
  return FormatTemplateW(format, {company, product});
}
