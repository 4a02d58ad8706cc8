// The name/value pairs of a query string or a form body. The rendered order
// is part of what goes on the wire, so the map is the 17-bin hash map the
// requests were designed around: a name's bin is its hash modulo the bin
// count, a new name goes to the front of its bin's chain, and rendering walks
// the bins in order and each chain from its front.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <string_view>
#include <vector>

class QueryString {
 public:
  QueryString();

  // Sets a name's value (UTF-8); a name already present keeps its place and
  // takes the new value.
  void Set(std::string_view name, std::string_view value);
  // The value of a name, or null.
  const std::string* Find(std::string_view name) const;
  std::size_t Count() const { return count_; }
  bool Empty() const { return count_ == 0; }

  // "name=value&name=value": names as given, values escaped; no leading "?".
  std::string Render() const;

  // Copies letters, digits and ! ' ( ) * - . / : _ ~; every other byte becomes
  // "%" and two lower-case hex digits (a space is "%20", never "+").
  static std::string Escape(std::string_view value);
  // hash × 33 + byte (as a signed 8-bit value) over the bytes, modulo 2^32.
  static std::uint32_t Hash(std::string_view name);

 private:
  struct Pair {
    std::string name;
    std::string value;
  };
  void Rehash(std::size_t binCount);

  std::vector<std::list<Pair>> bins_;
  std::size_t count_ = 0;
};
