// Minimal JSON reader and writer for the UI driver.
#include "Json.h"

#include <cstdio>
#include <cstdlib>

namespace json {

namespace {

const Value kNullValue;

class Parser {
 public:
  explicit Parser(const std::string& in) : _in(in) {}

  bool Document(Value* out, std::string* error) {
    SkipSpace();
    if (!ParseValue(out, 0)) {
      *error = _error + " at offset " + std::to_string(_pos);
      return false;
    }
    SkipSpace();
    if (_pos != _in.size()) {
      *error = "trailing characters at offset " + std::to_string(_pos);
      return false;
    }
    return true;
  }

 private:
  static constexpr int kMaxDepth = 64;

  void SkipSpace() {
    while (_pos < _in.size() &&
           (_in[_pos] == ' ' || _in[_pos] == '\t' || _in[_pos] == '\n' || _in[_pos] == '\r')) {
      ++_pos;
    }
  }

  bool Fail(const char* what) {
    _error = what;
    return false;
  }

  bool Literal(const char* word) {
    size_t n = std::char_traits<char>::length(word);
    if (_in.compare(_pos, n, word) != 0) return Fail("unknown literal");
    _pos += n;
    return true;
  }

  bool ParseValue(Value* out, int depth) {
    if (depth > kMaxDepth) return Fail("nesting too deep");
    if (_pos >= _in.size()) return Fail("unexpected end");
    char c = _in[_pos];
    if (c == '{') return ParseObject(out, depth);
    if (c == '[') return ParseArray(out, depth);
    if (c == '"') {
      out->kind = Value::Kind::kString;
      return ParseString(&out->text);
    }
    if (c == 't' || c == 'f') {
      out->kind = Value::Kind::kBool;
      out->boolean = c == 't';
      return Literal(c == 't' ? "true" : "false");
    }
    if (c == 'n') return Literal("null");
    return ParseNumber(out);
  }

  bool ParseNumber(Value* out) {
    const char* start = _in.c_str() + _pos;
    char* end = nullptr;
    double v = std::strtod(start, &end);
    if (end == start) return Fail("bad value");
    _pos += end - start;
    out->kind = Value::Kind::kNumber;
    out->number = v;
    return true;
  }

