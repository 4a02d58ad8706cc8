#include "platform/reg_format.h"

#include <cstdio>
#include <vector>

#include "platform/registry.h"
#include "platform/text.h"

namespace platform::reg {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads 1..maxDigits hex digits from the front of `s`.
bool TakeHexNumber(std::string_view* s, std::size_t maxDigits, std::uint32_t* value) {
  std::size_t n = 0;
  std::uint32_t v = 0;
  while (n < s->size() && n < maxDigits && HexDigit((*s)[n]) >= 0) v = (v << 4) | static_cast<std::uint32_t>(HexDigit((*s)[n++]));
  if (n == 0) return false;
  s->remove_prefix(n);
  *value = v;
  return true;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = s[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

std::string Utf16Bytes(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (const char16_t c : text) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}

class Parser {
 public:
  Parser(std::string_view text, Key* root) : text_(text), root_(root) {}

  bool Run(std::string* error) {
    bool header = false;
    std::string_view line;
    while (NextLine(&line)) {
      std::string_view s = TrimLeft(line);
      if (TrimRight(s).empty()) continue;
      if (!header) {
        if (TrimRight(s) != kRegFileHeader) return Fail(error, "not a registry file header");
        header = true;
        continue;
      }
      if (s.front() == ';') continue;
      const bool ok = s.front() == '[' ? Section(TrimRight(s)) : ValueLine(s);
      if (!ok) return Fail(error, reason_);
    }
    if (!header) return Fail(error, "no registry file header");
    return true;
  }

 private:
  bool NextLine(std::string_view* line) {
    if (pos_ >= text_.size()) return false;
    const std::size_t end = text_.find('\n', pos_);
    const std::size_t stop = end == std::string_view::npos ? text_.size() : end;
    *line = text_.substr(pos_, stop - pos_);
    if (!line->empty() && line->back() == '\r') line->remove_suffix(1);
    pos_ = stop + 1;
    ++lineNo_;
    return true;
  }

  bool Fail(std::string* error, const std::string& why) {
    if (error) *error = "line " + std::to_string(lineNo_) + ": " + why;
    return false;
  }

  bool Bad(const char* why) {
    reason_ = why;
    return false;
  }

  bool Section(std::string_view s) {
    current_ = nullptr;
    if (s.size() < 2 || s.back() != ']') return Bad("unterminated section name");
    std::string_view inner = s.substr(1, s.size() - 2);
    const bool remove = !inner.empty() && inner.front() == '-';
    if (remove) inner.remove_prefix(1);
    const std::u16string path = Utf8ToUtf16(inner);
    std::vector<std::u16string> names;
    std::size_t start = 0;
    for (;;) {
      const std::size_t sep = path.find(u'\\', start);
      names.emplace_back(path.substr(start, sep == std::u16string::npos ? std::u16string::npos : sep - start));
      if (names.size() > kMaxKeyDepth + 1) return Bad("key path too deep");
      if (sep == std::u16string::npos) break;
      start = sep + 1;
    }
    if (!EqualsIgnoreCase(names.front(), root_->name())) return Bad("section outside this hive");
    for (std::size_t i = 1; i < names.size(); ++i)
      if (!IsValidKeyName(names[i])) return Bad("invalid key name");
    Key* key = root_;
    if (remove) {
      if (names.size() < 2) return Bad("cannot delete the root key");
      for (std::size_t i = 1; key && i + 1 < names.size(); ++i) key = key->FindSubkey(names[i]);
      if (key) key->RemoveSubkey(names.back());
      return true;
    }
    for (std::size_t i = 1; i < names.size(); ++i) key = key->EnsureSubkey(names[i]);
    current_ = key;
    return true;
  }

  // A quoted string after its opening quote; `s` is left after the closing one.
  // "\\" and "\"" are escapes; any other backslash stands for itself.
  bool QuotedString(std::string_view* s, std::string* out) {
    out->clear();
    std::size_t i = 0;
    for (;;) {
      if (i >= s->size()) return Bad("unterminated string");
      const char c = (*s)[i];
      if (c == '"') break;
      if (c == '\\' && i + 1 < s->size() && ((*s)[i + 1] == '\\' || (*s)[i + 1] == '"')) ++i;
      out->push_back((*s)[i]);
      ++i;
    }
    s->remove_prefix(i + 1);
    return true;
  }

  bool HexList(std::string_view s, std::string* out) {
    for (;;) {
      s = TrimLeft(s);
      if (s.empty()) return true;
      if (s.front() == '\\') {
        if (!TrimLeft(s.substr(1)).empty()) return Bad("text after a line continuation");
        if (!NextLine(&s)) return Bad("hex data ends in a line continuation");
        continue;
      }
      std::uint32_t byte;
      if (!TakeHexNumber(&s, 2, &byte)) return Bad("bad hex byte");
      out->push_back(static_cast<char>(byte));
      s = TrimLeft(s);
      if (s.empty()) return true;
      if (s.front() == ',') {
        s.remove_prefix(1);
        continue;
      }
      if (s.front() != '\\') return Bad("bad hex list");
    }
  }

  bool ValueLine(std::string_view s) {
    if (!current_) return Bad("value outside a key section");
    std::u16string name;
    if (s.front() == '@') {
      s.remove_prefix(1);
    } else if (s.front() == '"') {
      s.remove_prefix(1);
      std::string utf8;
      if (!QuotedString(&s, &utf8)) return false;
      name = Utf8ToUtf16(utf8);
      if (name.empty()) return Bad("empty value name (the default value is @)");
    } else {
      return Bad("bad value line");
    }
    if (!IsValidValueName(name)) return Bad("invalid value name");
    s = TrimLeft(s);
    if (s.empty() || s.front() != '=') return Bad("missing '='");
    s = TrimLeft(s.substr(1));
    if (s.empty()) return Bad("missing value data");

    if (s.front() == '-') {
      if (!TrimRight(s.substr(1)).empty()) return Bad("text after value deletion");
      current_->RemoveValue(name);
      return true;
    }
    if (s.front() == '"') {
      s.remove_prefix(1);
      std::string utf8;
      if (!QuotedString(&s, &utf8)) return false;
      if (!TrimRight(s).empty()) return Bad("text after string value");
      std::u16string text = Utf8ToUtf16(utf8);
      text.push_back(u'\0');
      current_->SetValue(name, REG_SZ, Utf16Bytes(text));
      return true;
    }
    if (StartsWithNoCase(s, "dword:")) {
      s.remove_prefix(6);
      std::uint32_t v;
      if (!TakeHexNumber(&s, 8, &v) || !TrimRight(s).empty()) return Bad("bad dword value");
      std::string data(4, '\0');
      for (int i = 0; i < 4; ++i) data[static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
      current_->SetValue(name, REG_DWORD, std::move(data));
      return true;
    }
    if (StartsWithNoCase(s, "hex")) {
      s.remove_prefix(3);
      std::uint32_t type = REG_BINARY;
      if (!s.empty() && s.front() == '(') {
        s.remove_prefix(1);
        if (!TakeHexNumber(&s, 8, &type) || s.empty() || s.front() != ')') return Bad("bad hex value type");
        s.remove_prefix(1);
      }
      if (s.empty() || s.front() != ':') return Bad("bad hex value");
      std::string data;
      if (!HexList(s.substr(1), &data)) return false;
      current_->SetValue(name, type, std::move(data));
      return true;
    }
    return Bad("unknown value data");
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  int lineNo_ = 0;
  Key* root_;
  Key* current_ = nullptr;
  std::string reason_;
};

// A REG_SZ that the quoted form gives back byte for byte.
bool IsCleanString(const std::string& data, std::u16string* text) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  std::u16string units(data.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i)
    units[i] = static_cast<char16_t>(static_cast<unsigned char>(data[2 * i]) |
                                     (static_cast<unsigned char>(data[2 * i + 1]) << 8));
  if (units.back() != u'\0') return false;
  units.pop_back();
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t c = units[i];
    if (c == u'\0' || c == u'\r' || c == u'\n') return false;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= units.size() || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
  }
  *text = std::move(units);
  return true;
}

void AppendQuoted(std::string& out, std::u16string_view text) {
  out.push_back('"');
  for (const char c : Utf16ToUtf8(text)) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
}

void AppendHexList(std::string& out, std::size_t column, const std::string& data) {
  static const char kDigits[] = "0123456789abcdef";
  for (std::size_t i = 0; i < data.size(); ++i) {
    // Lines stay within 80 columns, as regedit writes them.
    if (column + 3 > 79) {
      out += "\\\n  ";
      column = 2;
    }
    const auto b = static_cast<unsigned char>(data[i]);
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 0xF]);
    column += 2;
    if (i + 1 < data.size()) {
      out.push_back(',');
      ++column;
    }
  }
}

void AppendValue(std::string& out, const Value& v) {
  const std::size_t lineStart = out.size();
  if (v.name.empty())
    out.push_back('@');
  else
    AppendQuoted(out, v.name);
  out.push_back('=');
  std::u16string text;
  char buf[32];
  if (v.type == REG_SZ && IsCleanString(v.data, &text)) {
    AppendQuoted(out, text);
  } else if (v.type == REG_DWORD && v.data.size() == 4) {
    std::uint32_t d = 0;
    for (int i = 3; i >= 0; --i) d = (d << 8) | static_cast<unsigned char>(v.data[static_cast<std::size_t>(i)]);
    std::snprintf(buf, sizeof buf, "dword:%08x", d);
    out += buf;
  } else {
    if (v.type == REG_BINARY) {
      out += "hex:";
    } else {
      std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.type));
      out += buf;
    }
    AppendHexList(out, out.size() - lineStart, v.data);
  }
  out.push_back('\n');
}

