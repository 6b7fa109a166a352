// A sixth format, made up for the tests: a RIFF "CVXN" file per program
// naming its waves. It joins the program through the table alone, as any
// new format would: the command line gets its command and its export word,
// the fault catalogue its job.
#include "support/made_up_format.h"

#include "common/messages.h"
#include "common/pending_error.h"
#include "jobs/output_formats.h"
#include "riff/chunk_writer.h"
#include "riff/riff_file.h"

namespace corvix::testing {
namespace {

class WaveNamesWriter : public InstrumentWriter {
 public:
  int Write(const ProgramToWrite& program, JobOutput& out) override {
    const std::string path = JoinPath(program.folder, out.Claim(program.folder, program.name, ".nam", program.label));
    std::string temp;
    std::unique_ptr<RiffFile> file = CreateTempRiff(program.folder, &temp);
    if (!file) {
      SetPendingError((kCantOpenFile + path).c_str(), kStyleError);
      return 0;
    }
    ChunkInfo form;
    form.type = FourCC("CVXN");
    bool ok = file->CreateChunk(form, CreateFlag::kRiff);
    for (const WaveEntry& row : program.waves->rows) ok = ok && WriteChunk(*file, FourCC("INAM"), row.name, kWaveNameBytes);
    ok = ok && file->Ascend(form);
    if (!ok) {
      file->Close();
      DeleteFileByName(temp);
    }
    if (!ok || !PutRiffInPlace(*file, temp, path)) {
      SetPendingError(kDiskFull, kStyleError);
      return 0;
    }
    out.files.push_back({path, 0, static_cast<uint32_t>(program.waves->rows.size()), 1, program.place});
    return 1;
  }
};

}  // namespace

void AddMadeUpFormat() {
  if (FindFormat("names") != nullptr) return;
  OutputFormats().push_back({"names", true, "names", "Each program's wave names in a .nam file", "Folder of the files", 0,
                             0, "name", "wave", {WaveKind::kPlayers, false, false, ".nam"},
                             [] { return std::unique_ptr<InstrumentWriter>(new WaveNamesWriter); }});
}

}  // namespace corvix::testing