  static void AppendUtf8(std::string* s, unsigned cp) {
    if (cp < 0x80) {
      s->push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      s->push_back(static_cast<char>(0xC0 | (cp >> 6)));
      s->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      s->push_back(static_cast<char>(0xE0 | (cp >> 12)));
      s->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      s->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      s->push_back(static_cast<char>(0xF0 | (cp >> 18)));
      s->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      s->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      s->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }

  bool Hex4(unsigned* cp) {
    if (_pos + 4 > _in.size()) return Fail("short \\u escape");
    unsigned v = 0;
    for (int i = 0; i < 4; ++i) {
      char h = _in[_pos++];
      v <<= 4;
      if (h >= '0' && h <= '9')
        v |= h - '0';
      else if (h >= 'a' && h <= 'f')
        v |= h - 'a' + 10;
      else if (h >= 'A' && h <= 'F')
        v |= h - 'A' + 10;
      else
        return Fail("bad \\u escape");
    }
    *cp = v;
    return true;
  }

  bool ParseString(std::string* out) {
    ++_pos;  // opening quote
    while (_pos < _in.size()) {
      char c = _in[_pos++];
      if (c == '"') return true;
      if (c != '\\') {
        out->push_back(c);
        continue;
      }
      if (_pos >= _in.size()) break;
      char e = _in[_pos++];
      switch (e) {
        case '"':
          out->push_back('"');
          break;
        case '\\':
          out->push_back('\\');
          break;
        case '/':
          out->push_back('/');
          break;
        case 'b':
          out->push_back('\b');
          break;
        case 'f':
          out->push_back('\f');
          break;
        case 'n':
          out->push_back('\n');
          break;
        case 'r':
          out->push_back('\r');
          break;
        case 't':
          out->push_back('\t');
          break;
        case 'u': {
          unsigned cp = 0;
          if (!Hex4(&cp)) return false;
          if (cp >= 0xD800 && cp < 0xDC00 && _in.compare(_pos, 2, "\\u") == 0) {
            _pos += 2;
            unsigned low = 0;
            if (!Hex4(&low)) return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          }
          AppendUtf8(out, cp);
          break;
        }
        default:
          return Fail("bad escape");
      }
    }
    return Fail("unterminated string");
  }

  bool ParseArray(Value* out, int depth) {
    out->kind = Value::Kind::kArray;
    ++_pos;
    SkipSpace();
    if (_pos < _in.size() && _in[_pos] == ']') return ++_pos, true;
    for (;;) {
      SkipSpace();
      out->items.emplace_back();
      if (!ParseValue(&out->items.back(), depth + 1)) return false;
      SkipSpace();
      if (_pos >= _in.size()) return Fail("unterminated array");
      char c = _in[_pos++];
      if (c == ']') return true;
      if (c != ',') return Fail("expected , or ]");
    }
  }

  bool ParseObject(Value* out, int depth) {
    out->kind = Value::Kind::kObject;
    ++_pos;
    SkipSpace();
    if (_pos < _in.size() && _in[_pos] == '}') return ++_pos, true;
    for (;;) {
      SkipSpace();
      if (_pos >= _in.size() || _in[_pos] != '"') return Fail("expected key");
      std::string key;
      if (!ParseString(&key)) return false;
      SkipSpace();
      if (_pos >= _in.size() || _in[_pos++] != ':') return Fail("expected :");
      SkipSpace();
      if (!ParseValue(&out->members[key], depth + 1)) return false;
      SkipSpace();
      if (_pos >= _in.size()) return Fail("unterminated object");
      char c = _in[_pos++];
      if (c == '}') return true;
      if (c != ',') return Fail("expected , or }");
    }
  }

  const std::string& _in;
  size_t _pos = 0;
  std::string _error;
};

// Length of the valid UTF-8 sequence at s[i], or 0 when the bytes there are not one.
size_t Utf8SequenceLength(const std::string& s, size_t i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return 0;
  }
  return n;
}

}  // namespace

const Value& Value::operator[](const std::string& key) const {
  auto it = members.find(key);
  return it == members.end() ? kNullValue : it->second;
}

std::string Value::Str(const std::string& key, const std::string& fallback) const {
  const Value& v = (*this)[key];
  return v.kind == Kind::kString ? v.text : fallback;
}

long long Value::Int(const std::string& key, long long fallback) const {
  const Value& v = (*this)[key];
  return v.kind == Kind::kNumber ? static_cast<long long>(v.number) : fallback;
}

bool Value::Bool(const std::string& key, bool fallback) const {
  const Value& v = (*this)[key];
  return v.kind == Kind::kBool ? v.boolean : fallback;
}

bool Parse(const std::string& input, Value* out, std::string* error) {
  return Parser(input).Document(out, error);
}

std::string Quote(const std::string& utf8) {
  std::string out = "\"";
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    size_t n = Utf8SequenceLength(utf8, i);
    if (n == 0) {
      out += "\\ufffd";
      ++i;
      continue;
    }
    if (n > 1) {
      out.append(utf8, i, n);
      i += n;
      continue;
    }
    ++i;
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  out += "\"";
  return out;
}

void Writer::NewLine() {
  _out.push_back('\n');
  _out.append(_hasItems.size() * 2, ' ');
}

void Writer::BeforeValue() {
  if (_afterKey) {
    _afterKey = false;
    return;
  }
  if (!_hasItems.empty()) {
    if (_hasItems.back()) _out.push_back(',');
    _hasItems.back() = true;
    NewLine();
  }
}

void Writer::BeginObject() {
  BeforeValue();
  _out.push_back('{');
  _hasItems.push_back(false);
}

void Writer::EndObject() {
  bool had = _hasItems.back();
  _hasItems.pop_back();
  if (had) NewLine();
  _out.push_back('}');
  if (_hasItems.empty()) _out.push_back('\n');
}

void Writer::BeginArray() {
  BeforeValue();
  _out.push_back('[');
  _hasItems.push_back(false);
}

void Writer::EndArray() {
  bool had = _hasItems.back();
  _hasItems.pop_back();
  if (had) NewLine();
  _out.push_back(']');
}

void Writer::Key(const std::string& key) {
  BeforeValue();
  _out += Quote(key);
  _out += ": ";
  _afterKey = true;
}

void Writer::String(const std::string& utf8) {
  BeforeValue();
  _out += Quote(utf8);
}

void Writer::Number(long long value) {
  BeforeValue();
  _out += std::to_string(value);
}

void Writer::Bool(bool value) {
  BeforeValue();
  _out += value ? "true" : "false";
}

void Writer::Null() {
  BeforeValue();
  _out += "null";
}

}  // namespace json