void AppendKey(std::string& out, const Key& key, const std::string& path) {
  out += '[';
  out += path;
  out += "]\n";
  for (const auto& v : key.values()) AppendValue(out, *v);
  out.push_back('\n');
  for (const auto& sub : key.subkeys()) AppendKey(out, *sub, path + '\\' + Utf16ToUtf8(sub->name()));
}

}  // namespace

bool ParseRegText(std::string_view text, Key* root, std::string* error) {
  std::string converted;
  if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF && static_cast<unsigned char>(text[1]) == 0xFE) {
    // UTF-16LE, as regedit on Windows exports.
    if (text.size() % 2 != 0) {
      if (error) *error = "line 0: odd length of UTF-16 text";
      return false;
    }
    std::u16string units;
    units.reserve(text.size() / 2 - 1);
    for (std::size_t i = 2; i < text.size(); i += 2)
      units.push_back(static_cast<char16_t>(static_cast<unsigned char>(text[i]) |
                                            (static_cast<unsigned char>(text[i + 1]) << 8)));
    converted = Utf16ToUtf8(units);
    text = converted;
  } else if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") {
    text.remove_prefix(3);
  }
  return Parser(text, root).Run(error);
}

std::string SerializeRegText(const Key& root) {
  std::string out(kRegFileHeader);
  out += "\n\n";
  AppendKey(out, root, Utf16ToUtf8(root.name()));
  return out;
}

}  // namespace platform::reg
