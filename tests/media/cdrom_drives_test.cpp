#include "media/cdrom_drives.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "support/fake_scsi.h"
#include "support/test_disc.h"

namespace corvix {
namespace {

using testing::FakeTransport;
using testing::MessageRecorder;

ScsiDevice Device(const char* vendor, const char* product, const char* revision, uint8_t adapter = 0,
                  uint8_t target = 0, uint8_t lun = 0) {
  ScsiDevice d{};
  std::snprintf(d.vendor, sizeof d.vendor, "%s", vendor);
  std::snprintf(d.product, sizeof d.product, "%s", product);
  std::snprintf(d.revision, sizeof d.revision, "%s", revision);
  d.hostAdapter = adapter;
  d.target = target;
  d.lun = lun;
  return d;
}

class FakeRegistry : public DriveLetterRegistry {
 public:
  bool ReadDriveLetterAssignment(const char* key, uint8_t value[2]) override {
    asked.push_back(key);
    const auto it = values.find(key);
    if (it == values.end()) return false;
    value[0] = it->second[0];
    value[1] = it->second[1];
    return true;
  }
  std::map<std::string, std::array<uint8_t, 2>> values;
  std::vector<std::string> asked;
};

// Records what the discovery logic does to the menu.
class FakeMenu : public CdromMenu {
 public:
  struct Item {
    std::string text;
    int identifier;
  };
  struct Radio {
    std::string by;
    int first = -1, last = -1, chosen = -1;
  };
  bool HasMainMenu() override { return hasMainMenu; }
  bool HasPopup() override { return hasPopup; }
  bool ReplaceFirstItem(const char* text, int id) override { return (items.at(0) = {text, id}, true); }
  bool AppendItem(const char* text, int id) override { return (items.push_back({text, id}), true); }
  bool CheckRadioByPosition(int a, int b, int c) override { return (radio = {"position", a, b, c}, true); }
  bool CheckRadioByCommand(int a, int b, int c) override { return (radio = {"command", a, b, c}, true); }
  bool Redraw() override { return ++redraws > 0; }

  std::vector<Item> items{{"No CDROM Found", 0}};
  Radio radio;
  int redraws = 0;
  bool hasMainMenu = true;
  bool hasPopup = true;
};

class CdromDrivesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetScsiState();
    SetDriveLetterRegistry(&registry_);
    SetScsiTransport(&transport_);
    SetUserMessages(&recorder_);
  }
  void TearDown() override {
    FreeList();
    SetDriveLetterRegistry(nullptr);
    SetScsiTransport(nullptr);
    SetUserMessages(nullptr);
    ResetScsiState();
  }
  // A list of n devices, vendor "V<i>", at adapter 0, target i / 8, LUN i % 8.
  ScsiDevice* MakeList(int n) {
    ScsiDevice** tail = &list_;
    for (int i = 0; i < n; ++i) {
      const std::string vendor = "V" + std::to_string(i);
      *tail = new ScsiDevice(Device(vendor.c_str(), "DRIVE", "1.0", 0, static_cast<uint8_t>(i / 8),
                                    static_cast<uint8_t>(i % 8)));
      tail = &(*tail)->next;
    }
    return list_;
  }
  void FreeList() {
    FreeScsiDeviceList(list_);
    list_ = nullptr;
  }
  std::vector<std::string> Asserts() const {
    std::vector<std::string> found;
    for (const auto& m : recorder_.messages) {
      if (m.caption == "ASSERT") found.push_back(m.text);
    }
    return found;
  }

  FakeRegistry registry_;
  FakeTransport transport_;
  MessageRecorder recorder_;
  ScsiDevice* list_ = nullptr;
};

