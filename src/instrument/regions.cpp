#include "instrument/regions.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "common/byte_order.h"
#include "common/messages.h"
#include "common/pending_error.h"
#include "export/stereo_merge.h"
#include "media/akai_names.h"
#include "media/akai_records.h"
#include "records/job_notes.h"
#include "riff/chunk_writer.h"

namespace corvix {

uint32_t RegionCount = 0;

namespace {

constexpr uint8_t kHighestKey = 127;
constexpr uint32_t kNoWave = 0xFFFFFFFF;

// The WaveTable row named exactly name (at most kWaveNameBytes compared).
int32_t LookUpWaveName(const char* name) {
  const uint32_t count = std::min(WaveTable.count, kWaveTableRows);
  for (uint32_t i = 0; i < count; ++i) {
    if (std::strncmp(WaveTable.rows[i].name, name, kWaveNameBytes) == 0) return static_cast<int32_t>(i);
  }
  return -1;
}

// FindWaveEntry without the message: the row of a zone's sample, directly
// or through its merged pair.
int32_t LookUpWave(const char* zoneName) {
  char name[kWaveNameBytes] = {};
  for (int i = 0; i < kAkaiNameBytes && zoneName[i] != '\0'; ++i) name[i] = zoneName[i];
  const int32_t direct = LookUpWaveName(name);
  if (direct >= 0) return direct;
  return LookUpWaveName(MakeStereoName(name));
}

uint32_t KeygroupLimit(const ProgramSummary& summary) {
  return std::min<uint32_t>(summary.keygroupCount, kMaxKeygroups);
}

ByteView KeygroupOf(const RegionProgram& p, uint32_t k) {
  return KeygroupBytes(*p.item->program, p.item->keygroupStride, k);
}

std::string KeyRange(int low, int high) {
  return low == high ? "key " + std::to_string(low)
                     : "keys " + std::to_string(low) + "-" + std::to_string(high);
}

std::string ZoneLabel(const RegionProgram& p, uint32_t k, uint32_t z, const char* sample) {
  return TrimmedName(p.name) + ": keygroup " + std::to_string(k + 1) + ", zone " +
         std::to_string(z + 1) + " (\"" + TrimmedName(sample) + "\")";
}

bool Overlaps(uint8_t low, uint8_t high, const SubRegion& e) {
  return (low >= e.velocityLow && low <= e.velocityHigh) ||
         (high >= e.velocityLow && high <= e.velocityHigh) ||
         (low <= e.velocityLow && high >= e.velocityHigh);
}

// The counters a zone may change while it is placed, kept so that a zone
// that can't be placed leaves the layout as it found it.
struct Counters {
  int32_t velocityMax, programLayerMax, layerMax;
};

bool IsFull(const RegionLayout& l, uint32_t stereo) {
  return DimensionBits(l.velocityMax) + DimensionBits(l.layerMax) +
             DimensionBits(l.programLayerMax) + (stereo ? 1 : 0) >
         kMaxDimensionBits;
}

bool TripleTaken(const RegionLayout& l, int32_t v, int32_t b, int32_t c) {
  for (uint32_t e = 0; e < l.count; ++e) {
    const SubRegion& s = l.entries[e];
    if (s.present && s.velocityIndex == v && s.programLayerIndex == b && s.layerIndex == c) return true;
  }
  return false;
}

enum class Placed { kOk, kFull, kMixed };

// Finds the index triple of a zone (program i, keygroup k, velocity range
// low-high, wave stereo flag), raising the layout's highest indices as it
// needs; the caller enters the zone, or puts the counters back when the
// zone can't be placed. L is the keygroup's layer counter.
Placed PlaceZone(RegionLayout& l, uint8_t i, uint8_t k, uint8_t low, uint8_t high, uint32_t stereo,
                 int32_t& L, int32_t* triple) {
  const uint32_t n = l.count;
  if (n >= kMaxSubRegions) return Placed::kFull;
  if (n > 0 && stereo != l.stereo) return Placed::kMixed;
  const uint32_t layoutStereo = n > 0 ? l.stereo : stereo;

  // The last entry entered that the zone relates to decides its case.
  int32_t matched = -1;
  bool sameKeygroup = false;
  for (int32_t e = static_cast<int32_t>(n) - 1; e >= 0; --e) {
    const SubRegion& s = l.entries[e];
    if (!s.present || !Overlaps(low, high, s)) continue;
    matched = e;
    sameKeygroup = s.program == i && s.keygroup == k;
    break;
  }

  int32_t v = 0, b = 0, c = 0;
  if (matched < 0) {
    // A velocity split.
    if (n > 0) l.velocityMax += 1;
    L = 0;
    if (IsFull(l, layoutStereo)) return Placed::kFull;
    v = l.velocityMax;
    b = l.programLayerMax;
    c = 0;
  } else if (!sameKeygroup) {
    // A program layer: another program's (or keygroup's) zone at the same
    // velocities.
    bool clash = false;
    for (uint32_t e = 0; e < n; ++e) {
      const SubRegion& s = l.entries[e];
      clash |= s.present && s.programLayerIndex == l.programLayerMax && Overlaps(low, high, s);
    }
    if (clash) {
      l.programLayerMax += 1;
      if (IsFull(l, layoutStereo)) return Placed::kFull;
    }
    L = 0;
    b = l.programLayerMax;
    c = 0;
    int32_t highest = -1;
    for (uint32_t e = 0; e < n; ++e) {
      const SubRegion& s = l.entries[e];
      if (s.present && s.programLayerIndex == b && s.layerIndex == 0)
        highest = std::max<int32_t>(highest, s.velocityIndex);
    }
    if (highest != l.velocityMax) {
      v = highest + 1;
    } else {
      l.velocityMax += 1;
      if (IsFull(l, layoutStereo)) return Placed::kFull;
      v = l.velocityMax;
    }
  } else {
    // A layer: the keygroup's own zones at the same velocities.
    L += 1;
    if (L > l.layerMax) {
      l.layerMax = L;
      if (IsFull(l, layoutStereo)) return Placed::kFull;
    }
    v = l.entries[matched].velocityIndex;
    b = l.entries[matched].programLayerIndex;
    c = L;
  }

  // Every entry gets a triple of its own: a zone that lands on one already
  // taken (the layer counter restarts after a velocity split) moves up a
  // layer until it finds a free one.
  while (TripleTaken(l, v, b, c)) {
    c += 1;
    if (c > l.layerMax) {
      l.layerMax = c;
      if (IsFull(l, layoutStereo)) return Placed::kFull;
    }
  }
  if (c > L) L = c;
  triple[0] = v;
  triple[1] = b;
  triple[2] = c;
  return Placed::kOk;
}

}  // namespace

uint8_t DimensionBits(int32_t highestIndex) {
  uint8_t bits = 0;
  while (highestIndex > 0 && bits < 31 && (int64_t{1} << bits) <= highestIndex) ++bits;
  return bits;
}

int32_t FindWaveEntry(char* name) {
  const int32_t direct = LookUpWaveName(name);
  if (direct >= 0) return direct;
  const int32_t merged = LookUpWaveName(MakeStereoName(name));
  if (merged >= 0) return merged;
  SetPendingError(kNoSampleForZone, kStyleError);
  return -1;
}

RegionPrograms CollectRegionPrograms(const ConversionItem* items, int single) {
  RegionPrograms programs;
  for (const ConversionItem* item = items; item != nullptr; item = item->next.get()) {
    if (item->program != nullptr) {
      RegionProgram p{};
      p.item = item;
      if (item->summary != nullptr) p.summary = *item->summary;
      const ProgramRecord header = DecodeProgramRecord(ProgramBytes(*item->program));
      std::memcpy(p.name, header.name, sizeof p.name);
      programs.push_back(p);
    }
    if (single) break;
  }
  return programs;
}

int MarkKeygroupsAtKey(int key, RegionPrograms& programs) {
  int m = kHighestKey;
  int found = 0;
  for (RegionProgram& p : programs) {
    ProgramSummary& s = p.summary;
    std::memset(s.keygroupMarks, 0, sizeof s.keygroupMarks);
    s.splitHighKey = kHighestKey;
    s.splitLowKey = static_cast<uint8_t>(key);
    for (uint32_t k = 0; k < KeygroupLimit(s); ++k) {
      const KeygroupSlot& slot = s.keygroups[k];
      if (!slot.present || slot.lowKey > key || slot.highKey < key) continue;
      s.keygroupMarks[k] = 1;
      m = std::min<int>(m, slot.highKey);
      found = 1;
    }
  }
  for (RegionProgram& p : programs) {
    ProgramSummary& s = p.summary;
    for (uint32_t k = 0; k < KeygroupLimit(s); ++k) {
      if (!s.keygroupMarks[k]) continue;
      KeygroupSlot& slot = s.keygroups[k];
      if (slot.highKey > m) {
        slot.lowKey = static_cast<uint8_t>(m + 1);
      } else {
        slot.present = 0;
      }
    }
    s.splitHighKey = static_cast<uint8_t>(m);
  }
  return found;
}

int BuildRegionLayout(const RegionPrograms& programs, RegionLayout* layout) {
  RegionLayout& l = *layout;
  for (size_t i = 0; i < programs.size(); ++i) {
    const RegionProgram& p = programs[i];
    const ProgramSummary& s = p.summary;
    for (uint32_t k = 0; k < KeygroupLimit(s); ++k) {
      if (!s.keygroupMarks[k]) continue;
      const ByteView keygroup = KeygroupOf(p, k);
      int32_t L = 0;
      int32_t partner = -1;  // the stereo wave of the zone before: its other channel follows
      char partnerName[kAkaiNameBytes + 1] = {};  // the zone before's sample
      for (uint32_t z = 0; z < kZonesPerKeygroup; ++z) {
        const ZoneSlot& slot = s.keygroups[k].zones[z];
        const VelocityZone zone = DecodeVelocityZone(ZoneBytes(keygroup, z));
        if (!slot.present) {
          // Noted once, however many regions the keygroup is cut into.
          if (IsZoneUsed(zone.sampleName))
            AddJobNote(ZoneLabel(p, k, z, zone.sampleName) + ": the sample is not in the volume");
          partner = -1;
          continue;
        }
        const int32_t wave = LookUpWave(zone.sampleName);
        if (wave >= 0 && wave == partner) {
          partner = -1;  // already in the merged file of the zone before
          continue;
        }
        // A pair is told by its letters alone ("PR2 L" with "PR1 R"): the
        // right zone's sample is then in the file named after the left one.
        if (wave < 0 && partner >= 0 && z % 2 == 1 && IsStereoPair(partnerName, zone.sampleName)) {
          partner = -1;
          continue;
        }
        partner = wave >= 0 && WaveTable.rows[wave].stereo ? wave : -1;
        std::memcpy(partnerName, zone.sampleName, sizeof partnerName);
        if (wave < 0) {
          AddJobNote(ZoneLabel(p, k, z, zone.sampleName) + ": left out, no wave was exported for it");
          continue;
        }

        const Counters saved{l.velocityMax, l.programLayerMax, l.layerMax};
        const int32_t savedL = L;
        int32_t triple[3] = {};
        const uint32_t stereo = WaveTable.rows[wave].stereo ? 1 : 0;
        const Placed placed = PlaceZone(l, static_cast<uint8_t>(i), static_cast<uint8_t>(k),
                                        slot.lowVelocity, slot.highVelocity, stereo, L, triple);
        if (placed != Placed::kOk) {
          l.velocityMax = saved.velocityMax;
          l.programLayerMax = saved.programLayerMax;
          l.layerMax = saved.layerMax;
          L = savedL;
          const std::string keys = KeyRange(s.splitLowKey, s.splitHighKey);
          AddJobNote(ZoneLabel(p, k, z, zone.sampleName) + ": left out of " + keys +
                     (placed == Placed::kFull
                          ? ", more than 32 sub-regions"
                          : ", stereo and mono samples can't share a region"));
          continue;
        }
        SubRegion& e = l.entries[l.count];
        e = {};
        e.velocityLow = slot.lowVelocity;
        e.velocityHigh = slot.highVelocity;
        e.present = 1;
        e.zoneNumber = static_cast<uint8_t>(z);
        e.keygroup = static_cast<uint8_t>(k);
        e.program = static_cast<uint8_t>(i);
        e.velocityIndex = static_cast<uint8_t>(triple[0]);
        e.programLayerIndex = static_cast<uint8_t>(triple[1]);
        e.layerIndex = static_cast<uint8_t>(triple[2]);
        e.sample = static_cast<uint32_t>(wave);
        e.programBuffer = p.item->program.get();
        e.stride = p.item->keygroupStride;
        if (l.count == 0) l.stereo = stereo;
        l.count += 1;
      }
    }
  }
  return static_cast<int>(l.count);
}

void RenumberVelocitySplits(RegionLayout* layout) {
  RegionLayout& l = *layout;
  for (int32_t b = 0; b <= l.programLayerMax; ++b) {
    for (int32_t c = 0; c <= l.layerMax; ++c) {
      uint32_t group[kMaxSubRegions];
      uint32_t size = 0;
      for (uint32_t e = 0; e < l.count; ++e) {
        const SubRegion& s = l.entries[e];
        if (s.present && s.programLayerIndex == b && s.layerIndex == c) group[size++] = e;
      }
      // Ascending velocityLow; of equal ones the later entry first.
      std::stable_sort(group, group + size, [&](uint32_t x, uint32_t y) {
        if (l.entries[x].velocityLow != l.entries[y].velocityLow)
          return l.entries[x].velocityLow < l.entries[y].velocityLow;
        return x > y;
      });
      for (uint32_t j = 0; j < size; ++j) {
        l.entries[group[j]].velocityIndex = static_cast<uint8_t>(j);
        l.entries[group[j]].renumbered = 1;
      }
    }
  }
}

int FindSubRegion(const RegionLayout& l, int a, int b, int c) {
  auto find = [&](int va, int vb, int vc) {
    for (uint32_t e = 0; e < l.count && e < kMaxSubRegions; ++e) {
      const SubRegion& s = l.entries[e];
      if (s.present && s.velocityIndex == va && s.programLayerIndex == vb && s.layerIndex == vc)
        return static_cast<int>(e);
    }
    return -1;
  };
  const int exact = find(a, b, c);
  if (exact >= 0) return exact;
  for (int vb = b; vb >= 0; --vb) {
    for (int vc = c; vc >= 0; --vc) {
      for (int va = a; va >= 0; --va) {
        const int e = find(va, vb, vc);
        if (e >= 0) return e;
      }
    }
  }
  return -1;
}

int WriteRegion(RiffFile& file, const RegionPrograms& programs, RegionLayout& l) {
  // 1. The key range and the region-level wave: zone slot 0 of the first
  // marked keygroup, or the first entry's wave when that slot has none.
  const RegionProgram* first = nullptr;
  uint32_t firstKeygroup = 0;
  for (const RegionProgram& p : programs) {
    for (uint32_t k = 0; k < KeygroupLimit(p.summary) && first == nullptr; ++k) {
      if (p.summary.keygroupMarks[k]) {
        first = &p;
        firstKeygroup = k;
      }
    }
    if (first != nullptr) break;
  }
  if (first == nullptr || l.count == 0) return 1;  // nothing to write
  const VelocityZone zone0 = DecodeVelocityZone(ZoneBytes(KeygroupOf(*first, firstKeygroup), 0));
  int32_t regionWave = LookUpWave(zone0.sampleName);
  if (regionWave < 0) regionWave = static_cast<int32_t>(l.entries[0].sample);
  const WaveEntry& wave = WaveTable.rows[regionWave];

  // 2. A region reaching above key 60 covers at most 37 keys.
  const int low = first->summary.splitLowKey;
  int high = first->summary.splitHighKey;
  if (high > kRegionClipAbove && high - low > kRegionKeySpan) {
    const int from = low + kRegionKeySpan + 1;
    AddJobNote(TrimmedName(first->name) + ": " + KeyRange(from, high) +
               (from == high ? " gets" : " get") + " no region (a region spans at most 37 keys)");
    high = low + kRegionKeySpan;
  }

  // 3, 4.
  ChunkInfo region;
  if (!BeginListChunk(file, region, FourCC("rgn "))) return 0;
  uint8_t header[12] = {};
  PutU16LE(header + 0, static_cast<uint16_t>(low));
  PutU16LE(header + 2, static_cast<uint16_t>(high));
  PutU16LE(header + 4, 0);
  PutU16LE(header + 6, 127);
  if (!WriteChunk(file, FourCC("rgnh"), header, sizeof header)) return 0;

  // 5, 6.
  if (!WriteWaveSample(file, wave, wave.unityNote, wave.fineTune)) return 0;
  const uint8_t link[12] = {};
  if (!WriteChunk(file, FourCC("wlnk"), link, sizeof link)) return 0;

  // 7. Dimensions and the wave of every sub-region.
  l.bitsVelocity = DimensionBits(l.velocityMax);
  l.bitsLayer = DimensionBits(l.layerMax);
  l.bitsProgramLayer = DimensionBits(l.programLayerMax);
  const int channels = l.stereo ? 2 : 1;
  const int velocities = 1 << l.bitsVelocity;
  const int programLayers = 1 << l.bitsProgramLayer;
  const int layers = 1 << l.bitsLayer;
  uint8_t dims[kRegionLinkBytes] = {};
  const int totalBits = (l.stereo ? 1 : 0) + l.bitsLayer + l.bitsProgramLayer + l.bitsVelocity;
  PutU32LE(dims, uint32_t{1} << totalBits);
  int used = 0, firstBit = 0;
  auto dimension = [&](uint8_t code, int bits) {
    if (bits == 0) return;
    uint8_t* d = dims + 4 + 8 * used++;
    d[0] = code;
    d[1] = static_cast<uint8_t>(bits);
    d[2] = static_cast<uint8_t>(firstBit);
    d[3] = static_cast<uint8_t>(((1u << bits) - 1) << firstBit);
    firstBit += bits;
  };
  dimension(kDimensionChannel, l.stereo ? 1 : 0);
  dimension(kDimensionLayer, l.bitsLayer);
  dimension(kDimensionProgramLayer, l.bitsProgramLayer);
  dimension(kDimensionVelocity, l.bitsVelocity);

  // The sub-regions in their numbering order; the first entry stands in
  // for a combination that finds none (a built layout always finds one).
  uint32_t order[kMaxSubRegions];
  int subRegions = 0;
  for (int a = 0; a < velocities; ++a) {
    for (int b = 0; b < programLayers; ++b) {
      for (int c = 0; c < layers; ++c) {
        const int e = FindSubRegion(l, a, b, c);
        for (int ch = 0; ch < channels && subRegions < kMaxSubRegions; ++ch)
          order[subRegions++] = static_cast<uint32_t>(e >= 0 ? e : 0);
      }
    }
  }
  for (int s = 0; s < kMaxSubRegions; ++s)
    PutU32LE(dims + 44 + 4 * s, s < subRegions ? l.entries[order[s]].sample : kNoWave);
  if (!WriteChunk(file, FourCC("3lnk"), dims, kRegionLinkBytes)) return 0;

  // 8.
  ChunkInfo articulations;
  if (!BeginListChunk(file, articulations, FourCC("3prg"))) return 0;
  for (int s = 0; s < subRegions; ++s) {
    if (!WriteArticulation(file, l.entries[order[s]])) return 0;
  }
  if (!EndChunk(file, articulations)) return 0;

  // 9, 10.
  ChunkInfo empty;
  if (!BeginListChunk(file, empty, FourCC("3dnl"))) return 0;
  if (!EndChunk(file, empty)) return 0;
  return EndChunk(file, region);
}

int WriteRegions(RiffFile& file, const ConversionItem* items, int single) {
  RegionCount = 0;
  ChunkInfo list;
  if (!BeginListChunk(file, list, FourCC("lrgn"))) return 0;

  RegionPrograms programs = CollectRegionPrograms(items, single);
  int low = kHighestKey, high = 0;
  for (const RegionProgram& p : programs) {
    low = std::min<int>(low, p.summary.lowestKey);
    high = std::max<int>(high, p.summary.highestKey);
  }
  high = std::min<int>(high, kHighestKey);

  for (int key = low; key <= high; ++key) {
    if (!MarkKeygroupsAtKey(key, programs)) continue;
    RegionLayout layout{};
    if (BuildRegionLayout(programs, &layout) == 0) continue;
    RenumberVelocitySplits(&layout);
    if (!WriteRegion(file, programs, layout)) return 0;
    RegionCount += 1;
  }
  return EndChunk(file, list);
}

}  // namespace corvix
