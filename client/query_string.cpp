#include "client/query_string.h"

namespace {

constexpr std::size_t kInitialBins = 17;

// Bin counts the map grows through; it grows once it holds more entries than
// three quarters of its bins (past 12 with 17 bins).
constexpr std::size_t kBinSizes[] = {17, 37, 79, 163, 331, 673, 1361, 2729, 5471, 10949, 21911, 43853, 87719};

bool Overloaded(std::size_t count, std::size_t bins) { return count * 4 > bins * 3; }

}  // namespace

QueryString::QueryString() : bins_(kInitialBins) {}

std::uint32_t QueryString::Hash(std::string_view name) {
  std::uint32_t hash = 0;
  for (char c : name) hash = hash * 33u + static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(c)));
  return hash;
}

const std::string* QueryString::Find(std::string_view name) const {
  for (const Pair& p : bins_[Hash(name) % bins_.size()])
    if (p.name == name) return &p.value;
  return nullptr;
}

void QueryString::Set(std::string_view name, std::string_view value) {
  auto& bin = bins_[Hash(name) % bins_.size()];
  for (Pair& p : bin) {
    if (p.name == name) {
      p.value.assign(value);
      return;
    }
  }
  bin.push_front(Pair{std::string(name), std::string(value)});
  ++count_;
  if (Overloaded(count_, bins_.size())) {
    std::size_t next = bins_.size();
    for (std::size_t size : kBinSizes) {
      if (!Overloaded(count_, size)) {
        next = size;
        break;
      }
    }
    if (next == bins_.size()) next = bins_.size() * 2 + 1;
    Rehash(next);
  }
}

// Entries move in rendering order (bins in order, chains from the front), each
// to the front of its new bin.
void QueryString::Rehash(std::size_t binCount) {
  std::vector<std::list<Pair>> grown(binCount);
  for (auto& bin : bins_)
    for (Pair& p : bin) grown[Hash(p.name) % binCount].push_front(std::move(p));
  bins_ = std::move(grown);
}

std::string QueryString::Escape(std::string_view value) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(value.size());
  for (char ch : value) {
    const auto c = static_cast<unsigned char>(ch);
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '!' ||
                       c == '\'' || c == '(' || c == ')' || c == '*' || c == '-' || c == '.' || c == '/' ||
                       c == ':' || c == '_' || c == '~';
    if (plain) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string QueryString::Render() const {
  std::string out;
  for (const auto& bin : bins_) {
    for (const Pair& p : bin) {
      if (!out.empty()) out += '&';
      out += p.name;
      out += '=';
      out += Escape(p.value);
    }
  }
  return out;
}
