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
// Cue sheets are a few hundred bytes; anything far larger is not one.
constexpr uint64_t kMaxCueBytes = 1024 * 1024;
constexpr uint32_t kFramesPerSecond = 75;

// ---------------------------------------------------------------------------
// Files

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Paths are UTF-8 in std::string throughout the program.
fs::path PathFromUtf8(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8FromPath(const fs::path& path) {
  std::u8string s = path.u8string();
  return std::string(s.begin(), s.end());
}

std::string CannotOpen(const std::string& path, int err) {
  return "cannot open " + path + ": " + std::strerror(err);
}

// Opens path for binary reading. On failure returns null and sets *error.
FilePtr OpenFile(const std::string& path, std::string* error) {
  const fs::path p = PathFromUtf8(path);
  std::error_code ec;
  if (fs::is_directory(p, ec)) {
    *error = CannotOpen(path, EISDIR);
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

// ---------------------------------------------------------------------------
// Text

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

void AppendUtf8(std::string* out, uint32_t cp) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Text with its byte-order mark removed; UTF-16 (either order, told by its
// mark) becomes UTF-8. Unpaired surrogates become U+FFFD.
std::string DecodeText(const std::vector<uint8_t>& bytes) {
  const size_t n = bytes.size();
  if (n >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    return std::string(bytes.begin() + 3, bytes.end());
  }
  const bool le = n >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
  const bool be = n >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF;
  if (!le && !be) return std::string(bytes.begin(), bytes.end());

  auto unit = [&](size_t i) -> uint32_t {
    return le ? static_cast<uint32_t>(bytes[i] | (bytes[i + 1] << 8))
              : static_cast<uint32_t>((bytes[i] << 8) | bytes[i + 1]);
  };
  std::string out;
  out.reserve(n / 2);
  for (size_t i = 2; i + 1 < n; i += 2) {
    uint32_t cp = unit(i);
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < n) {
      uint32_t low = unit(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      } else {
        cp = 0xFFFD;
      }
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    AppendUtf8(&out, cp);
  }
  return out;
}

// Lines without their CR/LF.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// A word of a cue line: its text (quotes removed) and where it began.
struct Word {
  std::string text;
  size_t begin = 0;
  size_t end = 0;  // one past its last character, closing quote included
  bool quoted = false;
};

// Splits a line into words; a "quoted string" is one word. Returns false for
// a quote that is never closed.
bool SplitWords(std::string_view line, std::vector<Word>* words) {
  words->clear();
  size_t i = 0;
  while (i < line.size()) {
    if (IsBlank(line[i])) {
      ++i;
      continue;
    }
    Word w;
    w.begin = i;
    if (line[i] == '"') {
      size_t close = line.find('"', i + 1);
      if (close == std::string_view::npos) return false;
      w.text = std::string(line.substr(i + 1, close - i - 1));
      w.quoted = true;
      i = close + 1;
    } else {
      size_t start = i;
      while (i < line.size() && !IsBlank(line[i])) ++i;
      w.text = std::string(line.substr(start, i - start));
    }
    w.end = i;
    words->push_back(std::move(w));
  }
  return true;
}

// A word fit to quote in a message: printable ASCII, at most 24 characters.
std::string Printable(std::string_view s) {
  std::string out;
  for (char c : s.substr(0, 24)) {
    out.push_back(c >= 0x20 && c < 0x7F ? c : '?');
  }
  if (s.size() > 24) out += "...";
  return out;
}

bool ParseDigits(std::string_view s, size_t maxDigits, uint32_t* value) {
  if (s.empty() || s.size() > maxDigits) return false;
  uint32_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint32_t>(c - '0');
  }
  *value = v;
  return true;
}

// "mm:ss:ff" as a frame count (75 frames a second).
bool ParseTime(std::string_view s, uint32_t* frames) {
  size_t c1 = s.find(':');
  if (c1 == std::string_view::npos) return false;
  size_t c2 = s.find(':', c1 + 1);
  if (c2 == std::string_view::npos) return false;
  uint32_t mm = 0, ss = 0, ff = 0;
  if (!ParseDigits(s.substr(0, c1), 3, &mm) || !ParseDigits(s.substr(c1 + 1, c2 - c1 - 1), 2, &ss) ||
      !ParseDigits(s.substr(c2 + 1), 2, &ff)) {
    return false;
  }
  if (ss >= 60 || ff >= kFramesPerSecond) return false;
  *frames = (mm * 60 + ss) * kFramesPerSecond + ff;
  return true;
}

// ---------------------------------------------------------------------------
// Cue sheets

enum class TrackKind {
  kOther,       // audio, CD+G, CD-i: never the data track
  kUser2048,    // MODE1/2048, MODE2/2048
  kRaw2352,     // MODE1/2352, MODE2/2352
  kUnsupported, // MODE2/2336: a data track this reader cannot read
};

struct TrackType {
  std::string_view name;
  uint32_t sectorBytes;
  TrackKind kind;
  ImageLayout layout;  // for data tracks: the layout the type names
};

constexpr TrackType kTrackTypes[] = {
    {"AUDIO", 2352, TrackKind::kOther, ImageLayout::kUser2048},
    {"CDG", 2448, TrackKind::kOther, ImageLayout::kUser2048},
    {"CDI/2336", 2336, TrackKind::kOther, ImageLayout::kUser2048},
    {"CDI/2352", 2352, TrackKind::kOther, ImageLayout::kUser2048},
    {"MODE1/2048", 2048, TrackKind::kUser2048, ImageLayout::kUser2048},
    {"MODE1/2352", 2352, TrackKind::kRaw2352, ImageLayout::kRawMode1},
    {"MODE2/2048", 2048, TrackKind::kUser2048, ImageLayout::kUser2048},
    {"MODE2/2336", 2336, TrackKind::kUnsupported, ImageLayout::kUser2048},
    {"MODE2/2352", 2352, TrackKind::kRaw2352, ImageLayout::kRawMode2Form1},
};

// Commands that carry nothing the reader needs.
constexpr std::string_view kIgnoredCommands[] = {
    "REM",       "CATALOG", "CDTEXTFILE", "FLAGS",     "ISRC",      "PERFORMER", "SONGWRITER",
    "TITLE",     "PREGAP",  "POSTGAP",    "ARRANGER",  "COMPOSER",  "DISC_ID",   "GENRE",
    "MESSAGE",   "UPC_EAN", "SIZE_INFO",  "TOC_INFO1", "TOC_INFO2",
};

struct CueFile {
  std::string name;  // as the sheet writes it
  std::string type;  // BINARY, MOTOROLA, WAVE, …
};

struct CueTrack {
  uint32_t number = 0;
  const TrackType* type = nullptr;
  size_t file = 0;  // index into CueSheet::files
  std::optional<uint32_t> index0;  // frames from the start of its file
  std::optional<uint32_t> index1;
};

struct CueSheet {
  std::vector<CueFile> files;
  std::vector<CueTrack> tracks;
};

// The FILE line's name: the quoted word, or, unquoted, everything between the
// command and the type (names with spaces are sometimes left unquoted).
bool FileName(std::string_view line, const std::vector<Word>& words, std::string* name) {
  if (words.size() < 3) return false;
  if (words[1].quoted || words.size() == 3) {
    *name = words[1].text;
  } else {
    *name = std::string(line.substr(words[1].begin, words[words.size() - 2].end - words[1].begin));
  }
  return !name->empty();
}

bool ParseCue(std::string_view text, CueSheet* sheet, std::string* error) {
  std::vector<Word> words;
  std::vector<std::string_view> lines = SplitLines(text);
  // Frame position of the last INDEX in the current file: positions only
  // move forward within one file.
  uint32_t lastIndex = 0;
  for (size_t n = 0; n < lines.size(); ++n) {
    const std::string where = "cue sheet line " + std::to_string(n + 1) + ": ";
    std::string_view line = lines[n];
    if (!SplitWords(line, &words)) {
      *error = where + "a quote is not closed";
      return false;
    }
    if (words.empty()) continue;
    const std::string command = Upper(words[0].text);

    if (command == "FILE") {
      CueFile file;
      if (!FileName(line, words, &file.name)) {
        *error = where + "FILE needs a file name and a type";
        return false;
      }
      file.type = Upper(words.back().text);
      sheet->files.push_back(std::move(file));
      lastIndex = 0;
    } else if (command == "TRACK") {
      if (sheet->files.empty()) {
        *error = where + "TRACK before any FILE";
        return false;
      }
      CueTrack track;
      if (words.size() != 3 || !ParseDigits(words[1].text, 2, &track.number) || track.number == 0) {
        *error = where + "TRACK needs a number (01-99) and a type";
        return false;
      }
      const std::string type = Upper(words[2].text);
      for (const TrackType& t : kTrackTypes) {
        if (t.name == type) track.type = &t;
      }
      if (track.type == nullptr) {
        *error = where + "unknown track type \"" + Printable(words[2].text) + "\"";
        return false;
      }
      track.file = sheet->files.size() - 1;
      sheet->tracks.push_back(track);
    } else if (command == "INDEX") {
      if (sheet->tracks.empty() || sheet->tracks.back().file + 1 != sheet->files.size()) {
        *error = where + "INDEX outside a TRACK";
        return false;
      }
      uint32_t number = 0;
      uint32_t frames = 0;
      if (words.size() != 3 || !ParseDigits(words[1].text, 2, &number) ||
          !ParseTime(words[2].text, &frames)) {
        *error = where + "INDEX needs a number and a time mm:ss:ff";
        return false;
      }
      if (frames < lastIndex) {
        *error = where + "INDEX is earlier than the one before it";
        return false;
      }
      lastIndex = frames;
      CueTrack& track = sheet->tracks.back();
      if (number == 0 || number == 1) {
        std::optional<uint32_t>& slot = number == 0 ? track.index0 : track.index1;
        if (slot || (number == 0 && track.index1)) {
          *error = where + "INDEX " + (number == 0 ? "00" : "01") + " out of place";
          return false;
        }
        slot = frames;
      }
    } else if (std::find(std::begin(kIgnoredCommands), std::end(kIgnoredCommands), command) ==
               std::end(kIgnoredCommands)) {
      *error = where + "unknown command \"" + Printable(words[0].text) + "\"";
      return false;
    }
  }
  for (const CueTrack& track : sheet->tracks) {
    if (!track.index1) {
      std::string number = std::to_string(track.number);
      if (number.size() < 2) number.insert(0, "0");
      *error = "cue sheet: track " + number + " has no INDEX 01";
      return false;
    }
  }
  return true;
}

// Whether a file's text reads as a cue sheet: no NUL bytes, and a FILE and a
// TRACK command among its lines.
bool LooksLikeCue(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) return false;
  bool file = false;
  bool track = false;
  std::vector<Word> words;
  for (std::string_view line : SplitLines(text)) {
    if (!SplitWords(line, &words) || words.empty()) continue;
    const std::string command = Upper(words[0].text);
    file = file || command == "FILE";
    track = track || command == "TRACK";
  }
  return file && track;
}

bool HasCueExtension(const std::string& path) {
  return Upper(Utf8FromPath(PathFromUtf8(path).extension())) == ".CUE";
}

// Where the sheet's file name points: relative names from the sheet's folder.
// A name that does not exist as written is looked up with '\' taken as the
// folder separator and the letter case of its file name ignored (sheets
// written on one system, used on another).
std::string ResolveCueFile(const std::string& cuePath, const std::string& name) {
  const fs::path folder = PathFromUtf8(cuePath).parent_path();
  auto join = [&](const std::string& n) {
    fs::path p = PathFromUtf8(n);
    return p.is_absolute() ? p : folder / p;
  };
  const fs::path literal = join(name);
  std::error_code ec;
  if (fs::exists(literal, ec)) return Utf8FromPath(literal);

  std::string slashed = name;
  std::replace(slashed.begin(), slashed.end(), '\\', '/');
  const fs::path withSlashes = join(slashed);
  const std::string wanted = Upper(Utf8FromPath(withSlashes.filename()));
  fs::directory_iterator it(withSlashes.parent_path().empty() ? fs::path(".")
                                                               : withSlashes.parent_path(),
                            ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    if (Upper(Utf8FromPath(it->path().filename())) == wanted) return Utf8FromPath(it->path());
  }
  return Utf8FromPath(literal);
}

// Where the data track lies in its file.
struct TrackPlace {
  const CueTrack* track = nullptr;
  uint64_t start = 0;  // byte offset of INDEX 01
  std::optional<uint64_t> end;  // byte offset where the next track begins
};

bool PlaceDataTrack(const CueSheet& sheet, TrackPlace* place, std::string* error) {
  size_t data = sheet.tracks.size();
  for (size_t i = 0; i < sheet.tracks.size(); ++i) {
    if (sheet.tracks[i].type->kind != TrackKind::kOther) {
      data = i;
      break;
    }
  }
  if (data == sheet.tracks.size()) {
    *error = "cue sheet names no data track";
    return false;
  }
  const CueTrack& track = sheet.tracks[data];
  if (track.type->kind == TrackKind::kUnsupported) {
    *error = "cue sheet: " + std::string(track.type->name) + " data tracks cannot be read";
    return false;
  }
  const CueFile& file = sheet.files[track.file];
  if (file.type != "BINARY" && file.type != "MOTOROLA") {
    *error = "cue sheet: the data track's file is " + Printable(file.type) + ", not BINARY";
    return false;
  }

  // A track's region in its file starts at its INDEX 00 (or 01 without one);
  // the first track of a file starts at the file's start. Each region holds
  // sectors of its own track's size.
  auto regionStart = [&](size_t i) -> uint32_t {
    const CueTrack& t = sheet.tracks[i];
    if (i == 0 || sheet.tracks[i - 1].file != t.file) return 0;
    return t.index0 ? *t.index0 : *t.index1;
  };
  uint64_t offset = 0;
  for (size_t i = 0; i < data; ++i) {
    if (sheet.tracks[i].file != track.file) continue;
    offset += uint64_t{regionStart(i + 1) - regionStart(i)} * sheet.tracks[i].type->sectorBytes;
  }
  const uint32_t ownStart = regionStart(data);
  place->track = &track;
  place->start = offset + uint64_t{*track.index1 - ownStart} * track.type->sectorBytes;
  if (data + 1 < sheet.tracks.size() && sheet.tracks[data + 1].file == track.file) {
    place->end = offset + uint64_t{regionStart(data + 1) - ownStart} * track.type->sectorBytes;
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------

struct DiscImage::Impl {
  FilePtr file;
  std::string description;
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

ImageLayout DiscImage::layout() const { return impl_->layout; }

uint32_t DiscImage::sectorCount() const { return impl_->sectors; }

}  // namespace corvix