TEST_F(CdromDrivesTest, DeviceKeyNameKeepsPaddingAsUnderscores) {
  struct Case {
    ScsiDevice device;
    const char* expected;
  };
  const Case cases[] = {
      {Device("ABC     ", "CD-ROM DRIVE 40X", "1.00"), "ABC_____CD-ROM_DRIVE_40X1"},
      {Device("TOSHIBA ", "CD-ROM XM-3701TA", "3136"), "TOSHIBA_CD-ROM_XM-3701TA3"},
      {Device("        ", "                ", "    "), "_________________________"},
      {Device("SHORT", "NAME", ""), "SHORTNAME"},  // short texts are not padded here
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    std::memset(DeviceKeyName, 'x', sizeof DeviceKeyName);
    BuildDeviceKeyName(c.device);
    EXPECT_STREQ(DeviceKeyName, c.expected);
  }
}

TEST_F(CdromDrivesTest, DriveLetterFromTheRegistry) {
  struct Case {
    std::array<uint8_t, 2> value;
    int answer;
    char letter;
    uint16_t index;
  };
  const Case cases[] = {
      {{'E', 0}, 1, 'E', 4},
      {{'A', 0}, 1, 'A', 0},
      {{'z', 0}, 1, 'Z', 25},
      {{'E', 'X'}, 1, 'E', 4},  // a second byte is not part of the letter
      {{'3', 0}, 0, 'Q', 16},   // not a letter: the previous one stays
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(1, static_cast<char>(c.value[0])));
    CurrentDriveLetter = 'Q';
    CurrentDriveIndex = 16;
    BuildDeviceKeyName(Device("ABC     ", "CD-ROM DRIVE 40X", "1.00"));
    registry_.values = {{"ABC_____CD-ROM_DRIVE_40X1", c.value}};
    EXPECT_EQ(LookUpDriveLetter(), c.answer);
    EXPECT_EQ(CurrentDriveLetter, c.letter);
    EXPECT_EQ(CurrentDriveIndex, c.index);
  }
}

TEST_F(CdromDrivesTest, WithoutARegistryEntryTheTransportNamesTheLetter) {
  CurrentDevice = {1, 2, 0};
  transport_.letterAddress = {1, 2, 0};
  transport_.letter = 'G';
  EXPECT_EQ(LookUpDriveLetter(), 1);
  EXPECT_EQ(CurrentDriveLetter, 'G');
  EXPECT_EQ(CurrentDriveIndex, 6);

  transport_.letter = 0;
  CurrentDriveLetter = 'G';
  EXPECT_EQ(LookUpDriveLetter(), 0);
  EXPECT_EQ(CurrentDriveLetter, 'G');
  EXPECT_EQ(CurrentDriveIndex, 6);
}

