// The ASPI transport against the stand-in WNASPI32.dll beside this program.
#include <windows.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "akai_disc_builder.h"
#include "checks.h"
#include "common/user_messages.h"
#include "media/akai_disk.h"
#include "media/aspi_srb.h"
#include "media/aspi_transport.h"
#include "media/disc_listing.h"
#include "media/scsi_device.h"

namespace corvix::wine {
namespace {

constexpr uint32_t kPatternSectors = 40;

uint8_t PatternByte(uint32_t lba, uint32_t i) { return static_cast<uint8_t>(lba * 7 + i * 13 + (i >> 8)); }

std::vector<uint8_t> PatternImage() {
  std::vector<uint8_t> image(kPatternSectors * kSectorBytes);
  for (uint32_t lba = 0; lba < kPatternSectors; ++lba) {
    for (uint32_t i = 0; i < kSectorBytes; ++i) image[lba * kSectorBytes + i] = PatternByte(lba, i);
  }
  return image;
}

class Recorder : public UserMessages {
 public:
  int ShowMessage(const char* text, const char* caption, uint32_t style) override {
    texts.emplace_back(text);
    captions.emplace_back(caption);
    styles.push_back(style);
    return answer;
  }
  void Refresh() override { ++refreshes; }
  std::vector<std::string> texts, captions;
  std::vector<uint32_t> styles;
  int refreshes = 0;
  int answer = kIdOk;
};

class StandinFixture {
 public:
  StandinFixture() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    folder_ = std::string(temp) + "corvix-wine-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder_.c_str(), nullptr);
    log_ = folder_ + "standin.log";
  }
  ~StandinFixture() {
    for (const std::string& file : files_) DeleteFileA(file.c_str());
    DeleteFileA(log_.c_str());
    RemoveDirectoryA(folder_.c_str());
  }

  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = folder_ + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    files_.push_back(path);
    return path;
  }

  // Sets the stand-in's environment (every other CORVIX_STANDIN_ variable
  // cleared), empties its log and makes it read the environment again.
  void Configure(const std::vector<std::pair<const char*, std::string>>& settings) {
    for (const char* name : {"CORVIX_STANDIN_IMAGE", "CORVIX_STANDIN_UNIT", "CORVIX_STANDIN_INQUIRY",
                             "CORVIX_STANDIN_TYPE", "CORVIX_STANDIN_TUR", "CORVIX_STANDIN_HANG"}) {
      SetEnvironmentVariableA(name, nullptr);
    }
    for (const auto& [name, value] : settings) SetEnvironmentVariableA(name, value.c_str());
    SetEnvironmentVariableA("CORVIX_STANDIN_LOG", log_.c_str());
    DeleteFileA(log_.c_str());
    if (auto reset = Export<void(__cdecl*)()>("CorvixStandinReset")) reset();
  }

  std::vector<std::string> Log() const {
    std::ifstream in(log_);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  template <typename Fn>
  Fn Export(const char* name) const {
    HMODULE module = GetModuleHandleA("WNASPI32.dll");
    if (module == nullptr) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  }

 private:
  std::string folder_, log_;
  std::vector<std::string> files_;
};

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  for (const std::string& l : lines) {
    if (l == line) return true;
  }
  return false;
}

void CheckLayout() {
  Section("ASPI request block layout");
  CHECK_EQ(offsetof(aspi::ExecBlock, senseTail), sizeof(aspi::SRB_ExecSCSICmd));
  CHECK_EQ(sizeof(aspi::ExecBlock) - offsetof(aspi::SRB_ExecSCSICmd, SenseArea), size_t{32});
  if (sizeof(void*) != 4) {
    std::printf("   (a 64-bit build: the published 32-bit offsets are checked by the i686 build)\n");
    return;
  }
  for (size_t i = 0; i < std::size(aspi::kExecOffsets32); ++i) {
    Check(aspi::kExecOffsets[i] == aspi::kExecOffsets32[i].offset, aspi::kExecOffsets32[i].field,
          __FILE__, __LINE__,
          "offset " + std::to_string(aspi::kExecOffsets[i]) + ", published " +
              std::to_string(aspi::kExecOffsets32[i].offset));
  }
  CHECK_EQ(sizeof(aspi::SRB_ExecSCSICmd), aspi::kExecSize32);
  CHECK_EQ(sizeof(aspi::SRB_Abort), aspi::kAbortSize32);
}

