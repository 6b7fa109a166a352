// The fixture of the export tests: a disc in memory, a temporary WaveFolder,
// the fault-injecting file system and the scripted progress seam installed,
// and the job records reset.
#pragma once

#include "records/job_state.h"
#include "riff/chunk_writer.h"
#include "support/fault_file_system.h"
#include "support/scripted_progress.h"
#include "support/test_disc.h"
#include "support/wav_files.h"

namespace corvix::testing {

class ExportTest : public DiscTest {
 protected:
  void SetUp() override {
    DiscTest::SetUp();
    ResetJobState();
    ResetGroupNameTable();
    SetFileSystem(&files_);
    SetProgressUi(&progress_);
    ASSERT_TRUE(SetWaveFolder(dir_.path()));
    ASSERT_TRUE(SetChosenFolder(dir_.path()));
  }
  void TearDown() override {
    SetFileSystem(nullptr);
    SetProgressUi(nullptr);
    ResetJobState();
    DiscTest::TearDown();
  }

  TempDir dir_;
  FaultyFileSystem files_;
  ScriptedProgress progress_;
};

}  // namespace corvix::testing
