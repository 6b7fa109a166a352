// A progress seam for tests: records what a job shows and cancels on cue.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "records/job_state.h"
#include "records/progress.h"

namespace corvix::testing {

class ScriptedProgress : public ProgressUi {
 public:
  struct Record {
    std::vector<std::string> dialogs;                 // templates opened
    int destroyed = 0;
    std::vector<std::pair<int, std::string>> texts;   // item id, text
    std::vector<std::pair<uint32_t, uint32_t>> ranges;
    int steps = 0;
    int pumps = 0;
  };

  // Sets CancelRequested in the pump-th pump (1-based), that is after the
  // job has handled block pump + 1 of a sample; 0: never.
  int cancelAtPump = 0;
  bool failCreate = false;
  Record record;

  std::unique_ptr<ProgressDialog> CreateDialog(const char* templateName) override {
    if (failCreate) return nullptr;
    record.dialogs.push_back(templateName);
    return std::make_unique<Dialog>(record);
  }
  void PumpMessages() override {
    ++record.pumps;
    if (cancelAtPump > 0 && record.pumps == cancelAtPump) CancelRequested = 1;
  }

  // The texts shown in item id, in order.
  std::vector<std::string> TextsOf(int id) const {
    std::vector<std::string> out;
    for (const auto& [item, text] : record.texts)
      if (item == id) out.push_back(text);
    return out;
  }

 private:
  class Bar : public ProgressBar {
   public:
    explicit Bar(Record& r) : r_(r) {}
    void SetRange(uint32_t low, uint32_t high) override { r_.ranges.emplace_back(low, high); }
    void SetStep(uint32_t) override {}
    void StepIt() override { ++r_.steps; }

   private:
    Record& r_;
  };
  class Dialog : public ProgressDialog {
   public:
    explicit Dialog(Record& r) : r_(r), bar_(r) {}
    ~Dialog() override { ++r_.destroyed; }
    ProgressBar* CreateProgressBar() override { return &bar_; }
    void SetItemText(int id, const char* text) override { r_.texts.emplace_back(id, text); }

   private:
    Record& r_;
    Bar bar_;
  };
};

}  // namespace corvix::testing
