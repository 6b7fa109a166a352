// The texts the program shows, each written out once. Texts used by one
// place only stay with it.
#pragma once

namespace corvix {

constexpr const char* kCaption = "Veltrex Corvix";
constexpr const char* kCancelled = "Conversion cancelled by user";
constexpr const char* kNotesHeading = "Not everything could be converted:";
constexpr const char* kDiskFull = "Can't write to file (disk full?)";
constexpr const char* kNoMemory = "Read Buffer Malloc";
constexpr const char* kCantReadFat = "Can't Read FAT";
constexpr const char* kCantCreateFile = "Can't create file";
constexpr const char* kCantCreateDirectory = "Can't create directory";
constexpr const char* kCantOpenFile = "Can't open file  ";  // followed by the path
constexpr const char* kCantReadFile = "Can't read file  ";  // followed by the path
constexpr const char* kCantReadProgram = "Can't read program ";  // followed by its name
constexpr const char* kProgramNotFound = "Program not found on the disc";
constexpr const char* kTableFull = "Too many samples for one job (1024 at most)";
constexpr const char* kFolderGone = "The target folder was removed while the job was running";
constexpr const char* kNoSampleForZone = "Can't find sample for this velocity zone";
constexpr const char* kWriteError = "Write error";
constexpr const char* kCouldntSelectItem = "Couldn't select item";
constexpr const char* kJobRunning = "Another job is still running";
constexpr const char* kSourceIsTarget = "Won't write over the disc being read";

}  // namespace corvix
