#include "instrument/sfz_file.h"

#include <cstdio>

#include "common/messages.h"
#include "common/pending_error.h"
#include "riff/file_system.h"

namespace corvix {
namespace {

// A number as SFZ reads it: at most 4 decimals, no trailing zeros, a point
// whatever the locale's decimal sign.
std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4f", value);
  std::string s = text;
  for (char& c : s) {
    if (c == ',') c = '.';
  }
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s == "-0" ? "0" : s;
}

}  // namespace

std::string SfzText(const std::string& title, const std::vector<PlayZone>& zones, const std::vector<WaveEntry>& rows,
                    const std::vector<WaveSource>& sources) {
  std::string text = "// " + title + "\n// Written by Veltrex Corvix from the Akai program's keygroups, one region per zone.\n";
  for (const PlayZone& z : zones) {
    if (z.row >= rows.size()) continue;
    const CoarseAndFine tune = SplitCents(z.tuneCents);
    text += "\n<region> lokey=" + std::to_string(z.lowKey) + " hikey=" + std::to_string(z.highKey) +
            " lovel=" + std::to_string(z.lowVelocity) + " hivel=" + std::to_string(z.highVelocity) +
            " pitch_keycenter=" + std::to_string(z.rootKey);
    if (tune.semitones != 0) text += " transpose=" + std::to_string(tune.semitones);
    text += " tune=" + std::to_string(tune.cents);
    // The zone's own part of the file, which holds the sample's whole sound.
    if (z.start > 0) text += " offset=" + std::to_string(z.start);
    if (z.row < sources.size() && z.end < sources[z.row].frames) text += " end=" + std::to_string(z.end - 1);
    if (z.loops) {
      text += std::string(" loop_mode=") + (z.loopUntilRelease ? "loop_sustain" : "loop_continuous") +
              " loop_start=" + std::to_string(z.loopStart) + " loop_end=" + std::to_string(z.loopEnd);
    } else {
      text += z.oneShot ? " loop_mode=one_shot" : " loop_mode=no_loop";
    }
    text += " ampeg_attack=" + Number(z.attackSeconds) + " ampeg_decay=" + Number(z.decaySeconds) +
            " ampeg_sustain=" + Number(z.sustainPercent) + " ampeg_release=" + Number(z.releaseSeconds);
    if (z.filtered) text += " fil_type=lpf_2p cutoff=" + Number(z.cutoffHertz);
    // A pair's sides apart by its zones' pans (width 100: hard left and right).
    text += z.stereo ? " width=" + std::to_string(-2 * z.pan) : " pan=" + std::to_string(2 * z.pan);
    text += " volume=0";
    text += " sample=" + WaveFileName(rows[z.row].name, rows[z.row].fileCopy) + "\n";
  }
  return text;
}

int WriteSfzFile(const std::string& path, const std::string& text) {
  // Under a temporary name until it is whole: an earlier file stands until then.
  std::string tempPath;
  std::unique_ptr<PlatformFile> file = CreateTempFile(FolderOf(path), &tempPath);
  if (!file) {
    SetPendingError((kCantOpenFile + path).c_str(), kStyleError);
    return 0;
  }
  const bool wrote = file->Write(text.data(), text.size()) == static_cast<int64_t>(text.size());
  if (!wrote) {
    file->Close();
    CurrentFileSystem().Delete(tempPath);
  }
  if (!wrote || !PutInPlace(*file, tempPath, path)) {
    SetPendingError(kDiskFull, kStyleError);
    return 0;
  }
  return 1;
}

}  // namespace corvix