// Without devices the placeholder stays; without a menu nothing is added
// and an ASSERT says so.
TEST_F(CdromDrivesTest, NoDevicesOrNoMenuLeaveThePlaceholder) {
  struct Case {
    const char* name;
    bool mainMenu, popup;
    int devices, answer, redraws;
    size_t asserts;
  };
  const Case cases[] = {
      {"no devices", true, true, 0, 1, 1, 0},
      {"no main menu", false, false, 2, 0, 0, 1},
      {"no pop-up", true, false, 2, 0, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    recorder_.messages.clear();
    FakeMenu menu;
    menu.hasMainMenu = c.mainMenu;
    menu.hasPopup = c.popup;
    EXPECT_EQ(BuildCdromMenu(menu, MakeList(c.devices)), c.answer);
    FreeList();
    ASSERT_EQ(menu.items.size(), 1u);
    EXPECT_EQ(menu.items[0].text, "No CDROM Found");
    EXPECT_EQ(menu.radio.chosen, -1);
    EXPECT_EQ(menu.redraws, c.redraws);
    EXPECT_EQ(Asserts().size(), c.asserts);
    EXPECT_EQ(recorder_.messages.size(), c.asserts);  // nothing else is shown
    EXPECT_TRUE(CurrentDevice == (ScsiAddress{255, 255, 255}));
  }
}

TEST_F(CdromDrivesTest, ThreeDevicesFirstCurrentAndMarked) {
  list_ = new ScsiDevice(Device("ABC     ", "CD-ROM DRIVE 40X", "1.00", 0, 2, 0));
  list_->next = new ScsiDevice(Device("DEF     ", "WRITER          ", "2.00", 0, 4, 0));
  list_->next->next = new ScsiDevice(Device("GHI     ", "READER          ", "3.00", 1, 0, 1));
  registry_.values = {{"ABC_____CD-ROM_DRIVE_40X1", {'E', 0}}, {"GHI_____READER__________3", {'F', 0}}};
  FakeMenu menu;
  EXPECT_EQ(BuildCdromMenu(menu, list_), 1);
  ASSERT_EQ(menu.items.size(), 3u);
  // The vendor's five padding spaces and the separator.
  EXPECT_EQ(menu.items[0].text, "ABC" + std::string(6, ' ') + "CD-ROM DRIVE 40X");
  EXPECT_EQ(menu.items[0].identifier, 140);
  EXPECT_EQ(menu.items[1].identifier, 141);
  EXPECT_EQ(menu.items[2].identifier, 142);
  EXPECT_EQ(menu.radio.by, "position");
  EXPECT_EQ(menu.radio.first, 0);
  EXPECT_EQ(menu.radio.last, 2);
  EXPECT_EQ(menu.radio.chosen, 0);
  EXPECT_TRUE(CurrentDevice == (ScsiAddress{0, 2, 0}));
  EXPECT_EQ(CurrentDriveLetter, 'E');
  EXPECT_EQ(recorder_.refreshes, 0);

  SelectCdrom(menu, list_, 142);
  EXPECT_EQ(menu.radio.by, "command");
  EXPECT_EQ(menu.radio.first, 140);
  EXPECT_EQ(menu.radio.last, 199);
  EXPECT_EQ(menu.radio.chosen, 142);
  EXPECT_TRUE(CurrentDevice == (ScsiAddress{1, 0, 1}));
  EXPECT_STREQ(DeviceKeyName, "GHI_____READER__________3");
  EXPECT_EQ(CurrentDriveLetter, 'F');
  EXPECT_EQ(CurrentDriveIndex, 5);
  EXPECT_EQ(recorder_.refreshes, 1);
  EXPECT_TRUE(Asserts().empty());
}

TEST_F(CdromDrivesTest, SixtyOneDevicesGiveSixtyItemsAndAnAssert) {
  FakeMenu menu;
  EXPECT_EQ(BuildCdromMenu(menu, MakeList(61)), 1);
  ASSERT_EQ(menu.items.size(), 60u);
  EXPECT_EQ(menu.items.back().identifier, 199);
  EXPECT_EQ(menu.items.back().text.substr(0, 3), "V59");
  EXPECT_EQ(menu.radio.last, 59);
  const auto asserts = Asserts();
  ASSERT_EQ(asserts.size(), 1u);
  EXPECT_EQ(asserts[0].rfind("cdrom line:", 0), 0u) << asserts[0];

  recorder_.messages.clear();
  SelectCdrom(menu, list_, 199);
  EXPECT_TRUE(CurrentDevice == (ScsiAddress{0, 7, 3}));
  EXPECT_TRUE(Asserts().empty());
}

TEST_F(CdromDrivesTest, SelectionChecksChangeNothingWhenTheyFail) {
  struct Case {
    const char* name;
    int devices;
    int identifier;
    bool menuPresent;
  };
  const Case cases[] = {
      {"below the range", 3, 139, true},
      {"above the range", 3, 200, true},
      {"no device there", 3, 143, true},
      {"empty list", 0, 140, true},
      {"no menu", 3, 141, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FreeList();
    MakeList(c.devices);
    CurrentDevice = {9, 9, 9};
    recorder_.messages.clear();
    recorder_.refreshes = 0;
    FakeMenu menu;
    menu.hasPopup = c.menuPresent;
    SelectCdrom(menu, list_, c.identifier);
    EXPECT_EQ(Asserts().size(), 1u);
    EXPECT_TRUE(CurrentDevice == (ScsiAddress{9, 9, 9}));
    EXPECT_EQ(menu.radio.chosen, -1);
    EXPECT_EQ(recorder_.refreshes, 0);
  }
}

}  // namespace
}  // namespace corvix
