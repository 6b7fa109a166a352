// Bad input and faults, job by job. Whatever goes wrong, a job ends (no
// crash, no hang), says what happened, and leaves exactly the files it had
// completed before, whole, beside the user's own files; damage on the disc
// is converted with what is there and named to the user.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "common/byte_order.h"
#include "common/pending_error.h"
#include "jobs/conversion_list.h"
#include "jobs/convert_job.h"
#include "records/job_notes.h"
#include "riff/file_system.h"
#include "support/export_fixture.h"
#include "support/instrument_fakes.h"
#include "ui_logic/job_commands.h"

namespace corvix {
namespace {

namespace fs = std::filesystem;
using discbuilder::DiscSpec;
using discbuilder::KeygroupSpec;
using discbuilder::SampleSpec;
using discbuilder::VolumeSpec;
using testing::ExportTest;
using testing::Keygroup;
using testing::Program;
using testing::ReadBytes;
using testing::Sample;

// The jobs and the mode each conversion runs in.
enum class Job { kImport = -1, kCombine = kCombineMode, kConvert, kSoundFont, kSoundFontBank, kSfz };
constexpr Job kJobs[] = {Job::kImport, Job::kConvert, Job::kCombine, Job::kSoundFont, Job::kSoundFontBank, Job::kSfz};
const char* JobName(Job job) {
  constexpr const char* kNames[] = {"import", "combine", "convert", "sf2", "sf2 --bank", "sfz"};
  return kNames[static_cast<int>(job) + 1];
}
// Jobs whose WAV files are the user's: they stay, as far as they stand whole.
bool KeepsWaves(Job job) { return job == Job::kImport || job == Job::kSfz; }

// Relative path (with '/') → bytes of every file below a folder.
using Files = std::map<std::string, std::vector<uint8_t>>;

// Pumps like ScriptedProgress and removes a folder in the pump-th pump.
struct VanishingProgress : testing::ScriptedProgress {
  std::string folder;
  int vanishAtPump = 0;
  void PumpMessages() override {
    ScriptedProgress::PumpMessages();
    if (record.pumps == vanishAtPump) fs::remove_all(folder);
  }
};

class FaultCatalogueTest : public ExportTest {
 protected:
  void SetUp() override {
    ExportTest::SetUp();
    SetHostLink(&host_);
    target_ = dir_ / "target";
  }
  void TearDown() override {
    FreeConversionList(list_);
    SetHostLink(nullptr);
    ResetJobNotes();
    ExportTest::TearDown();
  }

  // Volume "V": ONE uses the pair "A L"/"A R" and three-block "B"; TWO uses
  // two-block "C" and "B" again. The last sample of each job is multi-block.
  void UseTwoPrograms() {
    VolumeSpec v;
    v.name = "V";
    v.programs = {Program("ONE", {Keygroup(36, 60, {"A L", "A R"}), Keygroup(61, 72, {"B"})}),
                  Program("TWO", {Keygroup(36, 60, {"B"}), Keygroup(61, 72, {"C"})})};
    v.samples = {Sample("A L"), Sample("A R"), Sample("B", 9000), Sample("C", 5000)};
    DiscSpec discSpec;
    discSpec.partitions.resize(1);
    discSpec.partitions[0].volumes = {v};
    UseDisc(discSpec);
    ASSERT_TRUE(ReadPartitionInfo());
    programs_ = 2;
  }

  // A fresh target folder holding only the user's own file; faults off.
  void Reset() {
    fs::remove_all(target_);
    fs::create_directory(target_);
    testing::WriteBytes(target_ + "/MINE.txt", mine_);
    files_ = {};
    progress_.record = {};
    progress_.cancelAtPump = 0;
    host_.paths.clear();
    recorder_.messages.clear();
    ClearPendingError();
  }

  // Runs the job on every program of volume 0 as its command does.
  int Run(Job job) {
    if (job == Job::kImport) {
      EXPECT_TRUE(SetChosenFolder(target_));
      std::vector<BrowserItem> items;
      for (int p = 0; p < programs_; ++p)
        items.push_back(MakeBrowserItem(kKindProgram, 0, 0, static_cast<uint8_t>(p)));
      std::vector<const BrowserItem*> rows;
      for (const BrowserItem& item : items) rows.push_back(&item);
      return ImportWavesForRecords(rows);
    }
    EXPECT_TRUE(SetWaveFolder(target_));
    ImportWavesMode = 0;
    FreeConversionList(list_);
    for (int p = 0; p < programs_; ++p) {
      auto item = MakeConversionItem(0, 0, static_cast<uint16_t>(p), nullptr);
      EXPECT_TRUE(item) << PendingError.text;
      AppendConversionItem(list_, std::move(item));
    }
    return ConvertPrograms(list_.get(), static_cast<int>(job));
  }

