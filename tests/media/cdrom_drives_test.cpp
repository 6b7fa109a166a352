#include "media/cdrom_drives.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/fake_scsi.h"

namespace corvix {
namespace {

class FakeRegistry : public DriveLetterRegistry {
 public:
  bool ReadDriveLetterAssignment(const char* key, uint8_t value[2]) override {
    if (!values.contains(key)) return false;
    std::copy_n(values[key].begin(), 2, value);
    return true;
  }
  std::map<std::string, std::array<uint8_t, 2>> values;
};

// The menu as the user sees it: its items and which one carries the mark
// (first, last, chosen of the radio group).
class FakeMenu : public CdromMenu {
 public:
  bool HasMainMenu() override { return true; }
  bool HasPopup() override { return true; }
  bool ReplaceFirstItem(const char* text, int id) override { return (items.at(0) = {text, id}, true); }
  bool AppendItem(const char* text, int id) override { return (items.push_back({text, id}), true); }
  bool CheckRadioByPosition(int a, int b, int c) override { return (radio = {a, b, c}, true); }
  bool CheckRadioByCommand(int a, int b, int c) override { return (radio = {a, b, c}, true); }
  bool Redraw() override { return ++redraws > 0; }

  std::vector<std::pair<std::string, int>> items{{"No CDROM Found", 0}};
  std::array<int, 3> radio{-1, -1, -1};
  int redraws = 0;
};

class CdromDrivesTest : public testing::ScsiTest {
 protected:
  void SetUp() override {
    ScsiTest::SetUp();
    SetDriveLetterRegistry(&registry_);
  }
  void TearDown() override {
    MakeList(0);
    SetDriveLetterRegistry(nullptr);
    ScsiTest::TearDown();
  }
  // A list of n devices, vendor "V<i>" padded to 8, at adapter 0, target
  // i / 8, LUN i % 8.
  ScsiDevice* MakeList(int n) {
    FreeScsiDeviceList(list_);
    list_ = nullptr;
    ScsiDevice** tail = &list_;
    for (int i = 0; i < n; ++i, tail = &(*tail)->next) {
      *tail = new ScsiDevice{};
      std::snprintf((*tail)->vendor, sizeof (*tail)->vendor, "V%-7u", static_cast<unsigned>(i & 0xFF));
      std::strcpy((*tail)->product, "DRIVE");
      std::strcpy((*tail)->revision, "1.0");
      (*tail)->target = static_cast<uint8_t>(i / 8);
      (*tail)->lun = static_cast<uint8_t>(i % 8);
    }
    return list_;
  }
  size_t Asserts() const {
    return std::ranges::count_if(recorder_.messages,
                                 [](const auto& m) { return m.caption == "ASSERT" && m.text.starts_with("cdrom line:"); });
  }

  FakeRegistry registry_;
  ScsiDevice* list_ = nullptr;
};

// The registry's letter first, else the one the transport knows; when
// neither gives a letter the previous one stays.
TEST_F(CdromDrivesTest, DriveLetterFromTheRegistryOrTheTransport) {
  using Value = std::optional<std::array<uint8_t, 2>>;
  struct Case { Value registry; char transportLetter; int answer; char letter; };
  const Case cases[] = {
      {{{'E', 0}}, 'G', 1, 'E'}, {{{'z', 'X'}}, 0, 1, 'Z'},  // a second byte is not part of the letter
      {{{'3', 0}}, 0, 0, 'Q'},   {{{'3', 0}}, 'g', 1, 'G'}, {{}, 'G', 1, 'G'}, {{}, 0, 0, 'Q'},
  };
  CurrentDevice = transport_.letterAddress = {0, 0, 0};
  BuildDeviceKeyName(*MakeList(1));
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.letter << " " << int(c.transportLetter));
    CurrentDriveLetter = 'Q';
    CurrentDriveIndex = 16;
    registry_.values.clear();
    if (c.registry) registry_.values["V0______DRIVE1"] = *c.registry;
    transport_.letter = c.transportLetter;
    EXPECT_EQ(LookUpDriveLetter(), c.answer);
    EXPECT_EQ(CurrentDriveLetter, c.letter);
    EXPECT_EQ(CurrentDriveIndex, c.letter - 'A');
  }
}

// Sixty items at most, the first device current and marked; the user's
// choice moves the mark and makes its device current, with its letter.
TEST_F(CdromDrivesTest, DevicesAreListedFirstCurrentAndChosenByTheUser) {
  registry_.values = {{"V0______DRIVE1", {'E', 0}}, {"V59_____DRIVE1", {'F', 0}}};
  FakeMenu menu;
  EXPECT_EQ(BuildCdromMenu(menu, MakeList(61)), 1);
  ASSERT_EQ(menu.items.size(), 60u);
  EXPECT_EQ(menu.items[0], (std::pair<std::string, int>{"V0       DRIVE", 140}));
  EXPECT_EQ(menu.items[59], (std::pair<std::string, int>{"V59      DRIVE", 199}));
  EXPECT_EQ(menu.radio, (std::array<int, 3>{0, 59, 0}));
  EXPECT_TRUE(CurrentDevice == (ScsiAddress{0, 0, 0}));
  EXPECT_EQ(CurrentDriveLetter, 'E');
  EXPECT_EQ(Asserts(), 1u);  // for the 61st
  EXPECT_EQ(recorder_.refreshes, 0);

  recorder_.messages.clear();
  SelectCdrom(menu, list_, 199);
  EXPECT_EQ(menu.radio, (std::array<int, 3>{140, 199, 199}));
  EXPECT_TRUE(CurrentDevice == (ScsiAddress{0, 7, 3}));
  EXPECT_EQ(CurrentDriveLetter, 'F');
  SelectCdrom(menu, list_, 140);
  EXPECT_TRUE(recorder_.refreshes == 2 && CurrentDevice == (ScsiAddress{0, 0, 0}));
  EXPECT_EQ(Asserts(), 0u);
}

}  // namespace
}  // namespace corvix
