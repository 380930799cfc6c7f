// Manifest reading: every key checked, every failure named by item and key.
#include "tools/packer/Manifest.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>

#include "package/PackageFormat.h"
#include "tools/packer/TmkfSupport.h"

namespace packer {
namespace {

using nlohmann::json;

const std::set<std::string> kContentKeys = {"number", "flag", "text", "hex", "file", "list"};
const std::set<std::string> kItemKeys = {"category", "name", "number", "flag", "text",
                                         "hex",      "file", "form",   "crc",  "flip_byte"};
const std::set<std::string> kListKeys = {"category", "list", "count", "names"};
const std::set<std::string> kDamageKeys = {"package_offset", "lower_case_marker", "append_hex"};

// An unsigned 32-bit value: a JSON integer, or a string of hex digits after "0x".
bool ToU32(const json& value, uint32_t* out) {
  if (value.is_number_unsigned()) {
    const uint64_t v = value.get<uint64_t>();
    if (v > std::numeric_limits<uint32_t>::max()) return false;
    *out = uint32_t(v);
    return true;
  }
  if (!value.is_string()) return false;
  const std::string text = value.get<std::string>();
  if (text.size() < 3 || text.size() > 10 ||
      (text.rfind("0x", 0) != 0 && text.rfind("0X", 0) != 0)) {
    return false;
  }
  if (!std::all_of(text.begin() + 2, text.end(),
                   [](char c) { return std::isxdigit(uint8_t(c)); })) {
    return false;
  }
  *out = uint32_t(std::stoul(text.substr(2), nullptr, 16));
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Pairs of hex digits; blanks between the pairs are allowed for readability.
bool ParseHex(const std::string& text, std::vector<uint8_t>* out) {
  out->clear();
  int high = -1;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\n') {
      if (high >= 0) return false;
      continue;
    }
    const int digit = HexDigit(c);
    if (digit < 0) return false;
    if (high < 0) {
      high = digit;
    } else {
      out->push_back(uint8_t(high << 4 | digit));
      high = -1;
    }
  }
  return high < 0;
}

bool ReadWholeFile(const std::filesystem::path& path, std::vector<uint8_t>* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

class ItemLoader {
 public:
  ItemLoader(const std::filesystem::path& baseDir, package::PackageWriter* writer)
      : _baseDir(baseDir), _writer(writer) {}

  // The message of the last failure, without the item's description.
  const std::string& Why() const { return _why; }

  bool Load(const json& item) {
    if (!item.is_object()) return Fail("is not an object");
    if (!StringKey(item, "category", &_category, false)) return false;
    if (_category.empty()) _category = package::kAppData;
    // Unknown keys first: a misspelt content key would otherwise read as a missing one.
    if (!CheckKeys(item, item.contains("list") ? kListKeys : kItemKeys)) return false;
    int contents = 0;
    for (const auto& [key, value] : item.items()) contents += kContentKeys.count(key) ? 1 : 0;
    if (contents != 1) return Fail("needs exactly one of number, flag, text, hex, file, list");
    return item.contains("list") ? LoadList(item) : LoadSingle(item);
  }

 private:
  bool Fail(std::string why) {
    _why = std::move(why);
    return false;
  }

  bool CheckKeys(const json& item, const std::set<std::string>& allowed) {
    for (const auto& [key, value] : item.items()) {
      if (!allowed.count(key)) return Fail("unknown key \"" + key + "\"");
    }
    return true;
  }

  bool StringKey(const json& item, const char* key, std::string* out, bool required) {
    out->clear();
    if (!item.contains(key)) return required ? Fail(std::string("needs \"") + key + "\"") : true;
    if (!item[key].is_string()) return Fail(std::string("\"") + key + "\" must be a string");
    *out = item[key].get<std::string>();
    return true;
  }

  bool WriterResult(bool ok) { return ok ? true : Fail(_writer->Error()); }

  bool LoadList(const json& item) {
    std::string prefix, countName;
    if (!StringKey(item, "list", &prefix, true) || !StringKey(item, "count", &countName, true)) {
      return false;
    }
    if (!item.contains("names") || !item["names"].is_array()) {
      return Fail("\"names\" must be an array of strings");
    }
    std::vector<std::string> names;
    for (const json& name : item["names"]) {
      if (!name.is_string()) return Fail("\"names\" must be an array of strings");
      names.push_back(name.get<std::string>());
    }
    return WriterResult(_writer->AddList(_category, countName, prefix, names));
  }

  bool LoadSingle(const json& item) {
    std::string name;
    if (!StringKey(item, "name", &name, true)) return false;
    if (item.contains("form") && !item.contains("file")) return Fail("\"form\" goes with \"file\"");
    if (!AddContent(item, name)) return false;
    return ApplyDamage(item);
  }

  bool AddContent(const json& item, const std::string& name) {
    if (item.contains("number")) {
      uint32_t value = 0;
      if (!ToU32(item["number"], &value)) return Fail("\"number\" must be 0..4294967295");
      return WriterResult(_writer->AddNumber(_category, name, value));
    }
    if (item.contains("flag")) {
      const json& value = item["flag"];
      if (value.is_boolean())
        return WriterResult(_writer->AddFlag(_category, name, value.get<bool>()));
      if (!value.is_number_unsigned() || value.get<uint64_t>() > 255) {
        return Fail("\"flag\" must be 0..255 or a boolean");
      }
      return WriterResult(_writer->AddFlag(_category, name, uint8_t(value.get<uint64_t>())));
    }
    std::string text;
    if (item.contains("text")) {
      if (!StringKey(item, "text", &text, true)) return false;
      return WriterResult(_writer->AddText(_category, name, text));
    }
    if (item.contains("hex")) {
      std::vector<uint8_t> bytes;
      if (!StringKey(item, "hex", &text, true)) return false;
      if (!ParseHex(text, &bytes)) return Fail("\"hex\" must be pairs of hex digits");
      return WriterResult(_writer->AddBytes(_category, name, bytes));
    }
    return AddFile(item, name);
  }

  bool AddFile(const json& item, const std::string& name) {
    std::string file, form;
    if (!StringKey(item, "file", &file, true) || !StringKey(item, "form", &form, false)) {
      return false;
    }
    if (form.empty()) form = "raw";
    if (form != "raw" && form != "zlib" && form != "tmkf") {
      return Fail("\"form\" must be \"raw\", \"zlib\" or \"tmkf\"");
    }
    const std::filesystem::path path = _baseDir / Utf8Path(file);
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, &bytes)) return Fail("cannot read " + path.string());
    if (form == "zlib") return WriterResult(_writer->AddZlib(_category, name, bytes));
    if (form == "tmkf") {
      std::vector<uint8_t> container;
      std::string why;
      if (!TmkfEncode(bytes, &container, &why)) return Fail("form \"tmkf\": " + why);
      bytes = std::move(container);
    }
    return WriterResult(_writer->AddBytes(_category, name, bytes));
  }

