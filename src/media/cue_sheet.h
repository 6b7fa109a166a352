// Cue sheets: the text that names a disc's image files and tracks, and
// where in its file the first data track lies.
//
// Everything here is untrusted text: a sheet is read as UTF-8 or UTF-16
// (told by its byte-order mark), its lines with CR/LF or LF, its words
// quoted or not; a line that does not parse is an error with the line's
// number, never a read outside the text.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "media/disc_image.h"

namespace corvix {

// Cue sheets are a few hundred bytes; anything far larger is not one.
constexpr uint64_t kMaxCueBytes = 1024 * 1024;

// Paths are UTF-8 in std::string throughout the program.
inline std::filesystem::path PathFromUtf8(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
inline std::string Utf8FromPath(const std::filesystem::path& path) {
  std::u8string s = path.u8string();
  return std::string(s.begin(), s.end());
}

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

// Where the data track lies in its file.
struct TrackPlace {
  const CueTrack* track = nullptr;
  uint64_t start = 0;  // byte offset of INDEX 01
  std::optional<uint64_t> end;  // byte offset where the next track begins
};

// Text with its byte-order mark removed; UTF-16 (either order, told by its
// mark) becomes UTF-8. Unpaired surrogates become U+FFFD.
std::string DecodeText(const std::vector<uint8_t>& bytes);

// Parses a sheet: its FILE and TRACK lines, with their indexes. False with
// *error set ("cue sheet line 7: …") when the text is not a cue sheet this
// reader understands.
bool ParseCue(std::string_view text, CueSheet* sheet, std::string* error);

// Whether a file's text reads as a cue sheet: no NUL bytes, and a FILE and a
// TRACK command among its lines.
bool LooksLikeCue(std::string_view text);
bool HasCueExtension(const std::string& path);

// Where the sheet's file name points: relative names from the sheet's folder.
// A name that does not exist as written is looked up with '\\' taken as the
// folder separator and the letter case of its file name ignored (sheets
// written on one system, used on another).
std::string ResolveCueFile(const std::string& cuePath, const std::string& name);

// The sheet's first data track and where it lies in its file. False with
// *error set when there is none, or none this reader can read.
bool PlaceDataTrack(const CueSheet& sheet, TrackPlace* place, std::string* error);

}  // namespace corvix
