// DirectX 9.0c check from the version text DirectX setup leaves in the registry.
#include "deploy/DirectXCheck.h"

#include <cstring>

#include "deploy/DeployJob.h"

namespace {

constexpr char kDirectXKey[] = "SOFTWARE\\Microsoft\\DirectX";
constexpr uint32_t kValueBufferBytes = 1200;

// atoi's reading of a field: blanks, an optional sign, digits up to the first non-digit.
int FieldValue(const char* text, size_t from, size_t length) {
  char field[8] = {};
  std::memcpy(field, text + from, length);
  const char* p = field;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  int value = 0;
  while (*p >= '0' && *p <= '9') value = value * 10 + (*p++ - '0');
  return negative ? -value : value;
}

}  // namespace

bool ReadDirectXValue(os::Registry& registry, const char* valueName, char* destination,
                      uint32_t destinationLength) {
  os::RegValue value;
  if (!registry.Read(os::RegRoot::LocalMachine, kDirectXKey, valueName, kValueBufferBytes,
                     &value)) {
    return false;
  }
  if (value.data.size() > destinationLength || value.type != os::kRegSz) return false;
  // strncpy: the text up to its NUL, then NULs up to destinationLength bytes.
  const size_t textLength = strnlen(value.data.data(), value.data.size());
  std::memset(destination, 0, destinationLength);
  std::memcpy(destination, value.data.data(), textLength);
  return true;
}

int DeployJob::IsDirectX9cPresent() {
  char text[400] = {};
  if (!ReadDirectXValue(_platform.registry, "Version", text, 399)) return 0;
  // Fixed positions of M.vv.rr.bbbb; the dots are not looked for.
  const int version = FieldValue(text, 2, 2);
  const int revision = FieldValue(text, 5, 2);
  const int build = FieldValue(text, 8, 4);
  if (version < 9) return 0;
  if (version > 9) return 1;
  return (build >= 904 || revision != 0) ? 1 : 0;
}

bool DeployJob::CheckDirectX() {
  return IsDirectX9cPresent() != 0;
}
