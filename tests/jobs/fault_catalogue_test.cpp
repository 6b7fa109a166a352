// Bad input and faults, job by job. Whatever goes wrong, a job ends (no
// crash, no hang), says what happened, and leaves exactly the files it had
// completed before, whole, beside the user's own files; damage on the disc
// is converted with what is there and named to the user.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>

#include "common/byte_order.h"
#include "common/pending_error.h"
#include "jobs/conversion_list.h"
#include "jobs/convert_job.h"
#include "jobs/import_job.h"
#include "jobs/output_formats.h"
#include "records/job_notes.h"
#include "support/export_fixture.h"
#include "support/made_up_format.h"
#include "ui_logic/job_commands.h"

namespace corvix {
namespace {

namespace fs = std::filesystem;
using discbuilder::KeygroupSpec;
using discbuilder::SampleSpec;
using testing::Keygroup;
using testing::Program;
using testing::Sample;

// The jobs: "Import Waves", each format of the table on its own, and every
// format `export` knows from one read.
struct Job {
  std::string name;
  std::vector<const OutputFormat*> formats;  // none: the import
  bool operator==(const Job& other) const { return name == other.name; }
};
std::vector<Job> Jobs() {
  std::vector<Job> jobs{{"import", {}}};
  Job all{"export", {}};
  for (const OutputFormat& format : OutputFormats()) {
    jobs.push_back({format.name, {&format}});
    if (format.word != nullptr) all.formats.push_back(&format);
  }
  jobs.push_back(all);
  return jobs;
}
const Job kImport{"import", {}};
Job Named(const char* name) { return {name, {FindFormat(name)}}; }
// Jobs whose WAV files are the user's: they stay, as far as they stand whole.
bool KeepsWaves(const Job& job) {
  return job.formats.empty() ||
         std::any_of(job.formats.begin(), job.formats.end(), [](const OutputFormat* f) { return f->policy.ownFolder; });
}

using testing::Files;

// The messages a job may end with when its folder has gone.
bool SaysTheFolderIsGone(const std::string& message) {
  for (const char* start : {"The target folder was removed while the job was running", "Can't create file",
                            "Can't create directory", "Can't move temp file", "Can't open file  "})
    if (message.rfind(start, 0) == 0) return true;
  return false;
}

class FaultCatalogueTest : public testing::ExportTest {
 protected:
  // ONE uses the pair "A L"/"A R" and three-block "B"; TWO uses two-block
  // "C" and "B" again. The last sample of each job is multi-block.
  void UseTwoPrograms() {
    UseVolumes({testing::Volume("V",
                                {Program("ONE", {Keygroup(36, 60, {"A L", "A R"}), Keygroup(61, 72, {"B"})}),
                                 Program("TWO", {Keygroup(36, 60, {"B"}), Keygroup(61, 72, {"C"})})},
                                {Sample("A L"), Sample("A R"), Sample("B", 9000), Sample("C", 5000)})});
    programs_ = {{0, 0, 0}, {0, 0, 1}};
  }

  // A fresh target folder holding only the user's own file; faults off.
  void Reset() {
    fs::remove_all(target_);
    fs::create_directory(target_);
    testing::WriteBytes(target_ + "/MINE.txt", mine_);
    files_ = {};
    progress_.record = {};
    progress_.cancelAtPump = 0;
    progress_.onPump = nullptr;
    host_.paths.clear();
    recorder_.messages.clear();
    ClearPendingError();
  }

  // Runs the job on the programs as its command does.
  int Run(const Job& job) {
    if (job.formats.empty()) {
      EXPECT_TRUE(SetChosenFolder(target_));
      std::vector<BrowserItem> items;
      for (const ProgramRef& p : programs_)
        items.push_back(MakeBrowserItem(kKindProgram, static_cast<uint8_t>(p.partition), static_cast<uint8_t>(p.volume),
                                        static_cast<uint8_t>(p.programIndex)));
      std::vector<const BrowserItem*> rows;
      for (const BrowserItem& item : items) rows.push_back(&item);
      return ImportWavesForRecords(rows);
    }
    EXPECT_TRUE(SetWaveFolder(target_));
    FreeConversionList(list_);
    for (const ProgramRef& p : programs_) AppendConversionItem(list_, MakeProgramItem(p.partition, p.volume, p.programIndex));
    return ConvertPrograms(list_.get(), job.formats, JobTarget(target_));
  }

