// Minimal JSON reader (for driver scripts) and writer (for driver logs).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace json {

// A parsed JSON value. Strings hold UTF-8; numbers are doubles (scripts only use small integers).
struct Value {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };
  Kind kind = Kind::kNull;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<Value> items;
  std::map<std::string, Value> members;

  bool IsNull() const { return kind == Kind::kNull; }
  bool Has(const std::string& key) const { return members.count(key) != 0; }
  // Member lookup that yields a null value for a missing key, so callers can chain lookups.
  const Value& operator[](const std::string& key) const;
  std::string Str(const std::string& key, const std::string& fallback = "") const;
  long long Int(const std::string& key, long long fallback = 0) const;
  bool Bool(const std::string& key, bool fallback = false) const;
};

// Parses a whole document; on failure returns false and describes the position in *error.
bool Parse(const std::string& input, Value* out, std::string* error);

// Streaming writer that produces valid, indented JSON; the caller balances Begin/End calls.
class Writer {
 public:
  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  void Key(const std::string& key);
  void String(const std::string& utf8);
  void Number(long long value);
  void Bool(bool value);
  void Null();
  // Shorthands for one member.
  void Field(const std::string& key, const std::string& utf8) { Key(key), String(utf8); }
  void Field(const std::string& key, const char* utf8) { Key(key), String(utf8); }
  void Field(const std::string& key, long long value) { Key(key), Number(value); }
  void Field(const std::string& key, int value) { Key(key), Number(value); }
  void Field(const std::string& key, unsigned value) { Key(key), Number(value); }
  void FieldBool(const std::string& key, bool value) { Key(key), Bool(value); }
  const std::string& Output() const { return _out; }

 private:
  void BeforeValue();
  void NewLine();
  std::string _out;
  std::vector<bool> _hasItems;  // one per open container
  bool _afterKey = false;
};

// Escapes text as a JSON string literal, quotes included. Bytes that are not valid UTF-8 become
// U+FFFD so that the output always parses.
std::string Quote(const std::string& utf8);

}  // namespace json
