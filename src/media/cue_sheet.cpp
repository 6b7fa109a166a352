#include "media/cue_sheet.h"

#include <algorithm>
#include <cstring>

namespace corvix {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kFramesPerSecond = 75;

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

}  // namespace

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

}  // namespace corvix