  Files Snapshot() const { return fs::is_directory(target_) ? testing::FilesBelow(target_) : Files{}; }

  // Runs every job clean, then once per write (perWrite) or pump of that
  // run with `arm` setting the fault for it, in a fresh folder and in one
  // holding the clean run's files; each such run fails and is shown. With
  // a message, it is that one, and only whole files are left: a job keeps
  // the files it completed, as in the clean run (an import and an SFZ job
  // its WAV files too, a conversion no WAV file), and the files of the
  // earlier run all stand, each whole. No temporary is left. Without a
  // message, the folder has gone and stays gone.
  // With only, that job alone.
  void Sweep(bool perWrite, const std::function<void(int64_t)>& arm, const char* message, uint32_t style,
             const std::string& only = "") {
    UseTwoPrograms();
    for (const Job& job : Jobs()) {
      if (!only.empty() && job.name != only) continue;
      SCOPED_TRACE(job.name);
      Reset();
      ASSERT_EQ(Run(job), 1) << PendingError.text;
      const Files full = Snapshot();
      EXPECT_EQ(full.count("TWO/B.wav"), KeepsWaves(job) ? 1u : 0u);  // ONE's sample again, in TWO's folder
      std::vector<int64_t> all;  // for a write: the bytes written before it and half of it
      int64_t before = 0;
      for (size_t bytes : files_.writes) {
        if (perWrite && bytes > 0) all.push_back(before + static_cast<int64_t>(bytes) / 2);
        before += static_cast<int64_t>(bytes);
      }
      for (int k = 1; !perWrite && k <= progress_.record.pumps; ++k) all.push_back(k);
      ASSERT_GT(all.size(), 4u);
      // Each format's steps are all taken on its own; of them all at once,
      // every fourth (and the last).
      const size_t stride = job.formats.size() > 1 ? 4 : 1;
      std::vector<int64_t> steps;
      for (size_t at = 0; at < all.size(); ++at)
        if (at % stride == 0 || at + 1 == all.size()) steps.push_back(all[at]);
      for (int64_t step : steps) {
        for (bool earlier : {false, true}) {
          SCOPED_TRACE(::testing::Message() << "step " << step << (earlier ? " over an earlier run" : ""));
          Reset();
          testing::WriteFilesBelow(target_, earlier ? full : Files{});
          arm(step);
          EXPECT_EQ(Run(job), 0);
          EXPECT_EQ(PendingError.style, style);
          EXPECT_EQ(progress_.record.destroyed, static_cast<int>(progress_.record.dialogs.size()));
          ExpectShown(job);
          if (message == nullptr) {
            EXPECT_TRUE(SaysTheFolderIsGone(PendingError.text)) << PendingError.text;
            EXPECT_FALSE(fs::exists(target_));
            continue;
          }
          EXPECT_STREQ(PendingError.text, message);
          std::set<std::string> reported = {"MINE.txt"};
          for (const ConvertedFile& file : ConversionReport.files)
            reported.insert(fs::relative(file.path, target_).generic_string());
          const Files now = Snapshot();
          for (const auto& [path, bytes] : full) EXPECT_TRUE(!earlier || now.count(path)) << path << " is gone";
          for (const auto& [path, bytes] : now) {
            SCOPED_TRACE(path);
            const bool wave = path.find(".wav") != std::string::npos;
            EXPECT_TRUE(earlier || job == kImport || (KeepsWaves(job) && wave) || reported.count(path))
                << "not reported";
            ASSERT_TRUE(full.count(path)) << "not a file of the clean run";
            testing::Chunk root;
            // Instrument files carry identifiers of their own; the rest must be as written.
            const bool instrument = path.find(".tes") != std::string::npos || path.find(".sf2") != std::string::npos;
            if ((KeepsWaves(job) && !instrument) || path == "MINE.txt") {
              EXPECT_TRUE(bytes == full.at(path)) << "a file that does not stand whole";
            } else {
              EXPECT_EQ(testing::WalkRiff(bytes, &root), "");
              EXPECT_EQ(bytes.size(), full.at(path).size());
            }
          }
        }
      }
    }
  }

