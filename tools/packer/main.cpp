// packer: builds packages for the launcher from a manifest or a project folder, and lists,
// verifies and extracts them.
#include <CLI/CLI.hpp>
#include <iostream>

#include "tools/packer/Commands.h"
#include "tools/packer/PackFolder.h"

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

  packer::PackFolderOptions pack;
  std::string name, installPath, shortcut, startupDir;
  int winampVersion = 0;
  CLI::App* packCommand = app.add_subcommand(
      "pack-folder", "Append a package made from a project folder, the kit and settings");
  packCommand->add_option("--project", pack.project, "Project folder")->required();
  packCommand->add_option("--kit", pack.kit, "Folder with the kit's programs")->required();
  packCommand->add_option("--launcher", pack.launcher, "Launcher executable")->required();
  packCommand->add_option("--output", pack.output, "Executable to write")->required();
  packCommand->add_option("--type", pack.type, "run, folder, screensaver or plugin")
      ->required()
      ->check(CLI::IsMember({"run", "folder", "screensaver", "plugin"}));
  packCommand->add_option("--start", pack.start,
                          "Start project, relative to the project folder (default: start.orv)");
  CLI::Option* nameOption =
      packCommand->add_option("--name", name, "ProjectName (default: the project folder's name)");
  CLI::Option* installPathOption = packCommand->add_option(
      "--install-path", installPath, "InstallPath (default: C:\\Program Files\\<name>)");
  CLI::Option* shortcutOption =
      packCommand->add_option("--shortcut", shortcut, "ShortCutName (default: \\<name>\\<name>)");
  CLI::Option* startupDirOption = packCommand->add_option(
      "--startup-dir", startupDir, "StartupDirectory (default: C:\\Program Files\\<name>)");
  CLI::Option* winampOption =
      packCommand->add_option("--winamp-version", winampVersion, "WinampVersion (default: 5)")
          ->check(CLI::Range(0, 255));
  packCommand->add_flag("--check-dx8", pack.checkDx8, "CheckDx8: check for DirectX 9.0c");
  packCommand->add_flag("--run-after-install", pack.runAfterInstall,
                        "RunAfterInstall: start the project when installed");
  packCommand->add_flag("--quit-cgr", pack.quitCgr, "DoQuitCgr");
  packCommand->add_flag("--small-preview", pack.smallPreview, "DoSmallPreview");
  packCommand->add_option("--manifest-out", pack.manifestOut,
                          "Also write the equivalent manifest for the build command");

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
  if (*extractCommand) return packer::Extract(extract, std::cout, std::cerr);
  if (*nameOption) pack.name = name;
  if (*installPathOption) pack.installPath = installPath;
  if (*shortcutOption) pack.shortcut = shortcut;
  if (*startupDirOption) pack.startupDir = startupDir;
  if (*winampOption) pack.winampVersion = winampVersion;
  return packer::PackFolder(pack, std::cout, std::cerr);
}
