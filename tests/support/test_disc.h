// Test fixtures for the disk reader: an in-memory sector source, a recorder
// for message boxes, and a fixture that resets the process-wide records.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "akai_disc_builder.h"
#include "support/disc_descriptions.h"
#include "common/pending_error.h"
#include "common/user_messages.h"
#include "media/akai_disk.h"
#include "media/job_disc.h"
#include "media/sector_source.h"

namespace corvix::testing {

// Serves 2048-byte sectors from bytes in memory; sectors past the end fail
// and are left alone, as an unreadable disc's would be. Records every
// command; a command longer than longestRead, or touching a bad sector,
// fails as a drive's would: nothing delivered.
class MemorySource : public SectorSource {
 public:
  explicit MemorySource(std::vector<uint8_t> image) : image_(std::move(image)) {}
  bool ReadSectors(uint32_t lba, uint16_t count, uint8_t* buffer, uint32_t size) override {
    commands.push_back({lba, count});
    if (count > longestRead) return false;
    for (uint32_t bad : badSectors)
      if (bad >= lba && bad < lba + count) return false;
    bool complete = true;
    for (uint32_t i = 0; i < count; ++i) {
      const uint64_t from = (static_cast<uint64_t>(lba) + i) * kSectorBytes;
      const bool there = (i + 1) * kSectorBytes <= size && from + kSectorBytes <= image_.size();
      if (there) std::memcpy(buffer + i * kSectorBytes, image_.data() + from, kSectorBytes);
      complete &= there;
    }
    return complete;
  }
  std::string Describe() const override { return "memory"; }
  std::optional<uint64_t> SectorCount() const override { return image_.size() / kSectorBytes; }
  std::vector<uint8_t>& image() { return image_; }

  std::vector<std::pair<uint32_t, uint16_t>> commands;  // lba, count
  uint16_t longestRead = 0xFFFF;
  std::vector<uint32_t> badSectors;

 private:
  std::vector<uint8_t> image_;
};

// Records message boxes and "Refresh" requests. Questions are answered from
// script, in order, then with answer.
struct MessageRecorder : UserMessages {
  struct Message {
    std::string text, caption;
    uint32_t style;
  };
  int ShowMessage(const char* text, const char* caption, uint32_t style) override {
    messages.push_back({text, caption, style});
    const int next = script.empty() ? answer : script.front();
    if (!script.empty()) script.erase(script.begin());
    return next;
  }
  void Refresh() override { ++refreshes; }
  std::vector<Message> messages;
  std::vector<int> script;
  int answer = kIdOk;
  int refreshes = 0;
};

// Resets the disk model and PendingError and captures message boxes; Use()
// makes an image the current source, UseVolumes opens it in disc_.
class DiscTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAkaiDisk();
    ClearPendingError();
    SetUserMessages(&recorder_);
  }
  void TearDown() override {
    SetSectorSource(nullptr);
    SetUserMessages(nullptr);
    ResetAkaiDisk();
  }
  MemorySource& Use(std::vector<uint8_t> image) {
    source_ = std::make_unique<MemorySource>(std::move(image));
    SetSectorSource(source_.get());
    return *source_;
  }
  // Builds discSpec and makes it current; fails the test when the builder refuses.
  discbuilder::BuiltDisc UseDisc(const discbuilder::DiscSpec& discSpec) {
    std::string error;
    auto disc = discbuilder::BuildDisc(discSpec, &error);
    EXPECT_TRUE(disc.has_value()) << error;
    if (disc) Use(disc->image);
    return disc.value_or(discbuilder::BuiltDisc{});
  }
  // Partition 0 holding the volumes, the disc opened in disc_.
  discbuilder::BuiltDisc UseVolumes(std::vector<discbuilder::VolumeSpec> volumes, bool fragmented = false) {
    auto disc = UseDisc({.partitions = {{std::move(volumes)}}, .fragmented = fragmented});
    EXPECT_TRUE(disc_.Open());
    return disc;
  }

  JobDisc disc_;
  std::unique_ptr<MemorySource> source_;
  MessageRecorder recorder_;
};

}  // namespace corvix::testing
