// Runs read_maildir.py (Python's mailbox and email modules) over a Maildir
// and gives back what it saw. Shared by the host and store tests.
#pragma once

#include <json-c/json.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

struct MaildirListing {
  bool ran = false;
  std::vector<std::string> folders;
  // Each message's values by key ("subject", "from-name", "date" ...), as
  // JSON text decoded to a string (numbers and lists as JSON text).
  std::vector<std::map<std::string, std::string>> messages;
};

inline bool HavePython() { return std::system("command -v python3 >/dev/null 2>&1") == 0; }

inline std::string DecodeJsonValue(const std::string& text) {
  json_object* value = json_tokener_parse(text.c_str());
  if (!value) return {};
  std::string out = json_object_is_type(value, json_type_string)
                        ? std::string(json_object_get_string(value), static_cast<std::size_t>(json_object_get_string_len(value)))
                        : json_object_to_json_string_ext(value, JSON_C_TO_STRING_PLAIN);
  json_object_put(value);
  return out;
}

inline MaildirListing ReadMaildirWithPython(const std::string& root, const std::string& folder = "") {
  MaildirListing listing;
  std::string command = std::string("python3 '") + WRENVIA_MAILDIR_READER + "' '" + root + "'";
  if (!folder.empty()) command += " '" + folder + "'";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return listing;
  std::string output;
  char buf[4096];
  while (std::size_t n = std::fread(buf, 1, sizeof buf, pipe)) output.append(buf, n);
  listing.ran = ::pclose(pipe) == 0;
  std::size_t pos = 0;
  while (pos < output.size()) {
    const std::size_t end = output.find('\n', pos);
    const std::string line = output.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    pos = end == std::string::npos ? output.size() : end + 1;
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    const std::string key = line.substr(0, tab);
    const std::string value = DecodeJsonValue(line.substr(tab + 1));
    if (key == "folder") {
      listing.folders.push_back(value);
    } else if (key == "message") {
      listing.messages.emplace_back();
      listing.messages.back()["key"] = value;
    } else if (!listing.messages.empty()) {
      listing.messages.back()[key] = value;
    }
  }
  return listing;
}

}  // namespace testing_support
