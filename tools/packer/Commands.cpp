// The packer's commands over the writer and the package parser.
#include "tools/packer/Commands.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <span>
#include <sstream>
#include <system_error>
#include <vector>

#include "package/Crc32.h"
#include "package/PackageFormat.h"
#include "package/PackageWriter.h"
#include "tools/packer/Manifest.h"
#include "tools/packer/PackageImage.h"
#include "tools/packer/TmkfSupport.h"

namespace packer {
namespace {

namespace fs = std::filesystem;

bool ReadFile(const std::string& path, std::vector<uint8_t>* out, std::ostream& err) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    err << "error: cannot open " << path << "\n";
    return false;
  }
  out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    err << "error: cannot read " << path << "\n";
    return false;
  }
  return true;
}

std::string Hex32(uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof(text), "%08X", value);
  return text;
}

std::string Label(const ImageEntry& entry, size_t index) {
  return "item " + std::to_string(index) + " " + entry.category + "/" + entry.name;
}

std::span<const uint8_t> ItemBytes(const std::vector<uint8_t>& file, const ImageEntry& entry) {
  return std::span<const uint8_t>(file).subspan(entry.offset, entry.size);
}

bool InsideFile(const PackageImage& image, const ImageEntry& entry) {
  return entry.offset + entry.size <= image.fileSize;
}

std::string Folded(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  }
  return text;
}

bool IsDeviceName(const std::string& component) {
  static const std::set<std::string> kDevices = {"CON", "PRN", "AUX", "NUL"};
  const std::string base = Folded(component.substr(0, component.find('.')));
  if (kDevices.count(base)) return true;
  return base.size() == 4 && (base.rfind("COM", 0) == 0 || base.rfind("LPT", 0) == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

// Opens the package file and parses it; false (with the error written) when there is none.
bool OpenPackage(const std::string& path, std::vector<uint8_t>* file, PackageImage* image,
                 std::ostream& err) {
  if (!ReadFile(path, file, err)) return false;
  *image = ParsePackage(*file);
  if (image->foundBy == FoundBy::Nothing) {
    err << "error: no package in " << path << "\n";
    return false;
  }
  return true;
}

std::string WhereFound(const PackageImage& image) {
  if (image.foundBy == FoundBy::TrailingOffset) return "found through the trailing offset";
  return "found only by the marker search (trailing offset " +
         std::to_string(image.trailingOffset) + ")";
}

// Problems of the package as a whole: where it was found and the index.
void CheckLayout(const PackageImage& image, std::vector<std::string>* problems) {
  if (image.foundBy == FoundBy::MarkerSearch) {
    problems->push_back("package offset: the trailing offset " +
                        std::to_string(image.trailingOffset) +
                        " does not lead to the marker; only the marker search finds it at " +
                        std::to_string(image.packageOffset));
  }
  if (!image.indexWhole) {
    problems->push_back("index: " + image.indexProblem);
    return;
  }
  if (image.headerLength != image.ComputedHeaderLength()) {
    problems->push_back("index: header length is stored as " + std::to_string(image.headerLength) +
                        ", the entries take " + std::to_string(image.ComputedHeaderLength()));
  }
  if (image.foundBy == FoundBy::TrailingOffset && !image.entries.empty() &&
      InsideFile(image, image.entries.back())) {
    const uint64_t itemsEnd = image.entries.back().offset + image.entries.back().size;
    const uint64_t trailerStart = image.fileSize - package::kTrailerBytes;
    if (itemsEnd != trailerStart) {
      problems->push_back("items end at " + std::to_string(itemsEnd) +
                          ", but the package offset field starts at " +
                          std::to_string(trailerStart));
    }
  }
}

// Problems of one item: place, CRC-32 and, by the look of its bytes, its stored form.
void CheckItem(const std::vector<uint8_t>& file, const PackageImage& image, size_t index,
               const Crc32& crc, std::vector<std::string>* problems) {
  const ImageEntry& entry = image.entries[index];
  const std::string label = Label(entry, index);
  if (!InsideFile(image, entry)) {
    problems->push_back(label + ": runs past the end of the file (ends at " +
                        std::to_string(entry.offset + entry.size) + " of " +
                        std::to_string(image.fileSize) + ")");
    return;
  }
  const std::span<const uint8_t> bytes = ItemBytes(file, entry);
  const uint32_t computed = crc.Compute(bytes.data(), bytes.size());
  if (computed != entry.crc) {
    problems->push_back(label + ": crc mismatch (stored " + Hex32(entry.crc) + ", computed " +
                        Hex32(computed) + ")");
  }
  const std::string form = GuessForm(bytes);
  std::string why;
  if (form == "zlib" && entry.category == package::kAppData &&
      !InflateZlibForm(bytes, nullptr, &why)) {
    problems->push_back(label + ": zlib form: " + why);
  }
  std::vector<uint8_t> decoded;
  if (form == "tmkf" && TmkfAvailable() && !TmkfDecode(bytes, &decoded, &why)) {
    problems->push_back(label + ": tmkf container: " + why);
  }
}

void WarnAboutDuplicates(const PackageImage& image, std::ostream& out) {
  std::set<std::string> seen;
  for (size_t i = 0; i < image.entries.size(); ++i) {
    const ImageEntry& entry = image.entries[i];
    if (!seen.insert(Folded(entry.category) + '\n' + Folded(entry.name)).second) {
      out << "warning: " << Label(entry, i) << " repeats an earlier entry; readers never see it\n";
    }
  }
}

bool IsFileItem(const ImageEntry& entry) {
  return entry.category == package::kAppData &&
         entry.name.find_first_of("./\\") != std::string::npos;
}

// The bytes to write for an item: stored, inflated or decoded.
bool ExtractedBytes(std::span<const uint8_t> stored, bool raw, std::vector<uint8_t>* out,
                    std::string* why) {
  const std::string form = GuessForm(stored);
  if (!raw && form == "zlib") return InflateZlibForm(stored, out, why);
  if (!raw && form == "tmkf" && TmkfAvailable()) return TmkfDecode(stored, out, why);
  out->assign(stored.begin(), stored.end());
  return true;
}

bool WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes, std::string* why) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  if (ec) return *why = "cannot create folder " + path.parent_path().string(), false;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  out.close();
  if (!out) return *why = "cannot write " + path.string(), false;
  return true;
}

