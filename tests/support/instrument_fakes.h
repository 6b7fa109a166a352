// Fakes for the instrument writer and the convert job: a host link that
// records what it is told, identifiers on demand, and a file system that
// refuses chosen files.
#pragma once

#include <string>
#include <vector>

#include "instrument/identifiers.h"
#include "records/host_link.h"
#include "records/job_state.h"
#include "support/fault_file_system.h"

namespace corvix::testing {

class RecordingHostLink : public HostLink {
 public:
  std::vector<std::string> paths;
  bool cancelOnNotify = false;  // press Cancel right after the first file
  intptr_t NotifyHost(const char* path) override {
    paths.push_back(path != nullptr ? path : "");
    if (cancelOnNotify) CancelRequested = 1;
    return 0;
  }
};

// Counts up from 1 in every byte's low bits; the zeroInstrumentCall-th
// instrument identifier (zeroFileCall-th file identifier) is all zeros.
class FakeIdentifiers : public IdentifierSource {
 public:
  int zeroInstrumentCall = 0, zeroFileCall = 0;
  bool NewInstrumentId(Identifier* out) override { return Make(out, ++instruments_ == zeroInstrumentCall); }
  bool NewFileId(Identifier* out) override { return Make(out, ++files_ == zeroFileCall); }

 private:
  bool Make(Identifier* out, bool zero) {
    ++made_;
    for (size_t i = 0; i < out->size(); ++i) (*out)[i] = zero ? 0 : static_cast<uint8_t>(made_ * 16 + i);
    return true;
  }
  int made_ = 0, instruments_ = 0, files_ = 0;
};

// Fails to open, in one mode, every path that contains a text: the patch
// pass's reopening of an instrument file (kReadWrite, ".tes"), the wave
// pool's reading of one WAV file (kRead and its name).
class PickyFileSystem : public FaultyFileSystem {
 public:
  std::string refuseContaining;
  OpenMode refuseMode = OpenMode::kReadWrite;
  std::unique_ptr<PlatformFile> Open(const std::string& path, OpenMode mode) override {
    if (!refuseContaining.empty() && mode == refuseMode && path.find(refuseContaining) != std::string::npos)
      return nullptr;
    return FaultyFileSystem::Open(path, mode);
  }
};

}  // namespace corvix::testing