  bool ApplyDamage(const json& item) {
    const size_t index = _writer->Count() - 1;
    if (item.contains("crc")) {
      uint32_t crc = 0;
      if (!ToU32(item["crc"], &crc)) return Fail("\"crc\" must be 0..4294967295 or \"0x...\"");
      _writer->OverrideCrc(index, crc);
    }
    if (item.contains("flip_byte")) {
      uint32_t byte = 0;
      if (!ToU32(item["flip_byte"], &byte)) return Fail("\"flip_byte\" must be a byte index");
      return WriterResult(_writer->FlipByte(index, byte));
    }
    return true;
  }

  const std::filesystem::path& _baseDir;
  package::PackageWriter* _writer;
  std::string _category;
  std::string _why;
};

bool LoadDamage(const json& damage, package::PackageWriter* writer, std::string* error) {
  if (!damage.is_object()) return *error = "\"damage\" must be an object", false;
  for (const auto& [key, value] : damage.items()) {
    if (!kDamageKeys.count(key)) return *error = "damage: unknown key \"" + key + "\"", false;
  }
  if (damage.contains("package_offset")) {
    uint32_t offset = 0;
    if (!ToU32(damage["package_offset"], &offset)) {
      return *error = "damage: \"package_offset\" must be 0..4294967295", false;
    }
    writer->OverridePackageOffset(offset);
  }
  if (damage.contains("lower_case_marker")) {
    if (!damage["lower_case_marker"].is_boolean()) {
      return *error = "damage: \"lower_case_marker\" must be a boolean", false;
    }
    writer->SetLowerCaseMarker(damage["lower_case_marker"].get<bool>());
  }
  if (damage.contains("append_hex")) {
    std::vector<uint8_t> bytes;
    if (!damage["append_hex"].is_string() ||
        !ParseHex(damage["append_hex"].get<std::string>(), &bytes)) {
      return *error = "damage: \"append_hex\" must be pairs of hex digits", false;
    }
    writer->AppendAfterPackage(bytes);
  }
  return true;
}

std::string Describe(const json& item, size_t index) {
  std::string text = "item " + std::to_string(index);
  if (item.is_object() && item.contains("name") && item["name"].is_string()) {
    text += " (" + item["name"].get<std::string>() + ")";
  } else if (item.is_object() && item.contains("count") && item["count"].is_string()) {
    text += " (list " + item["count"].get<std::string>() + ")";
  }
  return text;
}

// nlohmann's messages start with "[json.exception.parse_error.101] ": keep what follows.
std::string ShortJsonMessage(const std::string& what) {
  const size_t end = what.find("] ");
  return end == std::string::npos ? what : what.substr(end + 2);
}

}  // namespace

std::filesystem::path Utf8Path(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

bool LoadManifest(const std::string& text, const std::filesystem::path& baseDir,
                  package::PackageWriter* writer, std::string* error) {
  json root;
  try {
    root = json::parse(text);
  } catch (const json::exception& e) {
    *error = ShortJsonMessage(e.what());
    return false;
  }
  if (!root.is_object()) return *error = "the manifest must be a JSON object", false;
  for (const auto& [key, value] : root.items()) {
    if (key != "items" && key != "damage") return *error = "unknown key \"" + key + "\"", false;
  }
  if (!root.contains("items") || !root["items"].is_array()) {
    return *error = "the manifest needs an \"items\" array", false;
  }
  ItemLoader loader(baseDir, writer);
  size_t index = 0;
  for (const json& item : root["items"]) {
    if (!loader.Load(item)) {
      *error = Describe(item, index) + ": " + loader.Why();
      return false;
    }
    ++index;
  }
  return !root.contains("damage") || LoadDamage(root["damage"], writer, error);
}

}  // namespace packer
