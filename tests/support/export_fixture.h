// The fixture of the export and job tests: a disc in memory, a temporary
// WaveFolder, the fault-injecting file system, a scripted progress seam and
// a recording host link installed, and the job records reset; with a fake
// for the identifiers an instrument file takes.
#pragma once

#include <functional>

#include "instrument/identifiers.h"
#include "jobs/conversion_list.h"
#include "jobs/convert_job.h"
#include "records/host_link.h"
#include "records/job_notes.h"
#include "records/job_state.h"
#include "records/progress.h"
#include "riff/chunk_writer.h"
#include "support/fault_file_system.h"
#include "support/test_disc.h"
#include "support/wav_files.h"

namespace corvix::testing {

// A progress seam that records what a job shows and cancels on cue.
struct ScriptedProgress : ProgressUi {
  struct Record {
    std::vector<std::string> dialogs;                // templates opened
    int destroyed = 0;
    std::vector<std::pair<int, std::string>> texts;  // item id, text
    std::vector<std::pair<uint32_t, uint32_t>> ranges;
    int steps = 0, pumps = 0;
  };
  // Sets CancelRequested in the pump-th pump (1-based), that is after the
  // job has handled block pump + 1 of a sample; 0: never. onPump, if set,
  // runs in every pump after that.
  int cancelAtPump = 0;
  bool failCreate = false;
  std::function<void()> onPump;
  Record record;

  std::unique_ptr<ProgressDialog> CreateDialog(const char* templateName) override {
    if (failCreate) return nullptr;
    record.dialogs.push_back(templateName);
    return std::make_unique<Dialog>(record);
  }
  void PumpMessages() override {
    if (++record.pumps == cancelAtPump) CancelRequested = 1;
    if (onPump) onPump();
  }
  struct Dialog : ProgressDialog, ProgressBar {
    explicit Dialog(Record& r) : r_(r) {}
    ~Dialog() override { ++r_.destroyed; }
    ProgressBar* CreateProgressBar() override { return this; }
    void SetItemText(int id, const char* text) override { r_.texts.emplace_back(id, text); }
    void SetRange(uint32_t low, uint32_t high) override { r_.ranges.emplace_back(low, high); }
    void SetStep(uint32_t) override {}
    void StepIt() override { ++r_.steps; }
    Record& r_;
  };
};

struct RecordingHostLink : HostLink {
  std::vector<std::string> paths;
  intptr_t NotifyHost(const char* path) override {
    paths.push_back(path != nullptr ? path : "");
    return 0;
  }
};

// Counts up from 1 in every byte's low bits; the zeroInstrumentCall-th
// instrument identifier (zeroFileCall-th file identifier) is all zeros.
struct FakeIdentifiers : IdentifierSource {
  int zeroInstrumentCall = 0, zeroFileCall = 0;
  bool NewInstrumentId(Identifier* out) override { return Make(out, ++instruments_ == zeroInstrumentCall); }
  bool NewFileId(Identifier* out) override { return Make(out, ++files_ == zeroFileCall); }
  bool Make(Identifier* out, bool zero) {
    ++made_;
    for (size_t i = 0; i < out->size(); ++i) (*out)[i] = zero ? 0 : static_cast<uint8_t>(made_ * 16 + i);
    return true;
  }
  int made_ = 0, instruments_ = 0, files_ = 0;
};

class ExportTest : public DiscTest {
 protected:
  void SetUp() override {
    DiscTest::SetUp();
    ResetJobState();
    ResetGroupNameTable();
    SetFileSystem(&files_);
    SetProgressUi(&progress_);
    SetHostLink(&host_);
    ASSERT_TRUE(SetWaveFolder(dir_.path()));
    ASSERT_TRUE(SetChosenFolder(dir_.path()));
  }
  void TearDown() override {
    FreeConversionList(list_);
    ResetJobNotes();
    SetHostLink(nullptr);
    SetIdentifierSource(nullptr);
    SetFileSystem(nullptr);
    SetProgressUi(nullptr);
    ResetJobState();
    DiscTest::TearDown();
  }
  TempDir dir_;
  FaultyFileSystem files_;
  ScriptedProgress progress_;
  RecordingHostLink host_;
  std::unique_ptr<ConversionItem> list_;  // the programs a test converts
};

// Runs the job of the format named ("convert", "sf2-bank") into WaveFolder,
// pairs merged as MergeStereoPairs says: as the window runs it.
inline int Convert(ConversionItem* list, const char* format) {
  return ConvertPrograms(list, {FindFormat(format)}, JobTarget(WaveFolder, MergeStereoPairs != 0));
}

}  // namespace corvix::testing
