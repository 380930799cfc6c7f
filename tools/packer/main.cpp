// packer: builds packages for the launcher from a manifest, and lists, verifies and extracts them.
#include <CLI/CLI.hpp>
#include <iostream>

#include "tools/packer/Commands.h"

namespace {

constexpr int kUsageError = 2;

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"packer: builds, lists, verifies and extracts launcher packages"};
  app.require_subcommand(1);
  // Options are spelt the same everywhere; on Windows CLI11 would take "/path" for an option.
  // Set before the subcommands are added, which copy it.
  app.allow_windows_style_options(false);

  packer::BuildOptions build;
  CLI::App* buildCommand =
      app.add_subcommand("build", "Append the package a manifest describes to a launcher");
  buildCommand->add_option("--manifest", build.manifest, "Manifest (JSON)")->required();
  buildCommand->add_option("--launcher", build.launcher, "Launcher executable")->required();
  buildCommand->add_option("--output", build.output, "Executable to write")->required();
  buildCommand->add_option("--base-dir", build.baseDir,
                           "Folder that file paths are relative to (default: the manifest's)");

  std::string listPath;
  CLI::App* listCommand = app.add_subcommand("list", "Print the package index");
  listCommand->add_option("package", listPath, "Executable with a package")->required();

  std::string verifyPath;
  CLI::App* verifyCommand =
      app.add_subcommand("verify", "Check placement, index, CRC-32 and stored forms");
  verifyCommand->add_option("package", verifyPath, "Executable with a package")->required();

  packer::ExtractOptions extract;
  CLI::App* extractCommand = app.add_subcommand("extract", "Write the package's files to a folder");
  extractCommand->add_option("package", extract.package, "Executable with a package")->required();
  extractCommand->add_option("--output", extract.outputDir, "Folder to write to")->required();
  extractCommand->add_flag("--raw", extract.raw, "Keep stored bytes (no inflating or decoding)");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help arrives here as a "success" that prints the help and exits 0.
    const int code = app.exit(e);
    return code == 0 ? 0 : kUsageError;
  }

  if (*buildCommand) return packer::Build(build, std::cout, std::cerr);
  if (*listCommand) return packer::List(listPath, std::cout, std::cerr);
  if (*verifyCommand) return packer::Verify(verifyPath, std::cout, std::cerr);
  return packer::Extract(extract, std::cout, std::cerr);
}
