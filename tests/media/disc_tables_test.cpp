#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>

#include "common/byte_order.h"
#include "common/pending_error.h"
#include "media/akai_records.h"
#include "media/disc_listing.h"
#include "media/program_files.h"
#include "support/test_disc.h"

namespace corvix {
namespace {

using discbuilder::VolumeSpec;
using testing::Keygroup;
using testing::Program;
using testing::Sample;
using testing::Volume;
using Bytes = std::vector<uint8_t>;

// The fields of a decoded record as text, numbers as numbers.
template <typename... Field>
std::string Fields(const Field&... fields) {
  std::ostringstream out;
  ((out << +fields << '|'), ...);
  return out.str();
}
ByteView View(const Bytes& bytes) { return {bytes.data(), bytes.size()}; }

// Records typed byte by byte from the Akai format as documented, not through
// the reader's offsets or the disc builder, so that a field read from the
// wrong place shows here. Each field holds a value no other field of its
// record holds; untyped bytes are zero. Akai characters: digits 0-9, space
// 10, 'A'-'Z' 11-36, then # + - . (37-40).
TEST(AkaiRecordBytesTest, FieldsAreReadFromTheirDocumentedPlaces) {
  const Bytes bass = {12, 11, 29, 29, 10, 10, 10, 10, 10, 10, 10, 10};
  struct Case { const char* record; size_t size; std::vector<std::pair<uint32_t, Bytes>> typed;
                std::string (*decode)(const Bytes&); const char* want; };
  const Case cases[] = {
      {"program header", 150, {{3, {26, 19, 11, 24, 25, 10, 1, 10, 10, 10, 10, 10}}, {15, {0x11}}, {26, {0xCE}},
                               {33, {0x2B}}, {36, {0x37}}, {39, {0x0C}}, {42, {0x05}}},
       [](const Bytes& b) {
         const ProgramRecord r = DecodeProgramRecord(View(b));
         return Fields(r.name, r.midiProgram, r.velocityToLoudness, r.lfoSpeed, r.modWheelToLfoDepth, r.pitchBendRange,
                       r.keygroupCount);
       }, "PIANO 1     |17|206|43|55|12|5|"},
      {"keygroup", 150, {{3, {0x24, 0x3B, 0x80, 0xFE, 0x4D}}, {11, {0xE2, 81, 82, 83, 84}}, {20, {91, 92, 93, 94}},
                         {58, bass}, {118, {0x21}}, {135, {0x07}}},
       [](const Bytes& b) {
         const KeygroupRecord r = DecodeKeygroupRecord(View(b));
         return Fields(r.lowKey, r.highKey, r.tuneFraction, r.tuneSemitones, r.filterFrequency, r.env2ToFilter,
                       r.env1Attack, r.env1Decay, r.env1Sustain, r.env1Release, r.env2Attack, r.env2Decay,
                       r.env2Sustain, r.env2Release, r.zones[1].sampleName, r.zones[3].lowVelocity, r.zoneFlags[3]);
       }, "36|59|128|-2|77|-30|81|82|83|84|91|92|93|94|BASS        |33|7|"},
      {"velocity zone", 24, {{0, bass}, {12, {0x10, 0x70, 0x40, 0xFF}}, {18, {0xD8, 0x02}}},
       [](const Bytes& b) {
         const VelocityZone z = DecodeVelocityZone(View(b));
         return Fields(z.sampleName, z.lowVelocity, z.highVelocity, z.tuneFraction, z.tuneSemitones, z.pan, z.playbackMode);
       }, "BASS        |16|112|64|-1|-40|2|"},
      {"sample header", 150, {{2, {0x45}}, {19, {0x03, 0x80, 0xFF}}, {26, {0x10, 0x32, 0x54, 0x00, 0x04, 0x03, 0x02, 0x01}},
                              {34, {0x11, 0x22, 0x33, 0x00, 0x21, 0x43, 0x65, 0x00}},
                              {44, {0x0D, 0xF0, 0xAD, 0x0B, 0x34, 0x12}}, {138, {0x44, 0xAC}}},
       [](const Bytes& b) {
         const SampleRecord r = DecodeSampleRecord(View(b));
         return Fields(r.recordedPitch, r.playbackType, r.tuneFine, r.tuneSemitones, r.length, r.playStart, r.playEnd,
                       r.loopPoint, r.loopLength, r.loopTime, r.sampleRate);
       }, "69|3|128|-1|5517840|16909060|3351057|6636321|195948557|4660|44100|"},
      {"volume table entry 2", 2048, {{234, {14, 28, 31, 23, 29, 10, 10, 10, 10, 10, 10, 10, 3, 0, 0x07, 0x01}}},
       [](const Bytes& b) {
         static VolumeEntry volumes[kVolumesPerPartition];
         DecodeVolumeTable(b.data(), volumes);
         return Fields(volumes[2].name, volumes[2].type, volumes[2].startBlock);
       }, "DRUMS       |3|263|"},
  };
  for (const Case& c : cases) {
    Bytes bytes(c.size);
    for (const auto& [at, typed] : c.typed) std::copy(typed.begin(), typed.end(), bytes.begin() + at);
    EXPECT_EQ(c.decode(bytes), c.want) << c.record;
  }
}

// A directory entry: name, type (byte 16), length (17-19), start block
// (20-21) and tag word (22-23).
std::array<uint8_t, 24> Entry(const std::string& name, uint8_t type, uint16_t startBlock, uint16_t tag = 0,
                              uint32_t length = 0) {
  std::array<uint8_t, 24> e{};
  const auto encoded = discbuilder::EncodeAkaiName(name);
  std::copy(encoded.begin(), encoded.end(), e.begin());
  e[16] = type;
  PutU24LE(e.data() + 17, length);
  PutU16LE(e.data() + 20, startBlock);
  PutU16LE(e.data() + 22, tag);
  return e;
}

using DiscTablesTest = testing::DiscTest;

// The walk ends at an unused slot or an unknown type and passes over other
// files; a full block stays inside the block and the lists.
TEST(DirectoryTest, WalkFollowsTheTypeRulesAndStaysInsideTheLists) {
  static DirEntry programs[kMaxPrograms], samples[kMaxSamples];
  const auto walk = [](const std::vector<std::array<uint8_t, 24>>& entries) {
    Bytes block(kBlockBytes);
    for (size_t i = 0; i < entries.size(); ++i) std::copy(entries[i].begin(), entries[i].end(), block.begin() + 24 * i);
    VolumeEntry v{.programs = programs, .samples = samples};
    std::fill_n(programs, kMaxPrograms, DirEntry{});
    std::fill_n(samples, kMaxSamples, DirEntry{});
    DecodeDirectory(block.data(), &v);
    const DirEntry &p = programs[std::max(v.programCount, uint8_t{1}) - 1], &s = samples[std::max(v.sampleCount, uint8_t{1}) - 1];
    return Fields(v.programCount, p.name, p.startBlock, v.sampleCount, s.name, s.length, s.startBlock);
  };
  // The fields from their places (a program's name through every edge of
  // the character table and past it).
  std::array<uint8_t, 24> program{0, 9, 36, 37, 38, 39, 40, 41, 200, 255, 10, 10, 0, 0, 0, 0, 0x70, 0, 0, 0, 0x2C, 0x01};
  EXPECT_EQ(walk({program, Entry("BASS", 0xF3, 12345, 0, 0x021000)}), "1|09Z#+-.___  |300|1|BASS        |135168|12345|");
  struct Case { const char* what; uint8_t type; uint16_t startBlock, tag; bool walkGoesOn; };
  const Case cases[] = {
      {"drum file 'd' is skipped", 0x64, 9, 0, true},  {"'c', 'x', 'q' are skipped", 0x71, 9, 0, true},
      {"0xE4 is not 'd'", 0xE4, 9, 0, false},          {"type 0 with block and tag", 0x00, 5, 7, true},
      {"type 0 without block", 0x00, 0, 7, false},     {"type 0 without tag", 0x00, 5, 0, false},
      {"unknown type", 0x41, 9, 9, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(walk({Entry("FIRST", 0xF3, 3), Entry("ODD", c.type, c.startBlock, c.tag), Entry("AFTER", 0xF3, 4, 0, 0x021000)}),
              c.walkGoesOn ? "0||0|2|AFTER       |135168|4|" : "0||0|1|FIRST       |0|3|")
        << c.what;
  }
  for (int count : {200, 41}) {
    std::vector<std::array<uint8_t, 24>> entries;
    for (int i = 0; i < 341; ++i) entries.push_back(Entry("P" + std::to_string(i), i < count ? 0x70 : 0x73, uint16_t(3 + i)));
    EXPECT_EQ(walk(entries), count == 200 ? "128|P127        |130|141|P340        |0|343|" : "41|P40         |43|255|P295        |0|298|");
  }
}

// The browser lists a volume's programs with their summaries from the
// tables it has: only the program files are read, in one round, and a
// program that can't be read is told apart. A zone whose name is twelve
// spaces, or names a sample not in the volume, is absent; the zones after
// it are still examined, and no more than four (the zero bytes after the
// fourth would name the sample "000000000000").
TEST_F(DiscTablesTest, AVolumesSummariesReadOnlyThePrograms) {
  auto keygroup = Keygroup(36, 47, {"ONE", "", "MISSING", "TWO"});
  keygroup.zones[3].lowVelocity = 64;
  VolumeSpec volume = Volume("V", {Program("A", {keygroup})}, {Sample("ONE"), Sample("TWO"), Sample("000000000000")});
  volume.extraEntries = {Entry("B", 0x70, 2)};  // in the header: can't be read
  UseVolumes({volume}, true);
  disc_.ReadDirectories({{0, 0}});  // as the browser has it when the volume is selected
  source_->commands.clear();
  ProgramSummary summaries[3] = {};
  bool readable[3] = {};
  SummarizeVolumePrograms(disc_, 0, 0, summaries, readable, 3);
  EXPECT_EQ(source_->commands.size(), 1u);  // A's block
  EXPECT_TRUE(readable[0]);
  std::string zones;
  for (const ZoneSlot& z : summaries[0].keygroups[0].zones) zones += Fields(z.present, z.zoneNumber, z.lowVelocity);
  EXPECT_EQ(zones, "1|0|0|0|0|0|0|0|0|1|3|64|");
  EXPECT_EQ(Fields(summaries[0].lowestKey, summaries[0].keygroups[0].present, summaries[0].keygroups[1].present), "36|1|0|");
  EXPECT_FALSE(readable[1]);
  EXPECT_EQ(Fields(summaries[1].keygroupCount, summaries[1].lowestKey), "0|127|");
}

// A program's chain ends at a FAT entry that loops or points outside the
// file blocks, without reading past the buffer; a first block that isn't
// there (in the header, past the partition, past the end of the image) must
// not read as an empty program.
TEST_F(DiscTablesTest, ProgramChainsEndSafelyAndAMissingFirstBlockIsUnreadable) {
  const auto disc = UseVolumes({Volume("V", {Program("BIG", std::vector(128, Keygroup(1, 2)))})});
  const auto chain = disc.FindFile("BIG")->blocks;
  ASSERT_EQ(chain.size(), 3u);  // 129 × 150 bytes
  const uint16_t first = chain[0], size = disc.partitionSize;
  const uint64_t whole = disc.image.size();
  // next: what the FAT holds after the first block (0xFFFF: as built).
  struct Case { const char* what; uint16_t startBlock, next; uint64_t imageBytes; uint32_t keygroups; };
  const Case cases[] = {
      {"whole", first, 0xFFFF, whole, 128},          {"loops back to itself", first, first, whole, 53},
      {"past the FAT", first, 8315, whole, 53},      {"past the partition", first, size, whole, 53},
      {"into the header", first, 0, whole, 53},      {"end mark", first, 0xC000, whole, 53},
      {"starts in the header", 2, 0xFFFF, whole, 0}, {"starts past the partition", size, 0xFFFF, whole, 0},
      {"starts past the image", first, 0xFFFF, disc.BlockOffset(0, first), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes image = disc.image;
    image.resize(c.imageBytes);
    if (c.next != 0xFFFF) PutU16LE(image.data() + kFatOffset + 2 * first, c.next);
    Use(image);
    ASSERT_TRUE(disc_.Open());
    ProgramFile file;
    file.entry.startBlock = c.startBlock;
    ReadProgramFiles(disc_, {&file});
    EXPECT_EQ(file.readable, c.keygroups > 0);
    EXPECT_LE(file.buffer->bytesRead, kProgramBufferBytes);
    EXPECT_EQ(ProgramKeygroupCount(*file.buffer, 150), c.keygroups);
  }
}

// A partition count past the image's end and an image cut inside a
// sample's header: the listing shows what is there and nothing more.
TEST_F(DiscTablesTest, DamagedDiscsListWhatIsThere) {
  const auto disc = UseVolumes({Volume("V", {Program("P", {Keygroup(40, 50, {"EARLY"}), Keygroup(51, 60, {"LATE"})})},
                                        {Sample("EARLY", 10), Sample("LATE", 30000)})});
  Bytes image = disc.image;
  image.resize(disc.BlockOffset(0, disc.FindFile("LATE")->blocks[0]) + 100);  // cut inside LATE's header
  image[8 * 2048 + 1280] = 255;  // a partition count of 255 on an image that holds one
  Use(image);
  const DiscListing listing = ListDisc();
  ASSERT_EQ(listing.partitions.size(), 255u);
  for (size_t p = 1; p < listing.partitions.size(); ++p) EXPECT_TRUE(listing.partitions[p].volumes.empty());
  EXPECT_EQ(std::tuple(listing.unread.size(), listing.unread.at(0), listing.unread.at(1)),
            std::tuple(255u, "sample A/V/LATE", "partition B"));  // the unread sample, each partition past A
  const ListedVolume& v = listing.partitions[0].volumes.at(0);
  EXPECT_EQ(v.programs.at(0).keygroups, 2u);
  EXPECT_EQ(v.samples.at(0).lengthWords, 10u);
  EXPECT_EQ(v.samples.at(1).lengthWords, 0u);  // its header is gone
  EXPECT_TRUE(recorder_.messages.empty());
}

}  // namespace
}  // namespace corvix
