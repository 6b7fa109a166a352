#include "media/akai_names.h"

namespace corvix {

namespace {
constexpr uint32_t kLetters = 26;
}

std::string PartitionLabel(uint32_t partition) {
  if (partition < kLetters) return std::string(1, static_cast<char>('A' + partition));
  return std::to_string(partition + 1);
}

int32_t PartitionFromLabel(std::string_view label) {
  if (label.size() == 1 && label[0] >= 'A' && label[0] <= 'Z') return label[0] - 'A';
  if (label.size() == 1 && label[0] >= 'a' && label[0] <= 'z') return label[0] - 'a';
  if (label.empty() || label.size() > 5 || label[0] == '0') return -1;
  uint32_t number = 0;
  for (char c : label) {
    if (c < '0' || c > '9') return -1;
    number = number * 10 + static_cast<uint32_t>(c - '0');
  }
  return number > kLetters ? static_cast<int32_t>(number - 1) : -1;
}

std::string TrimmedName(std::string_view name) {
  size_t end = name.size();
  while (end > 1 && name[end - 1] == ' ') --end;
  return std::string(name.substr(0, end));
}

std::string ProgramPath(uint32_t partition, std::string_view volume, std::string_view program) {
  return PartitionLabel(partition) + "/" + TrimmedName(volume) + "/" + TrimmedName(program);
}

}  // namespace corvix