void CheckScan(StandinFixture& standin) {
  Section("support info and scan");
  for (const char* type : {"5", "0x25", "0xA5", "4"}) {
    standin.Configure({{"CORVIX_STANDIN_UNIT", "1:3:2"},
                       {"CORVIX_STANDIN_TYPE", type},
                       {"CORVIX_STANDIN_INQUIRY", "ABC|CD-ROM DRIVE 40X|1.00"}});
    CHECK_EQ(ReadScsiSupportInfo(), 0x0102u);
    CHECK_EQ(HostAdapterCount, 2);
    ScsiDevice* list = nullptr;
    CHECK(ScanScsiDevices(&list) == 1);
    const bool cdrom = std::strtoul(type, nullptr, 0) % 32 == 5;
    if (!cdrom) {
      Check(list == nullptr, "a type-4 unit is not listed", __FILE__, __LINE__, type);
      FreeScsiDeviceList(list);
      continue;
    }
    if (Check(list != nullptr && list->next == nullptr, "one device", __FILE__, __LINE__, type)) {
      CHECK_EQ(list->hostAdapter, 1);
      CHECK_EQ(list->target, 3);
      CHECK_EQ(list->lun, 2);
      CHECK(std::string(list->vendor) == "ABC     ");
      CHECK(std::string(list->product) == "CD-ROM DRIVE 40X");
      CHECK(std::string(list->revision) == "1.00");
    }
    FreeScsiDeviceList(list);
  }
  // Only the unit was asked over the bus for its data; the misses are answered
  // by ASPI at once and never reach it.
  const auto log = standin.Log();
  CHECK_EQ(log.size(), size_t{1});
  CHECK(Contains(log, "INQUIRY 1:3:2"));
}

void CheckPatternReads(StandinFixture& standin) {
  Section("READ(10) through the stand-in, byte for byte");
  const std::vector<uint8_t> image = PatternImage();
  standin.Configure({{"CORVIX_STANDIN_IMAGE", standin.Write("pattern.iso", image)},
                     {"CORVIX_STANDIN_UNIT", "0:1:0"}});
  ReadScsiSupportInfo();
  CurrentDevice = {0, 1, 0};

  std::vector<uint8_t> whole(image.size(), 0);
  bool allRead = true;
  for (uint32_t lba = 0; lba < kPatternSectors; lba += 4) {
    allRead = ScsiReadSectors(lba, 4, whole.data() + lba * kSectorBytes, 4 * kSectorBytes) && allRead;
  }
  CHECK(allRead);
  CHECK(whole == image);

  struct Case {
    uint32_t lba;
    uint16_t count;
    uint32_t size;
    bool complete;
    uint32_t sectorsDelivered;
  };
  const Case cases[] = {
      {0, 1, kSectorBytes, true, 1},
      {17, 9, 9 * kSectorBytes, true, 9},
      {36, 4, 4 * kSectorBytes, true, 4},          // the last sectors
      {38, 4, 4 * kSectorBytes, false, 0},         // runs past the end: nothing
      {kPatternSectors, 1, kSectorBytes, false, 0},
      {5, 4, 3 * kSectorBytes + 100, false, 3},    // buffer holds 3 whole sectors
      {5, 0, 0, true, 0},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> buffer(c.size + 64, 0xEE);
    const bool complete = ScsiReadSectors(c.lba, c.count, buffer.data(), c.size);
    const std::string what = "lba " + std::to_string(c.lba) + " count " + std::to_string(c.count);
    Check(complete == c.complete, "complete", __FILE__, __LINE__, what);
    const size_t delivered = static_cast<size_t>(c.sectorsDelivered) * kSectorBytes;
    Check(std::memcmp(buffer.data(), image.data() + c.lba * kSectorBytes, delivered) == 0,
          "delivered sectors", __FILE__, __LINE__, what);
    bool untouched = true;
    for (size_t i = delivered; i < buffer.size(); ++i) untouched = untouched && buffer[i] == 0xEE;
    Check(untouched, "the rest untouched", __FILE__, __LINE__, what);
  }
}