// One file item to the output folder; false with the reason.
bool ExtractItem(const std::vector<uint8_t>& file, const PackageImage& image, size_t index,
                 const ExtractOptions& options, const Crc32& crc, std::set<std::string>* written,
                 std::string* why) {
  const ImageEntry& entry = image.entries[index];
  fs::path relative;
  if (!ItemRelativePath(entry.name, &relative, why)) return false;
  // Names are compared ignoring case, so only the first of equal names is what readers get.
  if (!written->insert(Folded(relative.generic_string())).second) {
    return *why = "repeats an earlier item's path", false;
  }
  if (!InsideFile(image, entry)) return *why = "runs past the end of the file", false;
  const std::span<const uint8_t> stored = ItemBytes(file, entry);
  if (crc.Compute(stored.data(), stored.size()) != entry.crc) return *why = "crc mismatch", false;
  std::vector<uint8_t> bytes;
  if (!ExtractedBytes(stored, options.raw, &bytes, why)) return false;
  return WriteFile(fs::path(options.outputDir) / relative, bytes, why);
}

}  // namespace

bool ItemRelativePath(const std::string& name, fs::path* out, std::string* why) {
  const auto isSeparator = [](char c) { return c == '\\' || c == '/'; };
  if (name.size() >= 2 && isSeparator(name[0]) && isSeparator(name[1])) {
    return *why = "is a network path", false;
  }
  if (name.find(':') != std::string::npos) return *why = "holds a drive letter or ':'", false;
  if (std::any_of(name.begin(), name.end(), [](char c) { return uint8_t(c) < 0x20; })) {
    return *why = "holds a control character", false;
  }
  if (name.empty() || isSeparator(name.back())) return *why = "has no file name", false;
  fs::path path;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = start;
    while (end < name.size() && !isSeparator(name[end])) ++end;
    const std::string component = name.substr(start, end - start);
    start = end + 1;
    if (component.empty() || component == ".") continue;
    if (component == "..") return *why = "climbs out with \"..\"", false;
    if (component.back() == '.' || component.back() == ' ') {
      return *why = "has a component ending in '.' or ' '", false;
    }
    if (IsDeviceName(component)) return *why = "names a Windows device", false;
    path /= fs::path(component);
  }
  if (path.empty()) return *why = "has no file name", false;
  *out = path;
  return true;
}

int Build(const BuildOptions& options, std::ostream& out, std::ostream& err) {
  std::vector<uint8_t> manifestBytes;
  if (!ReadFile(options.manifest, &manifestBytes, err)) return 1;
  const fs::path baseDir = options.baseDir.empty() ? fs::path(options.manifest).parent_path()
                                                   : fs::path(options.baseDir);
  return BuildFromManifestText(std::string(manifestBytes.begin(), manifestBytes.end()),
                               options.manifest, baseDir, options.launcher, options.output, out,
                               err);
}

