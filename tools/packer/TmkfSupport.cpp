// The engine container for the packer: the container library when the build has it.
#include "tools/packer/TmkfSupport.h"

#ifdef ORV_HAVE_TMKF
#include "kit/engine/TmkfContainer.h"
#endif

namespace packer {

#ifdef ORV_HAVE_TMKF

bool TmkfAvailable() {
  return true;
}

bool TmkfEncode(std::span<const uint8_t> data, std::vector<uint8_t>* out, std::string* why) {
  *out = tmkf::Encode(data);
  if (out->empty()) return *why = "too large for a container (4 GiB or more)", false;
  return true;
}

bool TmkfDecode(std::span<const uint8_t> container, std::vector<uint8_t>* out, std::string* why) {
  if (tmkf::Decode(container, out)) return true;
  tmkf::Header header;
  if (!tmkf::ReadHeader(container, &header)) return *why = "damaged header", false;
  *why = "damaged container (version " + std::to_string(header.version) + ", " +
         std::to_string(header.decodedSize) + " bytes announced)";
  return false;
}

#else

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

#endif

}  // namespace packer
