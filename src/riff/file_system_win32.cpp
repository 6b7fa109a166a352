// The file-system seam over the wide-character Win32 file API (Windows
// build only). Paths arrive as UTF-8 and are converted, so folders whose
// names lie outside the ANSI code page work.
#include <windows.h>

#include <string>

#include "riff/file_system.h"

namespace corvix {
namespace {

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

class Win32File : public PlatformFile {
 public:
  explicit Win32File(HANDLE handle) : handle_(handle) {}
  ~Win32File() override {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }

  int64_t Read(void* buffer, size_t bytes) override {
    size_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < bytes) {
      const DWORD want = static_cast<DWORD>(bytes - done > 0x40000000 ? 0x40000000 : bytes - done);
      DWORD got = 0;
      if (!ReadFile(handle_, out + done, want, &got, nullptr))
        return done > 0 ? static_cast<int64_t>(done) : -1;
      if (got == 0) break;
      done += got;
    }
    return static_cast<int64_t>(done);
  }

  int64_t Write(const void* buffer, size_t bytes) override {
    size_t done = 0;
    const auto* in = static_cast<const char*>(buffer);
    while (done < bytes) {
      const DWORD want = static_cast<DWORD>(bytes - done > 0x40000000 ? 0x40000000 : bytes - done);
      DWORD put = 0;
      if (!WriteFile(handle_, in + done, want, &put, nullptr) || put == 0) break;
      done += put;
    }
    return static_cast<int64_t>(done);
  }

  bool Seek(uint64_t position) override {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(position);
    LARGE_INTEGER now;
    return SetFilePointerEx(handle_, to, &now, FILE_BEGIN) &&
           static_cast<uint64_t>(now.QuadPart) == position;
  }

  int64_t Size() override {
    LARGE_INTEGER size;
    return GetFileSizeEx(handle_, &size) ? static_cast<int64_t>(size.QuadPart) : -1;
  }

  bool Sync() override { return handle_ != INVALID_HANDLE_VALUE && FlushFileBuffers(handle_) != 0; }

  bool Close() override {
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return handle != INVALID_HANDLE_VALUE && CloseHandle(handle) != 0;
  }

 private:
  HANDLE handle_;
};

// The volume and file index of path, through a handle that asks for no access.
bool Identify(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
  const HANDLE handle = CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool ok = GetFileInformationByHandle(handle, info) != 0;
  CloseHandle(handle);
  return ok;
}

class Win32FileSystem : public FileSystem {
 public:
  std::unique_ptr<PlatformFile> Open(const std::string& path, OpenMode mode) override {
    DWORD access = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    if (mode != OpenMode::kRead) access |= GENERIC_WRITE;
    if (mode == OpenMode::kCreate) disposition = CREATE_ALWAYS;
    if (mode == OpenMode::kCreateNew) disposition = CREATE_NEW;
    const HANDLE handle = CreateFileW(Wide(path).c_str(), access, FILE_SHARE_READ, nullptr,
                                      disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32File>(handle);
  }

  bool Delete(const std::string& path) override {
    if (DeleteFileW(Wide(path).c_str())) return true;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }

  bool FileExists(const std::string& path) override {
    const DWORD a = GetFileAttributesW(Wide(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }

  bool FolderExists(const std::string& path) override {
    const DWORD a = GetFileAttributesW(Wide(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

  bool SameFile(const std::string& a, const std::string& b) override {
    BY_HANDLE_FILE_INFORMATION first{}, second{};
    return Identify(a, &first) && Identify(b, &second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
  }

  bool MakeFolder(const std::string& path) override {
    return CreateDirectoryW(Wide(path).c_str(), nullptr) != 0;
  }

  // Within one folder: replaced in one step, and written through before
  // the call returns.
  bool Move(const std::string& from, const std::string& to) override {
    return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  }

  bool DeleteFolder(const std::string& path) override {
    const std::wstring folder = Wide(path);
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
          DeleteFileW((folder + L"\\" + found.cFileName).c_str());
      } while (FindNextFileW(search, &found));
      FindClose(search);
    }
    if (RemoveDirectoryW(folder.c_str())) return true;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }

  // MAX_PATH with its terminator.
  NameRules Rules() const override { return NameRules{'\\', MAX_PATH - 1}; }
  std::string LastFailure() const override {
    const DWORD error = GetLastError();
    char text[256] = {};
    if (error == 0 || FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                     text, sizeof text, nullptr) == 0)
      return {};
    std::string reason = text;
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
      reason.pop_back();
    return reason;
  }
};

}  // namespace

FileSystem& PlatformFileSystem() {
  static Win32FileSystem fileSystem;
  return fileSystem;
}

}  // namespace corvix
