#include "records/source_guard.h"

#include "common/messages.h"
#include "common/pending_error.h"
#include "common/user_messages.h"
#include "media/sector_source.h"
#include "riff/file_system.h"

namespace corvix {

int RefuseSource(const std::string& path) {
  const SectorSource* source = CurrentSectorSource();
  if (source == nullptr) return 1;
  for (const std::string& file : source->Files()) {
    if (!CurrentFileSystem().SameFile(path, file)) continue;
    const std::string text = "\"" + path + "\" is the disc being read" + (path == file ? "" : " (\"" + file + "\")") +
                             "; it is not written over";
    ShowMessageBox(text.c_str(), kCaption, kMbOk | kMbIconStop);
    SetPendingError(kSourceIsTarget, kStyleError);
    return 0;
  }
  return 1;
}

}  // namespace corvix
