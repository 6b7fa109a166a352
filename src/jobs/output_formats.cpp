#include "jobs/output_formats.h"

namespace corvix {

std::vector<OutputFormat>& OutputFormats() {
  static std::vector<OutputFormat> formats = {
      {"convert", true, "tes", "Convert each program into a .tes instrument file", "Folder of the instrument files", kMenuConvertTes,
       kMenuBatchConvertTes, "region", "wave", {WaveKind::kDesign, false, false, ".tes"}, MakeTesWriter},
      {"combine", true, nullptr, "Combine programs into one .tes instrument file, named after the first",
       "Folder of the instrument files", kMenuCombineTes, kMenuBatchCombineTes, "region", "wave", {WaveKind::kDesign, false, true, ".tes"},
       MakeTesWriter},
      {"sf2", true, "sf2", "Convert each program into a SoundFont 2 file (.sf2)", "Folder of the instrument files", kMenuConvertSf2,
       kMenuBatchConvertSf2, "zone", "sample", {WaveKind::kPlayers, false, false, ".sf2"}, MakeSoundFontWriter},
      {"sf2-bank", false, nullptr, "Convert every program into one SoundFont 2 file, each program a preset",
       "Folder of the instrument files", 0, 0, "zone", "sample", {WaveKind::kPlayers, false, false, ".sf2"},
       MakeSoundFontBankWriter},
      {"sfz", true, "sfz", "Convert each program into a folder of WAV files and an .sfz instrument",
       "Folder below which each program gets its folder", kMenuConvertSfz, kMenuBatchConvertSfz, "zone", "wave",
       {WaveKind::kPlayers, true, false, ".sfz"}, MakeSfzWriter},
      {"wav", false, "wav", "Each program's samples as WAV files in a folder of its own",
       "Folder below which each program gets its folder", 0, 0, "zone", "wave", {WaveKind::kPlayers, true, false, ""},
       MakeWaveFolderWriter},
  };
  return formats;
}

const OutputFormat* FindFormat(std::string_view name) {
  for (const OutputFormat& format : OutputFormats()) {
    if (name == format.name || (format.word != nullptr && name == format.word)) return &format;
  }
  return nullptr;
}

const OutputFormat* FormatForMenu(int id) {
  for (const OutputFormat& format : OutputFormats()) {
    if (id != 0 && (format.menuId == id || format.batchMenuId == id)) return &format;
  }
  return nullptr;
}

}  // namespace corvix
