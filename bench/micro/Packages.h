// Packages and payloads for the micro-benchmarks, built once per process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/fake/FakePlatform.h"

namespace bench {

// The launcher's file: a small image, then a package with the settings, 10,000 content names in
// the FILEINFO list and their items ("\data\dNN\fNNNNN.txt", a few hundred bytes each).
const std::vector<uint8_t>& TenThousandEntryFile();
std::string ContentName(int index);
// Real machine code (this program's own file) repeated up to size bytes.
std::vector<uint8_t> BinaryPayload(size_t size);
// A fake machine whose running program is file.
void InstallAsProgram(fake::FakePlatform& fake, const std::vector<uint8_t>& file);

}  // namespace bench
