#include "jobs/import_job.h"

#include <memory>

#include "common/messages.h"
#include "common/pending_error.h"
#include "jobs/conversion_list.h"
#include "records/job_guard.h"
#include "records/job_notes.h"
#include "records/job_state.h"

namespace corvix {
namespace {

// The folder of WAV files, told to the caller program by program.
class ImportWriter : public InstrumentWriter {
 public:
  ImportWriter(ImportReport* report, const std::function<void(const ImportedProgram&)>& done)
      : folder_(MakeWaveFolderWriter()), report_(report), done_(done) {}

  int Write(const ProgramToWrite& write, JobOutput& out) override {
    if (!folder_->Write(write, out)) return 0;
    ImportedProgram& program = report_->programs.emplace_back();
    program.index = write.place;
    program.folder = write.folder;
    for (const WaveEntry& row : write.waves->rows) {
      program.files.push_back(WaveFileName(row.name, row.fileCopy));
      program.stereo.push_back(row.stereo != 0);
    }
    if (done_) done_(program);
    return 1;
  }

 private:
  std::unique_ptr<InstrumentWriter> folder_;
  ImportReport* report_;
  const std::function<void(const ImportedProgram&)>& done_;
};

}  // namespace

int ImportPrograms(const std::vector<ProgramRef>& programs, const JobTarget& target, ImportReport* report,
                   const std::function<void(const ImportedProgram&)>& done, JobDisc* disc) {
  JobGuard guard;
  if (!guard.Start()) return 0;
  *report = {};
  JobDisc own;
  int result = 1;
  if (disc == nullptr && !programs.empty()) {
    if (own.Open()) {
      disc = &own;
    } else {
      SetPendingError(kCantReadFat, kStyleError);
      result = 0;
    }
  }
  if (result && !programs.empty()) {
    std::vector<std::unique_ptr<ConversionItem>> items;
    std::vector<ConversionItem*> list;
    for (const ProgramRef& ref : programs) {
      items.push_back(MakeProgramItem(ref.partition, ref.volume, ref.programIndex));
      list.push_back(items.back().get());
    }
    ImportWriter writer(report, done);
    JobOutput out;
    result = RunWriters(*disc, list, {{{WaveKind::kDesign, true, false, ""}, &writer}}, target, out, nullptr);
    report->leftOut = out.leftOut;
  }
  ShowJobNotes();
  return result;
}

}  // namespace corvix
