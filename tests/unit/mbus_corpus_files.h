// The real-telegram corpus in tests/data/mbus-telegrams: file lists and just enough XML to read
// the normalised readings beside the telegrams.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace orvio::test {

inline const std::filesystem::path kCorpus =
    std::filesystem::path(ORVIO_TESTDATA) / "mbus-telegrams";

inline std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Files of `dir` whose names end in `suffix`, sorted.
inline std::vector<std::filesystem::path> Files(const std::filesystem::path& dir,
                                                const std::string& suffix) {
  std::vector<std::filesystem::path> out;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    if (name.size() > suffix.size() && name.ends_with(suffix)) out.push_back(e.path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

// The text of the first <tag>...</tag> inside `block`.
inline std::optional<std::string> Tag(const std::string& block, const std::string& tag) {
  const std::string open = "<" + tag + ">", close = "</" + tag + ">";
  const size_t a = block.find(open);
  if (a == std::string::npos) return std::nullopt;
  const size_t b = block.find(close, a);
  if (b == std::string::npos) return std::nullopt;
  return block.substr(a + open.size(), b - a - open.size());
}

// Every <tag ...>...</tag> block of `xml`, in order.
inline std::vector<std::string> Blocks(const std::string& xml, const std::string& tag) {
  std::vector<std::string> out;
  const std::string open = "<" + tag, close = "</" + tag + ">";
  for (size_t a = xml.find(open); a != std::string::npos; a = xml.find(open, a + 1)) {
    const size_t b = xml.find(close, a);
    if (b == std::string::npos) break;
    out.push_back(xml.substr(a, b - a));
  }
  return out;
}

// The files mix encodings of the degree sign; compare without bytes above 7Fh.
inline std::string Ascii(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c < 0x80) out += static_cast<char>(c);
  }
  return out;
}

}  // namespace orvio::test
