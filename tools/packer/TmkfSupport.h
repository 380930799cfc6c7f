// The engine container ("TMKF") for the packer, when the build has the container library.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace packer {

// False when this packer was built without the container library; the functions below then
// fail with a reason saying so.
bool TmkfAvailable();
bool TmkfEncode(std::span<const uint8_t> data, std::vector<uint8_t>* out, std::string* why);
// Rejects a damaged container; *out holds the decoded bytes on success.
bool TmkfDecode(std::span<const uint8_t> container, std::vector<uint8_t>* out, std::string* why);

}  // namespace packer
