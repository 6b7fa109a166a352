// Disc images: plain 2048-byte images, raw 2352-byte images and cue sheets.
//
// Everything in the file is untrusted. The image is read through a bounded
// scratch buffer, one file read per chunk of sectors, and a sector's user
// data is copied to the caller only when the whole raw sector arrived and
// looks like a data sector. Portable calls: std::FILE plus a 64-bit seek
// (fseeko, or _fseeki64 on Windows) so images past 2 GiB work everywhere;
// elsewhere than Windows a read at an offset is one pread on the stream's
// descriptor.
#if !defined(_WIN32) && !defined(_FILE_OFFSET_BITS)
#define _FILE_OFFSET_BITS 64  // 64-bit off_t for fseeko/ftello on 32-bit hosts
#endif

#include "media/disc_image.h"

#include "media/cue_sheet.h"

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace corvix {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kRawSectorBytes = 2352;
constexpr uint32_t kMode1UserOffset = 16;      // sync 12, header 4
constexpr uint32_t kMode2Form1UserOffset = 24; // sync 12, header 4, subheader 8
constexpr uint32_t kModeByteOffset = 15;
constexpr uint32_t kSubmodeOffset = 18;        // first copy of the XA subheader
constexpr uint8_t kSubmodeForm2 = 0x20;
constexpr std::array<uint8_t, 12> kSync = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                           0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

// One file read covers at most this many bytes (whole sectors of it).
constexpr size_t kChunkBytes = 64 * 1024;

// ---------------------------------------------------------------------------
// Files

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string CannotOpen(const std::string& path, int err) {
  return "cannot open " + path + ": " + std::strerror(err);
}

// Opens path for binary reading. On failure returns null and sets *error.
FilePtr OpenFile(const std::string& path, std::string* error) {
  const fs::path p = PathFromUtf8(path);
  std::error_code ec;
  const fs::file_status status = fs::status(p, ec);
  if (fs::is_directory(status)) {
    *error = CannotOpen(path, EISDIR);
    return nullptr;
  }
  // A FIFO, socket or device that is no drive would be read forever or
  // never: an image is a file.
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    *error = "cannot open " + path + ": not a disc image (no regular file) nor a CD-ROM drive";
    return nullptr;
  }
  errno = 0;
#if defined(_WIN32)
  FilePtr file(_wfopen(p.c_str(), L"rb"));
#else
  FilePtr file(std::fopen(p.c_str(), "rb"));
#endif
  if (!file) {
    *error = CannotOpen(path, errno != 0 ? errno : ENOENT);
    return nullptr;
  }
  // Every read is preceded by a seek and is at least a sector long; stdio's
  // own buffer would only add a copy and be dropped by each seek.
  std::setvbuf(file.get(), nullptr, _IONBF, 0);
  return file;
}

