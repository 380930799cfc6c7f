// The packer's manifest: a JSON list of items, and optional damage, turned into a package.
#pragma once

#include <filesystem>
#include <string>

#include "package/PackageWriter.h"

namespace packer {

// Adds the manifest's items to writer in order and applies its damage settings. File items are
// read relative to baseDir. Unknown keys are errors, so that a typo does not go unnoticed. False
// with a message naming the item and key at fault; writer may then hold some of the items.
bool LoadManifest(const std::string& text, const std::filesystem::path& baseDir,
                  package::PackageWriter* writer, std::string* error);

// A UTF-8 text (as JSON and the command line give it) as a path, on every system.
std::filesystem::path Utf8Path(const std::string& text);

}  // namespace packer
