// The main window's logic, apart from the window system: what each command
// does and to which list, where the six child windows go, which menu items
// are enabled, when a device notice concerns the current drive, and the
// guard that keeps a second job (or a refresh) from starting inside a
// running one.
#pragma once

#include <cstdint>

namespace corvix {

enum class CommandAction {
  kIgnore,
  kExit,
  kImportWaves,
  kToggleMerge,
  kConvert,  // into the format of the command (output_formats.h)
  kRefresh,
  kAddToBatch,
  kToggleBatchView,
  kRemoveBatchRows,
  kClearBatch,
  kHelpContents,
  kAbout,
  kSelectCdrom,
  kOpenDiscImage,
};

enum class CommandList { kNone, kContents, kBatch };

struct OutputFormat;

struct Command {
  CommandAction action;
  CommandList list;  // the list whose rows the command works on
  const OutputFormat* format = nullptr;  // kConvert: the format
};

// What a menu or pop-up command id does. Drive items 140-198 select a drive
// (199 is passed over, as the window always has); unknown ids are ignored.
Command LookUpCommand(int id);

// True for the commands that run a job or change what the views show; they
// are not started while a job runs.
bool CommandStartsWork(CommandAction action);

struct ChildRect {
  int left, top, width, height;
  bool operator==(const ChildRect&) const = default;
};

struct MainLayout {
  ChildRect treeCaption, tree, contentsCaption, contents, batchCaption, batch;
};

constexpr int kCaptionHeight = 17;

// The child windows for a client area of width × height (integer divisions).
MainLayout LayoutForClient(int width, int height, bool batchShown);
// Where the views are created, before the first size message.
MainLayout LayoutAtCreation(int width, int height);

// Enabled states of the four program commands of "&Convert" and "POPUP1".
struct ProgramCommandStates {
  bool importWaves, convert, combine, addToBatch;
  bool operator==(const ProgramCommandStates&) const = default;
};

// The states for the contents list's current selection: the commands work
// on selected program rows, and combining needs two of them.
ProgramCommandStates StatesForSelection(int selectedProgramRows);

// "Combine to TES" of a pop-up: the contents list's needs two selected rows,
// the batch list's two rows.
bool PopupCombineEnabled(int rowsConcerned);

// A check-mark toggle: the new flag for an item that is checked (or not).
int ToggledFlag(bool checkedNow);

// A device-arrival or removal notice names drives by a mask (bit 0 = A:).
// True when one of them is the drive with index driveIndex (0 = A:).
bool DriveMaskNamesDrive(uint32_t unitMask, uint16_t driveIndex);

// Left (or top) edge that centres a window of the given size on a screen of
// the given size; negative when the window is larger.
int CentredEdge(int screenSize, int windowSize);

// Keeps one job at a time. While a job runs the main window is disabled;
// notices that still arrive (a disc change) ask for a refresh, which runs
// when the job has ended.
class JobGate {
 public:
  // False when a job runs already.
  bool TryBegin();
  // Ends the job; true when a refresh was asked for meanwhile.
  bool End();
  bool Running() const { return running_; }
  // Remembers a refresh for the end of the job; false when no job runs (the
  // caller refreshes at once).
  bool DeferRefresh();

 private:
  bool running_ = false;
  bool refreshPending_ = false;
};

}  // namespace corvix