bool SeekTo(std::FILE* file, uint64_t offset) {
  if (offset > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return false;
#if defined(_WIN32)
  return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

// The file's size in bytes, or nullopt when it cannot be told. Works for
// block devices too, where the file system reports no size.
std::optional<uint64_t> FileSize(std::FILE* file) {
#if defined(_WIN32)
  if (_fseeki64(file, 0, SEEK_END) != 0) return std::nullopt;
  const __int64 end = _ftelli64(file);
#else
  if (fseeko(file, 0, SEEK_END) != 0) return std::nullopt;
  const off_t end = ftello(file);
#endif
  if (end < 0 || !SeekTo(file, 0)) return std::nullopt;
  return static_cast<uint64_t>(end);
}

// Reads up to size bytes at offset; returns how many arrived. Where the
// system reads at a position in one call (pread), a read costs one call
// rather than a seek and a read; the stream's own position is not used.
size_t ReadAt(std::FILE* file, uint64_t offset, uint8_t* dest, size_t size) {
#if defined(_WIN32)
  if (!SeekTo(file, offset)) return 0;
  size_t got = std::fread(dest, 1, size, file);
  if (got < size) std::clearerr(file);
  return got;
#else
  if (offset > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) return 0;
  const int fd = fileno(file);
  size_t got = 0;
  while (got < size) {
    const uint64_t at = offset + got;
    if (at > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) break;
    const ssize_t n = ::pread(fd, dest + got, size - got, static_cast<off_t>(at));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  return got;
#endif
}

bool HasSync(const uint8_t* raw) { return std::equal(kSync.begin(), kSync.end(), raw); }

}  // namespace

// ---------------------------------------------------------------------------

struct DiscImage::Impl {
  FilePtr file;
  std::string description;
  std::vector<std::string> files;  // what the image is read from
  ImageLayout layout = ImageLayout::kUser2048;
  uint64_t dataStart = 0;  // byte offset of sector 0 (its sync, when raw)
  uint32_t stride = kSectorBytes;
  uint32_t userOffset = 0;
  uint8_t mode = 0;  // raw: the mode byte every data sector carries
  uint32_t sectors = 0;
  std::vector<uint8_t> scratch;

  void SetLayout(ImageLayout l) {
    layout = l;
    stride = l == ImageLayout::kUser2048 ? kSectorBytes : kRawSectorBytes;
    userOffset = l == ImageLayout::kUser2048   ? 0
                 : l == ImageLayout::kRawMode1 ? kMode1UserOffset
                                               : kMode2Form1UserOffset;
    mode = l == ImageLayout::kRawMode1 ? 1 : l == ImageLayout::kRawMode2Form1 ? 2 : 0;
  }

  // Counts the whole sectors between dataStart and dataEnd.
  void SetExtent(uint64_t dataEnd) {
    uint64_t whole = dataEnd > dataStart ? (dataEnd - dataStart) / stride : 0;
    sectors = static_cast<uint32_t>(std::min<uint64_t>(whole, std::numeric_limits<uint32_t>::max()));
    scratch.assign(kChunkBytes / stride * stride, 0);
  }

  // Whether the raw sector at raw (stride bytes) holds user data to deliver.
  bool Readable(const uint8_t* raw) const {
    if (layout == ImageLayout::kUser2048) return true;
    if (!HasSync(raw) || raw[kModeByteOffset] != mode) return false;
    // A Form 2 sector carries 2324 bytes of another kind, not 2048 of data.
    if (layout == ImageLayout::kRawMode2Form1 && (raw[kSubmodeOffset] & kSubmodeForm2) != 0) {
      return false;
    }
    return true;
  }
};

DiscImage::DiscImage(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
DiscImage::~DiscImage() = default;

std::unique_ptr<DiscImage> DiscImage::Open(const std::string& path, std::string* error) {
  std::string ignored;
  if (error == nullptr) error = &ignored;
  auto impl = std::make_unique<Impl>();
  impl->file = OpenFile(path, error);
  if (!impl->file) return nullptr;
  const std::optional<uint64_t> size = FileSize(impl->file.get());
  if (!size) {
    *error = CannotOpen(path, errno != 0 ? errno : EIO);
    return nullptr;
  }

  // A small file is read whole: it may be a cue sheet. Of a larger one only
  // the start of its first raw sector is needed.
  const bool small = *size <= kMaxCueBytes;
  std::vector<uint8_t> head(static_cast<size_t>(std::min<uint64_t>(*size, small ? kMaxCueBytes : 16)));
  if (!head.empty() && ReadAt(impl->file.get(), 0, head.data(), head.size()) != head.size()) {
    *error = CannotOpen(path, errno != 0 ? errno : EIO);
    return nullptr;
  }
  std::string text;
  if (small) text = DecodeText(head);
  const bool isText = small && text.find('\0') == std::string::npos;
  if (isText && (HasCueExtension(path) || LooksLikeCue(text))) {
    CueSheet sheet;
    TrackPlace place;
    if (!ParseCue(text, &sheet, error) || !PlaceDataTrack(sheet, &place, error)) return nullptr;
    const CueFile& named = sheet.files[place.track->file];
    const std::string imagePath = ResolveCueFile(path, named.name);
    impl->file = OpenFile(imagePath, error);
    if (!impl->file) return nullptr;
    const std::optional<uint64_t> imageSize = FileSize(impl->file.get());
    if (!imageSize) {
      *error = CannotOpen(imagePath, errno != 0 ? errno : EIO);
      return nullptr;
    }
    impl->SetLayout(place.track->type->layout);
    impl->dataStart = place.start;
    if (place.track->type->kind == TrackKind::kRaw2352) {
      // Sheets sometimes call a Mode 2 track MODE1 or the other way round;
      // the track's first sector says which it is.
      std::array<uint8_t, kRawSectorBytes> first{};
      if (ReadAt(impl->file.get(), place.start, first.data(), first.size()) == first.size() &&
          HasSync(first.data())) {
        if (first[kModeByteOffset] == 1) impl->SetLayout(ImageLayout::kRawMode1);
        if (first[kModeByteOffset] == 2) impl->SetLayout(ImageLayout::kRawMode2Form1);
      }
    }
    impl->SetExtent(place.end ? std::min(*place.end, *imageSize) : *imageSize);
    impl->description = path + " (" + named.name + ")";
    impl->files = {path, imagePath};
    return std::unique_ptr<DiscImage>(new DiscImage(std::move(impl)));
  }

  // Raw 2352-byte sectors: a sync pattern at the start that repeats a sector
  // later (or a size of whole raw sectors) and a data mode.
  impl->SetLayout(ImageLayout::kUser2048);
  if (head.size() >= kSync.size() + 4 && HasSync(head.data())) {
    bool repeats = *size % kRawSectorBytes == 0;
    if (!repeats) {
      std::array<uint8_t, kSync.size()> next{};
      repeats = ReadAt(impl->file.get(), kRawSectorBytes, next.data(), next.size()) ==
                    next.size() &&
                HasSync(next.data());
    }
    const uint8_t mode = head[kModeByteOffset];
    if (repeats && mode == 1) impl->SetLayout(ImageLayout::kRawMode1);
    if (repeats && mode == 2) impl->SetLayout(ImageLayout::kRawMode2Form1);
  }
  impl->dataStart = 0;
  impl->SetExtent(*size);
  impl->description = path;
  impl->files = {path};
  return std::unique_ptr<DiscImage>(new DiscImage(std::move(impl)));
}

bool DiscImage::ReadSectors(uint32_t lba, uint16_t count, uint8_t* buffer, uint32_t size) {
  if (count == 0) return true;
  if (buffer == nullptr) return false;
  Impl& im = *impl_;
  // Only sectors that fit wholly in the caller's buffer are read.
  const uint32_t fit = std::min<uint32_t>(count, size / kSectorBytes);
  bool ok = fit == count;
  const uint32_t perChunk = static_cast<uint32_t>(im.scratch.size() / im.stride);
  uint32_t done = 0;
  while (done < fit) {
    const uint64_t sector = uint64_t{lba} + done;
    if (sector >= im.sectors) return false;
    const uint32_t n = static_cast<uint32_t>(
        std::min<uint64_t>({fit - done, perChunk, im.sectors - sector}));
    const size_t want = size_t{n} * im.stride;
    const size_t got = ReadAt(im.file.get(), im.dataStart + sector * im.stride, im.scratch.data(), want);
    const uint32_t whole = static_cast<uint32_t>(got / im.stride);
    for (uint32_t k = 0; k < whole; ++k) {
      const uint8_t* raw = im.scratch.data() + size_t{k} * im.stride;
      if (im.Readable(raw)) {
        std::memcpy(buffer + size_t{done + k} * kSectorBytes, raw + im.userOffset, kSectorBytes);
      } else {
        ok = false;
      }
    }
    if (whole < n) return false;  // a read error, or the file shrank
    done += n;
  }
  return ok;
}

std::string DiscImage::Describe() const { return impl_->description; }
std::vector<std::string> DiscImage::Files() const { return impl_->files; }

ImageLayout DiscImage::layout() const { return impl_->layout; }

uint32_t DiscImage::sectorCount() const { return impl_->sectors; }

}  // namespace corvix
