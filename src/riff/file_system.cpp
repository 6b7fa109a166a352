#include "riff/file_system.h"

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <algorithm>
#include <random>

namespace corvix {
namespace {

FileSystem* g_current = nullptr;

bool IsForbiddenOnWindows(unsigned char c) {
  return c < 0x20 || c == '<' || c == '>' || c == ':' || c == '"' || c == '|' || c == '?' ||
         c == '*';
}

// CON, PRN, AUX, NUL, COM1-9, LPT1-9: the part before the first dot, with
// trailing spaces dropped, compared without case.
bool IsDeviceName(std::string_view name) {
  std::string_view base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  std::string upper;
  for (char c : base) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL") return true;
  if (upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")))
    return upper[3] >= '1' && upper[3] <= '9';
  return false;
}

bool IsDotsOnly(std::string_view name) {
  return !name.empty() && name.find_first_not_of('.') == std::string_view::npos;
}

// Names that no other run, here or on another machine sharing the folder,
// picks: 64 bits from the system's random source, stirred with the clock
// and a count in case the source is weak.
std::string FreshTempName() {
  static std::atomic<uint64_t> count{0};
  static const uint64_t seed = [] {
    std::random_device source;
    return (uint64_t{source()} << 32) ^ source();
  }();
  uint64_t x = seed ^ static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
               (++count * 0x9E3779B97F4A7C15ull);
  x ^= x >> 31;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 29;
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llX", static_cast<unsigned long long>(x));
  return std::string(kTempPrefix) + hex + std::string(kTempSuffix);
}

// Tries a few fresh names: one taken already means a clash of random
// names, which a new draw settles; a failure for any other reason repeats.
constexpr int kTempTries = 8;

}  // namespace

bool IsTempName(std::string_view name) {
  return name.size() == kTempPrefix.size() + 16 + kTempSuffix.size() && name.starts_with(kTempPrefix) &&
         name.ends_with(kTempSuffix);
}

std::unique_ptr<PlatformFile> CreateTempFile(const std::string& folder, std::string* path) {
  FileSystem& fs = CurrentFileSystem();
  for (int i = 0; i < kTempTries; ++i) {
    *path = JoinPath(folder, FreshTempName());
    if (std::unique_ptr<PlatformFile> file = fs.Open(*path, OpenMode::kCreateNew)) return file;
  }
  path->clear();
  return nullptr;
}

std::string MakeTempFolder(const std::string& folder) {
  FileSystem& fs = CurrentFileSystem();
  for (int i = 0; i < kTempTries; ++i) {
    const std::string path = JoinPath(folder, FreshTempName());
    if (fs.MakeFolder(path)) return path;
  }
  return {};
}

bool PutInPlace(PlatformFile& file, const std::string& tempPath, const std::string& finalPath) {
  FileSystem& fs = CurrentFileSystem();
  const bool synced = file.Sync();
  const bool closed = file.Close();
  if (synced && closed && fs.Move(tempPath, finalPath)) return true;
  fs.Delete(tempPath);
  return false;
}

std::string FolderOf(const std::string& path) {
  const size_t at = path.find_last_of(CurrentFileSystem().Rules().separator == '\\' ? "\\/" : "/");
  if (at == std::string::npos) return ".";
  return at == 0 ? path.substr(0, 1) : path.substr(0, at);
}

void SetFileSystem(FileSystem* fileSystem) { g_current = fileSystem; }

FileSystem& CurrentFileSystem() {
  return g_current != nullptr ? *g_current : PlatformFileSystem();
}

std::string StoredName(std::string_view name) {
  std::string out;
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    const bool bad = c == '/' || c == '\\' || IsForbiddenOnWindows(u);
    out += bad ? '_' : c;
  }
  while (!out.empty() && (out.back() == ' ' || out.back() == '.')) out.pop_back();
  out.erase(0, out.find_first_not_of(' '));  // parsers of instrument files drop them
  if (out.empty() || IsDotsOnly(out) || IsDeviceName(out)) out.insert(out.begin(), '_');
  return out;
}

std::string FileName(std::string_view name, std::string_view extension) {
  return StoredName(name) + std::string(extension);
}

namespace {

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string NameList::Name(const std::string& base, const std::string& extension, int copy) {
  return copy > 1 ? base + " (" + std::to_string(copy) + ")" + extension : base + extension;
}

int NameList::Take(const std::string& base, const std::string& extension,
                   const std::function<bool(const std::string&)>& busy) {
  int& next = next_[Upper(base + extension)];
  for (int k = std::max(next, 1);; ++k) {
    const std::string name = Name(base, extension, k);
    if (taken_.count(Upper(name)) != 0 || (busy && busy(name))) continue;
    taken_.insert(Upper(name));
    next = k == 1 ? 2 : k + 1;
    return k > 1 ? k : 0;
  }
}

bool PathFits(std::string_view path) {
  const size_t limit = CurrentFileSystem().Rules().maxPathChars;
  return limit == 0 || path.size() <= limit;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  const NameRules rules = CurrentFileSystem().Rules();
  std::string path(folder);
  const bool endsWithSeparator =
      !path.empty() && (path.back() == rules.separator || path.back() == '/');
  if (!endsWithSeparator) path += rules.separator;
  path += StoredName(name);
  return path;
}

}  // namespace corvix
