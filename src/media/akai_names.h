// How the disc's names are shown: partitions by label, Akai names without
// their padding, a program by its path. The window, the command line, the
// JSON listing and the job notes all name things through these.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace corvix {

// The label of partition p (counted from 0): "A" … "Z" for the first 26,
// then the partition's number, "27", "28", …
std::string PartitionLabel(uint32_t partition);

// The partition a label names (letters in either case, or a number from 27
// on), or -1 when it names none.
int32_t PartitionFromLabel(std::string_view label);

// A name without its trailing spaces; the first character stays even when
// it is a space, so a name of spaces shows as one.
std::string TrimmedName(std::string_view name);

// "LABEL/VOLUME/PROGRAM" with the names trimmed: how a program is named on
// the command line and in the notes a job leaves.
std::string ProgramPath(uint32_t partition, std::string_view volume, std::string_view program);

}  // namespace corvix
