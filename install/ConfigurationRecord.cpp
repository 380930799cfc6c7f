// Player configuration record.
#include "install/ConfigurationRecord.h"

#include <cstring>
#include <string>

#include "deploy/DeployJob.h"
#include "deploy/EngineInterface.h"

namespace {

constexpr uint32_t kFieldBytes = 259;
// The record's path lives in a 260-byte buffer.
constexpr size_t kMaxRecordPath = 259;
// The players read the start path up to its NUL, which must fit the field.
constexpr size_t kMaxStartPath = kFieldBytes - 1;
constexpr int32_t kSctiValue = 20;

// The screensaver's option bytes, in the order they are written.
struct Option {
  const char* setting;
  const char* tag;
};
constexpr Option kOptions[] = {{"DoQuitCgr", "SCQC"}, {"DoSmallPreview", "SCSP"}};

}  // namespace

bool WriteConfigurationRecord(FileSaverChannel* saver, DeployJob& job, const char* fileName,
                              bool withScreensaverOptions) {
  if (saver == nullptr || fileName == nullptr) return true;
  const std::string path = std::string(job.workDir) + fileName;
  const std::string startPath = std::string(job.workDir) + "\\ORVStart.orv";
  // A cut path would name another file: such a record is treated as one that does not open.
  const bool fits = path.size() <= kMaxRecordPath && startPath.size() <= kMaxStartPath;
  if (fits && saver->Open(path.c_str(), 0) != 0) {
    char field[kFieldBytes] = {};
    std::memcpy(field, startPath.c_str(), startPath.size());
    saver->BeginChunk("SCFP");
    saver->WriteChunkSize(kFieldBytes);
    saver->WriteData(field, kFieldBytes);

    // Little-endian whatever the host, as the players expect.
    const uint32_t value = static_cast<uint32_t>(kSctiValue);
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    saver->BeginChunk("SCTI");
    saver->WriteChunkSize(sizeof(bytes));
    saver->WriteData(bytes, sizeof(bytes));

    if (withScreensaverOptions) {
      for (const Option& o : kOptions) {
        uint8_t option = 0;
        if (!job.LoadItem(o.setting, &option, 1, nullptr)) {
          job.Message(std::string("Can't find project type ") + o.setting, "Error", os::kMbOk);
          // The begun record is ended so the saver can be released; it is not listed.
          saver->Close();
          return false;
        }
        saver->BeginChunk(o.tag);
        saver->WriteChunkSize(1);
        saver->WriteData(&option, 1);
      }
    }
  }
  saver->Close();
  // Listed even when it did not open, so that the uninstall record names it.
  RecordPath(job.createdFiles, path);
  return true;
}
