#include "riff/file_system.h"

#include <cctype>

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

}  // namespace

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

bool SameStoredName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
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
