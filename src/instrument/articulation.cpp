#include "instrument/articulation.h"

#include "common/byte_order.h"
#include "common/messages.h"
#include "common/pending_error.h"
#include "instrument/articulation_values.h"
#include "media/akai_records.h"
#include "riff/chunk_writer.h"

namespace corvix {
namespace {

constexpr uint32_t kSampleBlockBytes = 20;
constexpr uint32_t kLoopRecordBytes = 16;

}  // namespace

int WriteWaveSample(RiffFile& file, const WaveEntry& wave, uint16_t unityNote, int16_t fineTune) {
  uint8_t block[kSampleBlockBytes + kLoopRecordBytes] = {};
  const bool loops = wave.loopMarker != kNoLoop;
  PutU32LE(block + 0, kSampleBlockBytes);
  PutU16LE(block + 4, unityNote);
  PutU16LE(block + 6, static_cast<uint16_t>(fineTune));
  PutU32LE(block + 8, 0);   // attenuation
  PutU32LE(block + 12, 0);  // options
  PutU32LE(block + 16, loops ? 1 : 0);
  if (loops) {
    uint8_t* loop = block + kSampleBlockBytes;
    // The length of the loop the WAV file's smpl chunk holds: end − start + 1
    // from the same two points. A loop of length 0 on the disc has its start
    // one word after its end, which gives 0 here too; nothing wraps.
    const int64_t span = int64_t{wave.loopEnd} - int64_t{wave.loopStart} + 1;
    const auto length = static_cast<uint32_t>(span > 0 ? span : 0);
    PutU32LE(loop + 0, kLoopRecordBytes);
    PutU32LE(loop + 4, wave.loopType);
    PutU32LE(loop + 8, wave.loopStart);
    PutU32LE(loop + 12, length);
  }
  return WriteChunk(file, FourCC("wsmp"), block,
                    loops ? kSampleBlockBytes + kLoopRecordBytes : kSampleBlockBytes);
}

int WriteArticulation(RiffFile& file, const SubRegion& s) {
  if (s.sample >= WaveTable.count || s.programBuffer == nullptr) {
    // The region builder enters only zones whose wave it found.
    SetPendingError(kNoSampleForZone, kStyleError);
    file.Close();
    return 0;
  }
  const WaveEntry& wave = WaveTable.rows[s.sample];
  const ByteView program = ProgramBytes(*s.programBuffer);
  const ByteView keygroup = KeygroupBytes(*s.programBuffer, s.stride, s.keygroup);
  const ByteView zone = ZoneBytes(keygroup, s.zoneNumber);

  ChunkInfo list;
  if (!BeginListChunk(file, list, FourCC("3frl"))) return 0;

  uint16_t unity = wave.unityNote;
  int16_t fine = wave.fineTune;
  const TuneBytes current{keygroup.U8(kKeygroupTuneFraction), keygroup.I8(kKeygroupTuneSemitones),
                          zone.U8(kZoneTuneFraction), zone.I8(kZoneTuneSemitones)};
  const TuneBytes recorded{wave.keygroupTuneFraction, wave.keygroupTuneSemitones,
                           wave.zoneTuneFraction, wave.zoneTuneSemitones};
  if (current.keygroupFraction != recorded.keygroupFraction ||
      current.keygroupSemitones != recorded.keygroupSemitones ||
      current.zoneFraction != recorded.zoneFraction ||
      current.zoneSemitones != recorded.zoneSemitones) {
    RetuneSample(current, recorded, &unity, &fine);
  }
  if (!WriteWaveSample(file, wave, unity, fine)) return 0;

  const ArticulationSource source{program, keygroup, zone, wave.keyByte, wave.stereo != 0,
                                  s.velocityHigh};
  const auto body = BuildArticulation(source);
  if (!WriteChunk(file, FourCC("3fra"), body.data(), kArticulationBytes)) return 0;
  return EndChunk(file, list);
}

}  // namespace corvix
