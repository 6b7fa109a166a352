#include "instrument/instrument_file.h"

#include <cstring>

#include "common/byte_order.h"
#include "common/messages.h"
#include "common/pending_error.h"
#include "instrument/identifiers.h"
#include "instrument/regions.h"
#include "instrument/wave_pool.h"
#include "media/akai_records.h"
#include "riff/chunk_writer.h"

namespace corvix {
namespace {

constexpr uint32_t kVersionMostSignificant = 0x00010000;  // 1.0
constexpr uint32_t kBendRangeOffset = 8;                   // in "3frg"
constexpr uint32_t kGlobalArticulationBytes = 12;

int Fail(RiffFile& file, const char* message) {
  SetPendingError(message, kStyleError);
  file.Close();
  return 0;
}

ProgramRecord HeadProgram(const ConversionItem* items) {
  return DecodeProgramRecord(ProgramBytes(*items->program));
}

}  // namespace

int WriteInstrumentList(RiffFile& file, const ConversionItem* items, int single) {
  if (items == nullptr || items->program == nullptr) return Fail(file, kNoMemory);
  const ProgramRecord head = HeadProgram(items);

  if (!WriteInfoListStamped(file, head.name)) return 0;
  uint8_t version[8] = {};
  PutU32LE(version, kVersionMostSignificant);
  if (!WriteChunk(file, FourCC("vers"), version, sizeof version)) return 0;
  uint8_t collection[4];
  PutU32LE(collection, 1);  // one instrument, in both modes
  if (!WriteChunk(file, FourCC("colh"), collection, sizeof collection)) return 0;
  const uint8_t zeros[kIdentifierBytes] = {};
  if (!WriteChunk(file, FourCC("dlid"), zeros, sizeof zeros)) return 0;

  ChunkInfo instruments;
  if (!BeginListChunk(file, instruments, FourCC("lins"))) return 0;
  if (!WriteInstrument(file, items, single)) return 0;
  if (!EndChunk(file, instruments)) return 0;

  ChunkInfo groups;
  if (!BeginListChunk(file, groups, FourCC("3gri"))) return 0;
  if (!WriteGroupNameList(file)) return 0;
  return EndChunk(file, groups);
}

int WriteInstrument(RiffFile& file, const ConversionItem* items, int single) {
  if (items == nullptr || items->program == nullptr) return Fail(file, kNoMemory);
  const ProgramRecord head = HeadProgram(items);

  ChunkInfo instrument;
  if (!BeginListChunk(file, instrument, FourCC("ins "))) return 0;
  if (!WriteInfoListSoftware(file, head.name)) return 0;

  Identifier id{};
  if (!CurrentIdentifierSource().NewInstrumentId(&id) || IsAllZero(id)) return Fail(file, kNoIdentifier);
  if (!WriteChunk(file, FourCC("dlid"), id.data(), kIdentifierBytes)) return 0;

  uint8_t header[kInstrumentHeaderBytes] = {};
  PutU32LE(header + 0, head.keygroupCount);  // the real count comes with the patch pass
  PutU32LE(header + 4, 0);                   // bank
  PutU32LE(header + 8, head.midiProgram);
  if (!WriteChunk(file, FourCC("insh"), header, sizeof header)) return 0;

  if (!WriteRegions(file, items, single)) return 0;

  ChunkInfo articulation;
  if (!BeginListChunk(file, articulation, FourCC("lart"))) return 0;
  uint8_t global[kGlobalArticulationBytes] = {};
  PutU16LE(global + kBendRangeOffset, head.pitchBendRange);
  if (!WriteChunk(file, FourCC("3frg"), global, sizeof global)) return 0;
  if (!EndChunk(file, articulation)) return 0;
  return EndChunk(file, instrument);
}

void AbandonInstrumentFile(RiffFile* file, const std::string& path,
                           std::unique_ptr<ProgressDialog>& dialog) {
  if (file != nullptr) file->Close();
  DeleteFileByName(path);
  DeleteExportedWaves();
  dialog.reset();
}

int PatchInstrumentFile(const std::string& path, std::unique_ptr<ProgressDialog>& dialog) {
  std::unique_ptr<RiffFile> file = RiffFile::Open(path, OpenMode::kReadWrite);
  if (!file) {
    SetPendingError((kCantOpenFile + path).c_str(), kStyleError);
    AbandonInstrumentFile(nullptr, path, dialog);
    return 0;
  }
  auto fail = [&](const char* message) {
    SetPendingError(message, kStyleError);
    AbandonInstrumentFile(file.get(), path, dialog);
    return 0;
  };

  // 2, 3. The instrument and its identifier.
  ChunkInfo form;
  form.type = FourCC("DLS ");
  if (!file->Descend(form, nullptr, FindFlag::kRiff)) return fail("Error in main RIFF chunk");
  ChunkInfo instruments;
  instruments.type = FourCC("lins");
  if (!file->Descend(instruments, &form, FindFlag::kList)) return fail("Can't find lins chunk");
  ChunkInfo instrument;
  instrument.type = FourCC("ins ");
  if (!file->Descend(instrument, &instruments, FindFlag::kList)) return fail("Can't find ins chunk");
  ChunkInfo id;
  id.id = FourCC("dlid");
  uint8_t instrumentId[kIdentifierBytes];
  if (!file->Descend(id, &instrument, FindFlag::kChunk) || id.size < kIdentifierBytes ||
      file->Read(instrumentId, kIdentifierBytes) != kIdentifierBytes) {
    return fail("Can't find dlid chunk");
  }

  // 4. The region count.
  if (!file->Seek(id.dataOffset + id.size + (id.size & 1))) return fail("Can't find insh chunk");
  ChunkInfo header;
  header.id = FourCC("insh");
  uint8_t bytes[kInstrumentHeaderBytes];
  if (!file->Descend(header, &instrument, FindFlag::kChunk) || header.size < kInstrumentHeaderBytes ||
      file->Read(bytes, kInstrumentHeaderBytes) != kInstrumentHeaderBytes) {
    return fail("Can't find insh chunk");
  }
  PutU32LE(bytes, RegionCount);
  if (!file->Seek(header.dataOffset) ||
      file->Write(bytes, kInstrumentHeaderBytes) != kInstrumentHeaderBytes) {
    return fail(kDiskFull);
  }

  // 5, 6. The file's own identifier, over the zeros of the first "dlid".
  Identifier fresh{};
  if (!CurrentIdentifierSource().NewFileId(&fresh) || IsAllZero(fresh)) return fail(kNoIdentifier);
  if (!file->Seek(0) || !file->Descend(form, nullptr, FindFlag::kRiff)) return fail("Error in main RIFF chunk");
  ChunkInfo fileId;
  fileId.id = FourCC("dlid");
  if (!file->Descend(fileId, &form, FindFlag::kChunk) || fileId.size < kIdentifierBytes)
    return fail("Can't find dlid chunk");
  if (file->Write(fresh.data(), kIdentifierBytes) != kIdentifierBytes)
    return fail(kDiskFull);

  // 7. On the disk before the file takes its name.
  if (!file->Sync() || !file->Close()) return fail("Error closing file");
  return 1;
}

}  // namespace corvix