  // An import shows its failure itself; a conversion's command does.
  void ExpectShown(const Job& job) {
    if (job != kImport) return;
    ASSERT_FALSE(recorder_.messages.empty());
    EXPECT_EQ(recorder_.messages.back().text, PendingError.text);
    EXPECT_EQ(recorder_.messages.back().style, kMbOk | PendingError.style);
  }

  std::string target_ = dir_ / "target";
  std::vector<ProgramRef> programs_;
  const std::vector<uint8_t> mine_ = {'m', 'i', 'n', 'e'};
};

// Every write of every job comes back short once (half of it written); a
// test of each job, as each sweeps many runs.
class FullDiskTest : public FaultCatalogueTest, public ::testing::WithParamInterface<std::string> {};
TEST_P(FullDiskTest, AtAnyWriteOfTheJob) {
  Sweep(true, [this](int64_t budget) { files_.writeBudget = budget; }, "Can't write to file (disk full?)", kStyleError,
        GetParam());
}
std::vector<std::string> JobNames() {
  testing::AddMadeUpFormat();  // before the jobs are counted, whatever the order of start-up
  std::vector<std::string> names;
  for (const Job& job : Jobs()) names.push_back(job.name);
  return names;
}
INSTANTIATE_TEST_SUITE_P(EveryJob, FullDiskTest, ::testing::ValuesIn(JobNames()), [](const auto& info) {
  std::string name = info.param;
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
});

// Cancel in every pump: before every block of every sample, before every
// wave of the pool. Every pump is followed by a look at Cancel.
TEST_F(FaultCatalogueTest, CancelAtEveryBlockBoundary) {
  Sweep(false, [this](int64_t k) { progress_.cancelAtPump = static_cast<int>(k); }, "Conversion cancelled by user",
        kStyleWarning);
}

// The folder is removed (by the user, another program) in every pump. No
// job may report success for files that are gone, nor make the folder anew.
TEST_F(FaultCatalogueTest, ATargetFolderThatVanishesMidJob) {
  const auto vanish = [this](int64_t k) {
    progress_.onPump = [this, k] {
      if (progress_.record.pumps == k) fs::remove_all(target_);
    };
  };
  Sweep(false, vanish, nullptr, kStyleError);
}

TEST_F(FaultCatalogueTest, ATargetFolderThatIsReadOnly) {
  UseTwoPrograms();
  for (const Job& job : Jobs()) {
    SCOPED_TRACE(job.name);
    Reset();
    // What the platform refuses in a folder without write access; every
    // job stops at its work folder, before anything is written.
    files_.failOpenContaining = target_;
    files_.failMakeFolder = files_.failTempFile = true;
    EXPECT_EQ(Run(job), 0);
    EXPECT_STREQ(PendingError.text, "Can't create directory");
    // The command line names the folder beside the window's text.
    EXPECT_EQ(PendingErrorDetail.path, target_);
    ExpectShown(job);
    EXPECT_EQ(Snapshot(), (Files{{"MINE.txt", mine_}}));
  }
}

// Files that the user, or another run, puts in the folder while a job runs,
// under the names the job's own files would have had (the halves of a
// pair, a conversion's WAV files), are neither truncated nor deleted.
TEST_F(FaultCatalogueTest, FilesThatAppearMidJobAreLeftAlone) {
  UseTwoPrograms();
  Files theirs;
  for (const char* name : {"A L.wav", "A R.wav", "A LR.wav", "B.wav", "C.wav", "ONE/A L.wav", "ONE/A R.wav", "TWO/A L.wav"})
    theirs[name] = mine_;
  for (const Job& job : Jobs()) {
    SCOPED_TRACE(job.name);
    Reset();
    progress_.onPump = [&] { if (progress_.record.pumps == 1) testing::WriteFilesBelow(target_, theirs); };
    ASSERT_EQ(Run(job), 1) << PendingError.text;
    const Files now = Snapshot();
    for (const auto& [name, bytes] : theirs) EXPECT_TRUE(now.count(name) && now.at(name) == bytes) << name;
  }
}

// A damaged or odd sample is written with what the disc gives, the job
// succeeds, and the user is told once, at the end, what is wrong with it.
TEST_F(FaultCatalogueTest, DamagedSamplesAreConvertedWithWhatIsThereAndNamed) {
  const std::string cutShort = "\"S\": the sample ends early on the disc; the file holds the part that is there";
  using Image = std::vector<uint8_t>;
  using Blocks = std::vector<uint16_t>;
  struct Case {
    const char* what;
    std::function<void(SampleSpec&, KeygroupSpec&)> describe;
    // Changes the built image; blocks: the chain of sample S.
    std::function<void(Image&, const discbuilder::BuiltDisc&, const Blocks&)> damage;
    uint32_t words;  // in the WAV file of S
    std::vector<std::string> notes;
  };
  const auto none = [](auto&...) {};
  const auto fat = [](Image& image, uint16_t block, uint16_t next) { PutU16LE(image.data() + kFatOffset + 2u * block, next); };
  const std::vector<Case> cases = {
      {"the image ends inside the sound", none,
       [](Image& image, auto& disc, const Blocks& blocks) { image.resize(disc.BlockOffset(0, blocks[1])); }, 4021,
       {cutShort}},
      {"a length far beyond a chain that runs on past the end of the image",
       [](SampleSpec& s, KeygroupSpec&) { s.length = 0xFFFFFFFF; },
       [&](Image& image, auto& disc, const Blocks& blocks) {
         for (uint16_t b = blocks.back(); b < blocks.back() + 40; ++b) fat(image, b, static_cast<uint16_t>(b + 1));
         image.resize(disc.BlockOffset(0, blocks.back() + 1));
       },
       (3 * 8192 - 150) / 2, {cutShort}},
      {"the image ends inside the header", none,
       [](Image& image, auto& disc, const Blocks& blocks) { image.resize(disc.BlockOffset(0, blocks[0]) + 100); }, 0,
       {"\"S\": the sample could not be read from the disc; its file is empty"}},
      {"the chain ends after the first block", none,
       [&](Image& image, auto&, const Blocks& blocks) { fat(image, blocks[0], kChainEnd); }, 4021, {cutShort}},
      {"the chain loops back to its start", none,
       [&](Image& image, auto&, const Blocks& blocks) { fat(image, blocks[1], blocks[0]); }, 4021 + 4096, {cutShort}},
      {"a length far beyond the chain", [](SampleSpec& s, KeygroupSpec&) { s.length = 0xFFFFFFFF; }, none,
       (3 * 8192 - 150) / 2, {cutShort}},
      {"a sampling rate of 0", [](SampleSpec& s, KeygroupSpec&) { s.sampleRate = 0; }, none, 9000,
       {"\"S\": the sample has no sampling rate; it was written as 44100 Hz"}},
      {"a sampling rate of 1 Hz, loop points far outside the sample",
       [](SampleSpec& s, KeygroupSpec&) { s.sampleRate = 1, s.loopPoint = 50000, s.loopLength = 100000, s.loopTime = 1; },
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
    const discbuilder::BuiltDisc disc = UseVolumes({testing::Volume("V", {Program("P", {k})}, {s})});
    c.damage(source_->image(), disc, disc.FindFile("S")->blocks);  // S: the last file of the image
    programs_ = {{0, 0, 0}};
    for (const Job& job : {kImport, Named("convert")}) {
      SCOPED_TRACE(job.name);
      Reset();
      ASSERT_EQ(Run(job), 1) << PendingError.text;
      EXPECT_EQ(JobNotes.lines, c.notes);
      std::string shown = "Not everything could be converted:";
      for (const std::string& line : c.notes) shown += "\n  " + line;
      std::vector<std::string> texts;
      for (const auto& message : recorder_.messages) texts.push_back(message.text);
      EXPECT_EQ(texts, c.notes.empty() ? std::vector<std::string>{} : std::vector<std::string>{shown});
      if (job == kImport) {
        const auto info = testing::ReadWithSndfile(target_ + "/P/S.wav");
        ASSERT_TRUE(info.opened);
        EXPECT_EQ(info.frames, c.words);
        EXPECT_EQ(info.sampleRate, s.sampleRate == 0 ? 44100 : s.sampleRate);
        EXPECT_TRUE(info.loopCount == 0 || info.loopEnd <= c.words) << info.loopEnd;
      } else {
        EXPECT_EQ(Snapshot().size(), 2u);  // the user's file and P.tes
      }
    }
  }
}

// On a drive every command counts and a seek costs tens of milliseconds:
// a whole job, on a disc written over time, reads every sector it needs
// once — each partition header, directory, program and sample block — in
// few commands, the samples in disc order whatever the order of their
// chains.
TEST_F(FaultCatalogueTest, EveryJobReadsEachSectorOnce) {
  discbuilder::DiscSpec discSpec;
  discSpec.fragmented = true;
  for (int p = 0; p < 2; ++p) {
    discSpec.partitions.push_back({{testing::Volume(
        "V", {Program("ONE", {Keygroup(24, 60, {"A L", "A R"}), Keygroup(61, 90, {"B"})}),
              Program("TWO", {Keygroup(24, 60, {"B"}), Keygroup(61, 90, {"C"})})},
        {Sample("A L", 20000), Sample("A R", 20000), Sample("B", 30000), Sample("C", 9000)})}});
  }
  UseDisc(discSpec);
  ASSERT_TRUE(disc_.Open());
  programs_ = {{0, 0, 0}, {0, 0, 1}, {1, 0, 0}, {1, 0, 1}};
  for (const Job& job : Jobs()) {
    SCOPED_TRACE(job.name);
    Reset();
    source_->commands.clear();
    ASSERT_EQ(Run(job), 1) << PendingError.text;
    std::set<uint32_t> sectors;
    uint32_t read = 0, sampleCommands = 0, lastSample = 0;
    bool ascending = true;
    for (const auto& [lba, count] : source_->commands) {
      for (uint32_t s = lba; s < lba + count; ++s) sectors.insert(s);
      read += count;
      if (count == kReadCommandSectors) {  // the sample sweep's long commands
        ascending &= lba > lastSample;
        lastSample = lba;
        ++sampleCommands;
      }
    }
    EXPECT_EQ(read, sectors.size()) << "a sector read twice";
    EXPECT_TRUE(ascending);
    EXPECT_EQ(source_->commands.front(), (std::pair<uint32_t, uint16_t>{0, 9}));  // check words and partition 0's tables
    EXPECT_GT(sampleCommands, 0u);
    EXPECT_LE(source_->commands.size(), read / 32 + 12) << "commands of single blocks";
  }
}

// 1025 distinct samples: five volumes of 205, one program each naming all.
TEST_F(FaultCatalogueTest, MoreThan1024SamplesAreNotCombined) {
  std::vector<discbuilder::VolumeSpec> volumes;
  for (uint16_t v = 0; v < 5; ++v) {
    std::vector<KeygroupSpec> keygroups(52, Keygroup(36, 60));
    std::vector<SampleSpec> samples;
    for (size_t s = 0; s < 205; ++s) {
      samples.push_back(Sample("V" + std::to_string(v) + " S" + std::to_string(s), 1));
      keygroups[s / 4].zones[s % 4].sample = samples.back().name;
    }
    volumes.push_back(testing::Volume("V" + std::to_string(v), {Program("P", keygroups)}, samples));
    programs_.push_back({0, v, 0});
  }
  UseVolumes(volumes);
  Reset();
  EXPECT_EQ(Run(Named("combine")), 0);
  EXPECT_STREQ(PendingError.text, "Too many samples for one job (1024 at most)");
  EXPECT_EQ(PendingError.style, kStyleError);
  EXPECT_EQ(Snapshot(), (Files{{"MINE.txt", mine_}}));
  EXPECT_TRUE(host_.paths.empty());
}

}  // namespace
}  // namespace corvix