int BuildFromManifestText(const std::string& manifest, const std::string& label,
                          const fs::path& baseDir, const std::string& launcher,
                          const std::string& output, std::ostream& out, std::ostream& err) {
  package::PackageWriter writer;
  std::string error;
  if (!LoadManifest(manifest, baseDir, &writer, &error)) {
    err << "error: " << label << ": " << error << "\n";
    return 1;
  }
  std::error_code ec;
  if (fs::equivalent(launcher, output, ec)) {
    err << "error: the output would overwrite the launcher " << launcher << "\n";
    return 1;
  }
  if (!writer.WriteExecutableFile(launcher, output)) {
    err << "error: " << writer.Error() << "\n";
    return 1;
  }
  out << "wrote " << output << ": " << writer.Count() << " items, header length "
      << writer.HeaderLength() << ", package of " << writer.PackageSize() << " bytes\n";
  return 0;
}

int List(const std::string& packagePath, std::ostream& out, std::ostream& err) {
  std::vector<uint8_t> file;
  PackageImage image;
  if (!OpenPackage(packagePath, &file, &image, err)) return 1;
  out << "package offset " << image.packageOffset << ", " << WhereFound(image) << "\n";
  if (image.indexWhole) out << "header length " << image.headerLength << "\n";
  out << image.entries.size() << " entries\n";
  char line[600];
  std::snprintf(line, sizeof(line), "%5s  %-12s %-32s %10s  %-8s  %-6s  %s\n", "index", "category",
                "name", "size", "crc", "form", "value");
  out << line;
  for (size_t i = 0; i < image.entries.size(); ++i) {
    const ImageEntry& entry = image.entries[i];
    std::string form = "?", value = "(outside the file)";
    if (image.indexWhole && InsideFile(image, entry)) {
      form = GuessForm(ItemBytes(file, entry));
      value = ValuePreview(form, ItemBytes(file, entry));
    }
    std::snprintf(line, sizeof(line), "%5zu  %-12s %-32s %10u  %08X  %-6s  %s\n", i,
                  entry.category.c_str(), entry.name.c_str(), entry.size, entry.crc, form.c_str(),
                  value.c_str());
    out << line;
  }
  if (!image.indexWhole) {
    err << "error: the index stops early: " << image.indexProblem << "\n";
    return 1;
  }
  return 0;
}

int Verify(const std::string& packagePath, std::ostream& out, std::ostream& err) {
  std::vector<uint8_t> file;
  PackageImage image;
  if (!ReadFile(packagePath, &file, err)) return 1;
  image = ParsePackage(file);
  if (image.foundBy == FoundBy::Nothing) {
    out << "package offset: the trailing offset " << image.trailingOffset
        << " does not lead to the marker, and the marker search finds none\n";
    return 1;
  }
  if (!image.markerUpperCase) {
    out << "warning: the marker at " << image.packageOffset
        << " is not in upper case: the launcher accepts it at the trailing offset only, never by "
           "its search\n";
  }
  WarnAboutDuplicates(image, out);
  std::vector<std::string> problems;
  CheckLayout(image, &problems);
  if (image.indexWhole) {
    Crc32 crc;
    crc.BuildTable();
    for (size_t i = 0; i < image.entries.size(); ++i) CheckItem(file, image, i, crc, &problems);
  }
  for (const std::string& problem : problems) out << problem << "\n";
  if (!problems.empty()) return 1;
  out << "ok: " << image.entries.size() << " items\n";
  return 0;
}

int Extract(const ExtractOptions& options, std::ostream& out, std::ostream& err) {
  std::vector<uint8_t> file;
  PackageImage image;
  if (!OpenPackage(options.package, &file, &image, err)) return 1;
  if (!image.indexWhole) {
    err << "error: the index stops early: " << image.indexProblem << "\n";
    return 1;
  }
  Crc32 crc;
  crc.BuildTable();
  std::set<std::string> written;
  size_t extracted = 0, failed = 0;
  for (size_t i = 0; i < image.entries.size(); ++i) {
    if (!IsFileItem(image.entries[i])) continue;
    std::string why;
    if (ExtractItem(file, image, i, options, crc, &written, &why)) {
      ++extracted;
    } else {
      err << "error: " << Label(image.entries[i], i) << ": " << why << "\n";
      ++failed;
    }
  }
  out << "extracted " << extracted << " files to " << options.outputDir << "\n";
  return failed == 0 ? 0 : 1;
}

}  // namespace packer