  Files Snapshot() const {
    Files out;
    if (!fs::is_directory(target_)) return out;
    for (const auto& entry : fs::recursive_directory_iterator(target_)) {
      if (entry.is_regular_file())
        out[fs::relative(entry.path(), target_).generic_string()] = ReadBytes(entry.path().string());
    }
    return out;
  }

  // After a failed run: the user's file and files that stand whole. An
  // import keeps every WAV file it completed (byte for byte as in a clean
  // run, or, for a pair whose merge did not come, the mono file as a run
  // without merging writes it); so does an SFZ job, with the .sfz files it
  // reported; the other conversions keep only the instrument files they
  // reported, and no WAV file.
  void ExpectOnlyCompletedFiles(Job job, const Files& full, const Files& mono) {
    const Files left = Snapshot();
    std::set<std::string> names;
    for (const auto& [path, bytes] : left) names.insert(path);
    EXPECT_EQ(left.count("MINE.txt"), 1u);
    std::set<std::string> reported = {"MINE.txt"};
    for (const ConvertedFile& file : ConversionReport.files)
      reported.insert(fs::relative(file.path, target_).generic_string());
    if (job != Job::kImport) {
      for (const std::string& name : names) {
        const bool wave = name.find(".wav") != std::string::npos;
        if (!KeepsWaves(job) || !wave) {
          EXPECT_EQ(reported.count(name), 1u) << name;
        }
      }
    }
    for (const auto& [path, bytes] : left) {
      SCOPED_TRACE(path);
      if (path == "MINE.txt") {
        EXPECT_EQ(bytes, mine_);
      } else if (KeepsWaves(job)) {
        const bool whole = (full.count(path) != 0 && bytes == full.at(path)) ||
                           (mono.count(path) != 0 && bytes == mono.at(path));
        EXPECT_TRUE(whole) << "a file that does not stand whole";
      } else {
        testing::Chunk root;
        EXPECT_EQ(testing::WalkRiff(bytes, &root), "");
        EXPECT_EQ(bytes.size(), full.count(path) ? full.at(path).size() : bytes.size());
      }
    }
  }

  // What a clean run of the job leaves, and for an import what one without
  // merging leaves.
  void CleanRuns(Job job, Files* full, Files* mono) {
    Reset();
    ASSERT_EQ(Run(job), 1) << PendingError.text;
    *full = Snapshot();
    if (!KeepsWaves(job)) return;
    Reset();
    MergeStereoPairs = 0;
    ASSERT_EQ(Run(job), 1) << PendingError.text;
    MergeStereoPairs = 1;
    *mono = Snapshot();
  }

  // An import shows its failure itself; a conversion's command does.
  void ExpectShown(Job job) {
    if (job != Job::kImport) return;
    ASSERT_FALSE(recorder_.messages.empty());
    EXPECT_EQ(recorder_.messages.back().text, PendingError.text);
    EXPECT_EQ(recorder_.messages.back().style, kMbOk | PendingError.style);
  }

