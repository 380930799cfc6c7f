// Uninstall record.
#include "install/UninstallRecord.h"

#include <cstring>
#include <string>

#include "deploy/DeployJob.h"
#include "deploy/EngineInterface.h"

namespace {

constexpr uint32_t kFieldBytes = 259;

void WriteCount(FileSaverChannel* saver, const char* tag, int32_t count) {
  // Little-endian whatever the host, as the record's readers expect.
  const uint32_t value = static_cast<uint32_t>(count);
  const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  saver->BeginChunk(tag);
  saver->WriteChunkSize(sizeof(bytes));
  saver->WriteData(bytes, sizeof(bytes));
}

void WritePath(FileSaverChannel* saver, const char* tag, const void* entry) {
  char field[kFieldBytes + 1] = {};
  if (entry != nullptr) std::strncpy(field, static_cast<const char*>(entry), kFieldBytes);
  saver->BeginChunk(tag);
  saver->WriteChunkSize(kFieldBytes);
  saver->WriteData(field, kFieldBytes);
}

}  // namespace

void WriteUninstallRecord(FileSaverChannel* saver, DeployJob& job, const char* projectName259,
                          bool endMarker) {
  if (saver == nullptr) return;
  const std::string path = std::string(job.workDir) + "\\uninstall.nfo";
  if (saver->Open(path.c_str(), 0) != 0) {
    const int32_t files = job.createdFiles.Count();
    WriteCount(saver, "UNFC", files);
    for (int32_t i = 0; i < files; ++i) WritePath(saver, "UNFN", job.createdFiles.Get(i));
    // Children were recorded after their parents: reversed, each folder precedes its parent.
    const int32_t dirs = job.createdDirs.Count();
    WriteCount(saver, "UNDC", dirs);
    for (int32_t j = dirs - 1; j >= 0; --j) WritePath(saver, "UNDN", job.createdDirs.Get(j));
    const char noName[kFieldBytes] = {};
    saver->BeginChunk("UNPN");
    saver->WriteChunkSize(kFieldBytes);
    saver->WriteData(projectName259 != nullptr ? projectName259 : noName, kFieldBytes);
    if (endMarker) saver->BeginChunk("UNSK");
  }
  saver->Close();
}