void CheckAkaiDisc(StandinFixture& standin) {
  Section("an Akai disc listed through ASPI");
  discbuilder::DiscSpec discSpec;
  discSpec.partitions.resize(2);
  discbuilder::VolumeSpec volume;
  volume.name = "STRINGS";
  discbuilder::SampleSpec sample;
  sample.name = "VIOLIN C3";
  sample.pcm.assign(20000, 1234);
  volume.samples.push_back(sample);
  discbuilder::ProgramSpec program;
  program.name = "VIOLINS";
  discbuilder::KeygroupSpec keygroup;
  keygroup.lowKey = 36;
  keygroup.highKey = 60;
  keygroup.zones[0].sample = "VIOLIN C3";
  program.keygroups.push_back(keygroup);
  volume.programs.push_back(program);
  discSpec.partitions[0].volumes.push_back(volume);
  volume.name = "BRASS";
  discSpec.partitions[1].volumes.push_back(volume);
  std::string error;
  const auto disc = discbuilder::BuildDisc(discSpec, &error);
  if (!Check(disc.has_value(), "BuildDisc", __FILE__, __LINE__, error)) return;
  standin.Configure({{"CORVIX_STANDIN_IMAGE", standin.Write("akai.iso", disc->image)}});
  ReadScsiSupportInfo();
  CurrentDevice = {0, 0, 0};
  ScsiSectorSource drive;
  SetSectorSource(&drive);
  AllocVolumeLists();
  const DiscListing listing = ListDisc();
  FreeVolumeLists();
  SetSectorSource(nullptr);
  CHECK(listing.isAkaiDisc);
  if (!Check(listing.partitions.size() == 2, "two partitions", __FILE__, __LINE__)) return;
  CHECK(TrimmedName(listing.partitions[1].volumes.at(0).name) == "BRASS");
  const ListedVolume& strings = listing.partitions[0].volumes.at(0);
  CHECK(TrimmedName(strings.name) == "STRINGS");
  if (Check(strings.programs.size() == 1 && strings.samples.size() == 1, "one program, one sample",
            __FILE__, __LINE__)) {
    CHECK_EQ(strings.programs[0].lowestKey, 36);
    CHECK_EQ(strings.programs[0].highestKey, 60);
    CHECK_EQ(strings.samples[0].lengthWords, 20000u);
  }
}

void CheckReadiness(StandinFixture& standin) {
  Section("TEST UNIT READY and EnsureMediumReady");
  Recorder recorder;
  SetUserMessages(&recorder);
  ScsiSectorSource drive;
  SetSectorSource(&drive);
  CurrentDevice = {0, 0, 0};
  CurrentDriveLetter = 'E';

  standin.Configure({{"CORVIX_STANDIN_TUR", "2/04/01"}});
  CHECK_EQ(ScsiTestUnitReady(0, 0, 0), 0x02020401u);
  CHECK_EQ(ScsiTestUnitReady(0, 0, 0), 0u);

  standin.Configure({{"CORVIX_STANDIN_TUR", "2/04/01,2/3a/00,2/04/01"}});
  recorder.answer = kIdRetry;
  CHECK_EQ(EnsureMediumReady(), 1);
  CHECK_EQ(recorder.texts.size(), size_t{3});
  if (!recorder.texts.empty()) {
    CHECK(recorder.texts[0] == "E:\\ is not accessible\n\nThe device is not ready");
    CHECK(recorder.captions[0] == "Veltrex Corvix");
    CHECK_EQ(recorder.styles[0], kMbRetryCancel | kMbIconStop);
  }

  recorder = Recorder{};
  recorder.answer = kIdCancel;
  standin.Configure({{"CORVIX_STANDIN_TUR", "2/3a/00"}});
  CHECK_EQ(EnsureMediumReady(), 0);
  CHECK_EQ(recorder.texts.size(), size_t{1});

  recorder = Recorder{};
  standin.Configure({{"CORVIX_STANDIN_TUR", "6/28/00"}});
  CHECK_EQ(EnsureMediumReady(), 1);
  CHECK_EQ(recorder.refreshes, 1);
  CHECK(recorder.texts.empty());

  Section("PREVENT ALLOW MEDIUM REMOVAL");
  standin.Configure({});
  CHECK_EQ(ReadWithLockedMedium([] { return 7; }), 7);
  const auto log = standin.Log();
  const std::vector<std::string> expected = {"TUR 0/00/00", "PREVENT 1", "PREVENT 0"};
  CHECK(log == expected);

  SetSectorSource(nullptr);
  SetUserMessages(nullptr);
  CurrentDriveLetter = 0;
}

