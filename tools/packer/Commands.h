// The packer's commands, callable without the command line: each returns the process exit
// code (0 done, 1 failed) and writes its report to out and its errors to err.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>

namespace packer {

struct BuildOptions {
  std::string manifest;
  std::string launcher;
  std::string output;
  std::string baseDir;  // empty: the manifest's folder
};

// The launcher's bytes followed by the package the manifest describes, written to output.
int Build(const BuildOptions& options, std::ostream& out, std::ostream& err);

// Build for a manifest held in memory; label names it in error messages.
int BuildFromManifestText(const std::string& manifest, const std::string& label,
                          const std::filesystem::path& baseDir, const std::string& launcher,
                          const std::string& output, std::ostream& out, std::ostream& err);

// One line per index entry (index, category, name, size, crc, guessed form, value), then where
// the package was found.
int List(const std::string& packagePath, std::ostream& out, std::ostream& err);

// Checks what the launcher relies on: the package found through the trailing offset, a whole
// index, items inside the file, every CRC-32, zlib-form items that inflate to their stored
// length (and containers that decode, when the packer has the container library). Prints one
// line per problem and fails if there is any; otherwise prints "ok: N items".
int Verify(const std::string& packagePath, std::ostream& out, std::ostream& err);

struct ExtractOptions {
  std::string package;
  std::string outputDir;
  bool raw = false;  // keep stored bytes instead of inflating or decoding
};

// Writes every "APPDATA" item whose name is a file path (it holds a '.', '\' or '/') below the
// output folder. Items that fail their CRC-32 or cannot be decoded, and names refused by
// ItemRelativePath, are reported and skipped, and make the command fail.
int Extract(const ExtractOptions& options, std::ostream& out, std::ostream& err);

// The path below the output folder that an item name gives. '\' and '/' separate folders; a
// single leading separator is allowed, since the launcher also puts such names below its work
// folder. Refused, with the reason in *why: ".." and other components ending in '.' or ' ', a
// drive letter or any ':', a network path (two leading separators), control characters, the
// Windows device names, and names without a file name.
bool ItemRelativePath(const std::string& name, std::filesystem::path* out, std::string* why);

}  // namespace packer