  std::string target_;
  int programs_ = 0;
  const std::vector<uint8_t> mine_ = {'m', 'i', 'n', 'e'};
  testing::RecordingHostLink host_;
  std::unique_ptr<ConversionItem> list_;
};

// Every write of every job comes back short once (half of it written).
TEST_F(FaultCatalogueTest, AFullDiskAtAnyWriteOfAnyJob) {
  UseTwoPrograms();
  for (Job job : kJobs) {
    SCOPED_TRACE(JobName(job));
    Files full, mono;
    CleanRuns(job, &full, &mono);
    Reset();
    ASSERT_EQ(Run(job), 1) << PendingError.text;
    const std::vector<size_t> writes = files_.writes;
    std::set<int64_t> budgets;
    int64_t before = 0;
    for (size_t bytes : writes) {
      if (bytes > 0) budgets.insert(before + static_cast<int64_t>(bytes) / 2);
      before += static_cast<int64_t>(bytes);
    }
    for (int64_t budget : budgets) {
      SCOPED_TRACE(::testing::Message() << "disk full after " << budget << " bytes");
      Reset();
      files_.writeBudget = budget;
      EXPECT_EQ(Run(job), 0);
      EXPECT_STREQ(PendingError.text, "Can't write to file (disk full?)");
      EXPECT_EQ(PendingError.style, kStyleError);
      ExpectShown(job);
      ExpectOnlyCompletedFiles(job, full, mono);
    }
  }
}

// Cancel in every pump: before every block of every sample, before every
// wave of the pool. Every pump is followed by a look at Cancel.
TEST_F(FaultCatalogueTest, CancelAtEveryBlockBoundary) {
  UseTwoPrograms();
  for (Job job : kJobs) {
    SCOPED_TRACE(JobName(job));
    Files full, mono;
    CleanRuns(job, &full, &mono);
    Reset();
    ASSERT_EQ(Run(job), 1) << PendingError.text;
    const int pumps = progress_.record.pumps;
    ASSERT_GT(pumps, 4);
    for (int k = 1; k <= pumps; ++k) {
      SCOPED_TRACE(::testing::Message() << "Cancel in pump " << k << " of " << pumps);
      Reset();
      progress_.cancelAtPump = k;
      EXPECT_EQ(Run(job), 0);
      EXPECT_STREQ(PendingError.text, "Conversion cancelled by user");
      EXPECT_EQ(PendingError.style, kStyleWarning);
      EXPECT_EQ(progress_.record.destroyed, static_cast<int>(progress_.record.dialogs.size()));
      ExpectShown(job);
      ExpectOnlyCompletedFiles(job, full, mono);
    }
  }
}

TEST_F(FaultCatalogueTest, ATargetFolderThatIsReadOnly) {
  UseTwoPrograms();
  for (Job job : kJobs) {
    SCOPED_TRACE(JobName(job));
    Reset();
    // What the platform refuses in a folder without write access.
    files_.failOpenContaining = target_;
    files_.failMakeFolder = true;
    files_.failTempFile = true;
    EXPECT_EQ(Run(job), 0);
    EXPECT_STREQ(PendingError.text, KeepsWaves(job) ? "Can't create directory" : "Can't create file");
    ExpectShown(job);
    EXPECT_EQ(Snapshot(), (Files{{"MINE.txt", mine_}}));
  }
}

// The folder is removed (by the user, another program) in every pump. No
// job may report success for files that are gone, nor make the folder anew.
TEST_F(FaultCatalogueTest, ATargetFolderThatVanishesMidJob) {
  UseTwoPrograms();
  const std::vector<std::string> expected = {"The target folder was removed while the job was running",
                                             "Can't create file", "Can't create directory",
                                             "Can't move temp file", "Can't open file  "};
  VanishingProgress vanishing;
  vanishing.folder = target_;
  SetProgressUi(&vanishing);
  for (Job job : kJobs) {
    SCOPED_TRACE(JobName(job));
    Reset();
    vanishing.record = {};
    vanishing.vanishAtPump = 0;
    ASSERT_EQ(Run(job), 1) << PendingError.text;
    const int pumps = vanishing.record.pumps;
    for (int k = 1; k <= pumps; ++k) {
      SCOPED_TRACE(::testing::Message() << "gone in pump " << k);
      Reset();
      vanishing.record = {};
      vanishing.vanishAtPump = k;
      EXPECT_EQ(Run(job), 0);
      const std::string message = PendingError.text;
      EXPECT_TRUE(std::any_of(expected.begin(), expected.end(),
                              [&](const std::string& e) { return message.rfind(e, 0) == 0; }))
          << message;
      EXPECT_EQ(PendingError.style, kStyleError);
      ExpectShown(job);
      EXPECT_FALSE(fs::exists(target_));
    }
  }
  SetProgressUi(&progress_);
}

// A damaged or odd sample is written with what the disc gives, the job
// succeeds, and the user is told once, at the end, what is wrong with it.
TEST_F(FaultCatalogueTest, DamagedSamplesAreConvertedWithWhatIsThereAndNamed) {
  const std::string cutShort = "\"S\": the sample ends early on the disc; the file holds the part that is there";
  struct Case {
    const char* what;
    std::function<void(SampleSpec&, KeygroupSpec&)> describe;
    // Changes the built image; blocks: the chain of sample S.
    std::function<void(std::vector<uint8_t>&, const discbuilder::BuiltDisc&, const std::vector<uint16_t>&)> damage;
    uint32_t words;  // in the WAV file of S
    std::vector<std::string> notes;
  };
  auto none = [](auto&...) {};
  auto fat = [](std::vector<uint8_t>& image, uint16_t block, uint16_t next) {
    PutU16LE(image.data() + kFatOffset + 2u * block, next);
  };
  const std::vector<Case> cases = {
      {"the image ends inside the sound", none,
       [](auto& image, auto& disc, auto& blocks) { image.resize(disc.BlockOffset(0, blocks[1])); }, 9000,
       {"\"S\": part of the sample could not be read from the disc and is silent in the file"}},
      {"the image ends inside the header", none,
       [](auto& image, auto& disc, auto& blocks) { image.resize(disc.BlockOffset(0, blocks[0]) + 100); }, 0,
       {"\"S\": the sample could not be read from the disc; its file is empty"}},
      {"the chain ends after the first block", none,
       [&](auto& image, auto&, auto& blocks) { fat(image, blocks[0], kChainEnd); }, 4021, {cutShort}},
      {"the chain loops back to its start", none,
       [&](auto& image, auto&, auto& blocks) { fat(image, blocks[1], blocks[0]); }, 4021 + 4096, {cutShort}},
      {"a length far beyond the chain", [](SampleSpec& s, KeygroupSpec&) { s.length = 0xFFFFFFFF; }, none,
       (3 * 8192 - 150) / 2, {cutShort}},
      {"a sampling rate of 0", [](SampleSpec& s, KeygroupSpec&) { s.sampleRate = 0; }, none, 9000,
       {"\"S\": the sample has no sampling rate; it was written as 44100 Hz"}},
      {"a sampling rate of 1 Hz", [](SampleSpec& s, KeygroupSpec&) { s.sampleRate = 1; }, none, 9000, {}},
      {"loop points far outside the sample",
       [](SampleSpec& s, KeygroupSpec&) {
         s.loopPoint = 50000;
         s.loopLength = 100000;
         s.loopTime = 1;
       },
       none, 9000, {}},
      {"a zone names a sample that is not in the volume",
       [](SampleSpec&, KeygroupSpec& k) { k.zones[1].sample = "NOWHERE"; }, none, 9000,
       {"P: keygroup 1, zone 2 (\"NOWHERE\"): the sample is not in the volume"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SampleSpec s = Sample("S", 9000);
    KeygroupSpec k = Keygroup(36, 60, {"S"});
    c.describe(s, k);
    VolumeSpec v;
    v.name = "V";
    v.programs = {Program("P", {k})};
    v.samples = {s};  // the last file of the image
    DiscSpec discSpec;
    discSpec.partitions.resize(1);
    discSpec.partitions[0].volumes = {v};
    const discbuilder::BuiltDisc disc = UseDisc(discSpec);
    c.damage(source_->image(), disc, disc.FindFile("S")->blocks);
    ASSERT_TRUE(ReadPartitionInfo());
    programs_ = 1;
    for (Job job : {Job::kImport, Job::kConvert}) {
      SCOPED_TRACE(JobName(job));
      Reset();
      ASSERT_EQ(Run(job), 1) << PendingError.text;
      EXPECT_EQ(JobNotes.lines, c.notes);
      std::string shown = "Not everything could be converted:";
      for (const std::string& line : c.notes) shown += "\n  " + line;
      if (c.notes.empty()) {
        EXPECT_TRUE(recorder_.messages.empty());
      } else {
        ASSERT_EQ(recorder_.messages.size(), 1u);
        EXPECT_EQ(recorder_.messages[0].text, shown);
      }
      if (job == Job::kImport) {
        const auto info = testing::ReadWithSndfile(target_ + "/P/S.wav");
        ASSERT_TRUE(info.opened);
        EXPECT_EQ(info.frames, c.words);
        EXPECT_EQ(info.sampleRate, s.sampleRate == 0 ? 44100 : s.sampleRate);
        if (info.loopCount > 0) {
          EXPECT_LE(info.loopEnd, c.words);
        }
      } else {
        EXPECT_EQ(Snapshot().size(), 2u);  // the user's file and P.tes
      }
    }
  }
}

// 1025 distinct samples: five volumes of 205, one program each naming all.
TEST_F(FaultCatalogueTest, MoreThan1024SamplesAreNotCombined) {
  DiscSpec discSpec;
  discSpec.partitions.resize(1);
  for (int v = 0; v < 5; ++v) {
    VolumeSpec volume;
    volume.name = "V" + std::to_string(v);
    std::vector<KeygroupSpec> keygroups;
    for (int s = 0; s < 205; ++s) {
      const std::string name = "V" + std::to_string(v) + " S" + std::to_string(s);
      volume.samples.push_back(Sample(name, 1));
      if (s % 4 == 0) keygroups.push_back(Keygroup(36, 60));
      keygroups.back().zones[s % 4].sample = name;
    }
    volume.programs = {Program("P" + std::to_string(v), keygroups)};
    discSpec.partitions[0].volumes.push_back(volume);
  }
  UseDisc(discSpec);
  ASSERT_TRUE(ReadPartitionInfo());
  Reset();
  ASSERT_TRUE(SetWaveFolder(target_));
  for (uint16_t v = 0; v < 5; ++v) AppendConversionItem(list_, MakeConversionItem(0, v, 0, nullptr));
  EXPECT_EQ(ConvertPrograms(list_.get(), kCombineMode), 0);
  EXPECT_STREQ(PendingError.text, "Too many samples for one job (1024 at most)");
  EXPECT_EQ(PendingError.style, kStyleError);
  EXPECT_EQ(Snapshot(), (Files{{"MINE.txt", mine_}}));
  EXPECT_TRUE(host_.paths.empty());
}

}  // namespace
}  // namespace corvix
