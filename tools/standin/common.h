// Small pieces the stand-in's own files share.
#pragma once

#include <json-c/json.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>

namespace standin {

// Header names and user names compare without regard to ASCII case.
inline bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

struct JsonPut {
  void operator()(json_object* o) const { json_object_put(o); }
};
using Json = std::unique_ptr<json_object, JsonPut>;

// The service's error answer: {"error":TEXT,"request":PATH}.
inline std::string ErrorBody(const std::string& text, const std::string& path) {
  Json o(json_object_new_object());
  json_object_object_add(o.get(), "error", json_object_new_string(text.c_str()));
  json_object_object_add(o.get(), "request", json_object_new_string(path.c_str()));
  return json_object_to_json_string_ext(o.get(), JSON_C_TO_STRING_PLAIN);
}

}  // namespace standin