void CheckTimeouts(StandinFixture& standin) {
  CurrentDevice = {0, 0, 0};
  const uint64_t limit = kScsiTimeoutMs + kAspiAbortGraceMs + 1500;  // slack for a slow machine

  Section("a READ that never completes is aborted after 5 seconds");
  standin.Configure({{"CORVIX_STANDIN_HANG", "read"}});
  std::vector<uint8_t> buffer(4 * kSectorBytes, 0xEE);
  uint64_t start = GetTickCount64();
  CHECK(!ScsiReadSectors(0, 4, buffer.data(), static_cast<uint32_t>(buffer.size())));
  uint64_t elapsed = GetTickCount64() - start;
  Check(elapsed >= kScsiTimeoutMs - 100 && elapsed <= limit, "waited about 5 s", __FILE__, __LINE__,
        std::to_string(elapsed) + " ms");
  CHECK(Contains(standin.Log(), "ABORT 0"));
  CHECK_EQ(AbandonedAspiCommands(), size_t{0});
  CHECK(std::vector<uint8_t>(buffer.size(), 0xEE) == buffer);

  Section("a READ that ignores the abort is abandoned, never freed under ASPI");
  standin.Configure({{"CORVIX_STANDIN_HANG", "read-ignore-abort"}});
  start = GetTickCount64();
  CHECK(!ScsiReadSectors(0, 4, buffer.data(), static_cast<uint32_t>(buffer.size())));
  elapsed = GetTickCount64() - start;
  Check(elapsed >= kScsiTimeoutMs - 100 && elapsed <= limit, "gave up after the wait and the grace",
        __FILE__, __LINE__, std::to_string(elapsed) + " ms");
  CHECK_EQ(AbandonedAspiCommands(), size_t{1});
  // The drive answers late: it writes into the transport's own buffer, which
  // is still there, and never into the caller's.
  auto release = standin.Export<DWORD(__cdecl*)()>("CorvixStandinReleaseHung");
  if (Check(release != nullptr, "stand-in exports CorvixStandinReleaseHung", __FILE__, __LINE__)) {
    CHECK_EQ(release(), 1ul);
  }
  CHECK(std::vector<uint8_t>(buffer.size(), 0xEE) == buffer);
  standin.Configure({});
  CHECK_EQ(ScsiTestUnitReady(0, 0, 0), 0u);
  CHECK_EQ(AbandonedAspiCommands(), size_t{0});
}

}  // namespace

void RunAspiChecks() {
  CheckLayout();
  Section("loading WNASPI32.dll");
  std::string error;
  auto transport = OpenAspiTransport("WNASPI32.dll", &error);
  if (!Check(transport != nullptr, "OpenAspiTransport", __FILE__, __LINE__, error)) return;
  SetScsiTransport(transport.get());
  {
    StandinFixture standin;
    CheckScan(standin);
    CheckPatternReads(standin);
    CheckAkaiDisc(standin);
    CheckReadiness(standin);
    CheckTimeouts(standin);
  }
  SetScsiTransport(nullptr);
  ResetScsiState();
}

}  // namespace corvix::wine
