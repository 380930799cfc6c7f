// The engine container for the packer: not built in yet.
#include "tools/packer/TmkfSupport.h"

namespace packer {

namespace {
constexpr char kNotSupported[] = "the tmkf form is not supported yet by this packer";
}

bool TmkfAvailable() {
  return false;
}

bool TmkfEncode(std::span<const uint8_t>, std::vector<uint8_t>*, std::string* why) {
  *why = kNotSupported;
  return false;
}

bool TmkfDecode(std::span<const uint8_t>, std::vector<uint8_t>*, std::string* why) {
  *why = kNotSupported;
  return false;
}

}  // namespace packer
