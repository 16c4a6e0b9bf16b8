#include "resources/form_text.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace corvane::resources {

namespace {

enum TValueType : uint8_t {
  vaNull,
  vaList,
  vaInt8,
  vaInt16,
  vaInt32,
  vaExtended,
  vaString,
  vaIdent,
  vaFalse,
  vaTrue,
  vaBinary,
  vaSet,
  vaLString,
  vaNil,
  vaCollection,
  vaSingle,
  vaCurrency,
  vaDate,
  vaWString,
  vaInt64,
  vaUTF8String,
};

constexpr int MaxDepth = 32;
constexpr size_t MaxLines = 200000;
constexpr size_t BinaryBytesPerLine = 32;

struct TFormReader {
  TByteReader In;
  std::vector<std::string> Lines;
  bool Broken = false;

  bool Fail() {
    Broken = true;
    return false;
  }
  bool Full() const { return Lines.size() >= MaxLines; }

  bool ShortString(std::string& text) {
    uint8_t length = 0;
    TBytes bytes;
    if (!In.U8(length) || !In.Take(length, bytes))
      return Fail();
    text.assign(bytes.begin(), bytes.end());
    return true;
  }

  bool Integer(uint8_t type, int64_t& value) {
    uint8_t b = 0;
    uint16_t w = 0;
    uint32_t d = 0;
    switch (type) {
    case vaInt8:
      if (!In.U8(b))
        return Fail();
      value = static_cast<int8_t>(b);
      return true;
    case vaInt16:
      if (!In.U16(w))
        return Fail();
      value = static_cast<int16_t>(w);
      return true;
    case vaInt32:
      if (!In.U32(d))
        return Fail();
      value = static_cast<int32_t>(d);
      return true;
    case vaInt64: {
      uint32_t low = 0, high = 0;
      if (!In.U32(low) || !In.U32(high))
        return Fail();
      value = static_cast<int64_t>((uint64_t{high} << 32) | low);
      return true;
    }
    default:
      return Fail();
    }
  }

  static std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
      if (c == '\'')
        out += '\'';
      out += c;
    }
    return out + "'";
  }

  static std::string Number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
  }

  // The 80-bit extended format: sign, 15-bit exponent, 64-bit mantissa with an explicit leading
  // bit.
  static double Extended(const uint8_t* p) {
    uint64_t mantissa = 0;
    for (int i = 7; i >= 0; --i)
      mantissa = (mantissa << 8) | p[i];
    const int exponent = ((p[9] & 0x7F) << 8) | p[8];
    const bool negative = p[9] & 0x80;
    double value = 0;
    if (exponent == 0x7FFF)
      value = mantissa << 1 ? NAN : INFINITY;
    else if (exponent != 0 || mantissa != 0)
      value = std::ldexp(static_cast<double>(mantissa), exponent - 16383 - 63);
    return negative ? -value : value;
  }

  static std::string Hex(TBytes bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (uint8_t b : bytes) {
      out += digits[b >> 4];
      out += digits[b & 15];
    }
    return out;
  }

  // A value after "Name = ": its text on the current line; lists, collections and binary data
  // continue on further lines, indented below `indent`.
  bool Value(const std::string& indent, std::string& line, int depth) {
    uint8_t type = 0;
    if (!In.U8(type))
      return Fail();
    if (depth > MaxDepth)
      return Fail();
    switch (type) {
    case vaNull:
      return true;
    case vaInt8:
    case vaInt16:
    case vaInt32:
    case vaInt64: {
      int64_t value = 0;
      if (!Integer(type, value))
        return false;
      line += std::to_string(value);
      return true;
    }
    case vaExtended: {
      TBytes bytes;
      if (!In.Take(10, bytes))
        return Fail();
      line += Number(Extended(bytes.data()));
      return true;
    }
    case vaSingle: {
      uint32_t bits = 0;
      if (!In.U32(bits))
        return Fail();
      float value = 0;
      std::memcpy(&value, &bits, sizeof value);
      line += Number(value);
      return true;
    }
    case vaCurrency:
    case vaDate: {
      uint32_t low = 0, high = 0;
      if (!In.U32(low) || !In.U32(high))
        return Fail();
      const uint64_t bits = (uint64_t{high} << 32) | low;
      if (type == vaCurrency) {
        line += Number(static_cast<double>(static_cast<int64_t>(bits)) / 10000.0);
      } else {
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        line += Number(value);
      }
      return true;
    }
    case vaString:
    case vaIdent: {
      std::string text;
      if (!ShortString(text))
        return false;
      line += type == vaString ? Quoted(text) : text;
      return true;
    }
    case vaLString:
    case vaUTF8String: {
      uint32_t length = 0;
      TBytes bytes;
      if (!In.U32(length) || !In.Take(length, bytes))
        return Fail();
      line += Quoted(std::string(bytes.begin(), bytes.end()));
      return true;
    }
    case vaWString: {
      uint32_t units = 0;
      std::string text;
      if (!In.U32(units) || units > In.Remaining() / 2 || !In.Utf16(units, text))
        return Fail();
      line += Quoted(text);
      return true;
    }
    case vaFalse:
      line += "False";
      return true;
    case vaTrue:
      line += "True";
      return true;
    case vaNil:
      line += "nil";
      return true;
    case vaSet: {
      line += "[";
      for (bool first = true;; first = false) {
        std::string element;
        if (!ShortString(element))
          return false;
        if (element.empty())
          break;
        line += (first ? "" : ", ") + element;
      }
      line += "]";
      return true;
    }
    case vaBinary: {
      uint32_t length = 0;
      TBytes bytes;
      if (!In.U32(length) || !In.Take(length, bytes))
        return Fail();
      line += "{";
      for (size_t at = 0; at < bytes.size() && !Full(); at += BinaryBytesPerLine) {
        Lines.push_back(std::move(line));
        line =
            indent + "  " + Hex(bytes.subspan(at, std::min(BinaryBytesPerLine, bytes.size() - at)));
      }
      line += "}";
      return true;
    }
    case vaList: {
      line += "(";
      while (!Full()) {
        uint8_t next = 0;
        if (!In.U8(next))
          return Fail();
        if (next == vaNull)
          break;
        In.Seek(In.Pos() - 1);
        Lines.push_back(std::move(line));
        line = indent + "  ";
        if (!Value(indent + "  ", line, depth + 1))
          return false;
      }
      line += ")";
      return true;
    }
    case vaCollection: {
      line += "<";
      while (!Full()) {
        uint8_t next = 0;
        if (!In.U8(next))
          return Fail();
        if (next == vaNull)
          break;
        std::string item = indent + "  item";
        // An item may start with its ordinal; then comes the list marker of its properties.
        if (next == vaInt8 || next == vaInt16 || next == vaInt32) {
          int64_t ordinal = 0;
          if (!Integer(next, ordinal) || !In.U8(next))
            return Fail();
          item += " [" + std::to_string(ordinal) + "]";
        }
        if (next != vaList)
          return Fail();
        Lines.push_back(std::move(line));
        Lines.push_back(std::move(item));
        if (!Properties(indent + "    ", depth + 1))
          return false;
        line = indent + "  end";
      }
      line += ">";
      return true;
    }
    default:
      return Fail();
    }
  }

  // Properties up to the empty name that ends them, each on a line of its own.
  bool Properties(const std::string& indent, int depth) {
    while (!Full()) {
      std::string name;
      if (!ShortString(name))
        return false;
      if (name.empty())
        return true;
      std::string line = indent + name + " = ";
      const bool read = Value(indent, line, depth);
      Lines.push_back(std::move(line));
      if (!read)
        return false;
    }
    return true;
  }

  bool Object(const std::string& indent, int depth) {
    if (depth > MaxDepth)
      return Fail();
    uint8_t prefix = 0;
    if (!In.U8(prefix))
      return Fail();
    std::string word = "object";
    if ((prefix & 0xF0) == 0xF0) {
      const uint8_t flags = prefix & 0x0F;
      if (flags & 1)
        word = "inherited";
      else if (flags & 4)
        word = "inline";
      if (flags & 2) { // the child's position among its siblings follows
        uint8_t type = 0;
        int64_t position = 0;
        if (!In.U8(type) || !Integer(type, position))
          return Fail();
      }
    } else {
      In.Seek(In.Pos() - 1);
    }
    std::string className, objectName;
    if (!ShortString(className) || !ShortString(objectName))
      return false;
    Lines.push_back(indent + word + " " + (objectName.empty() ? "" : objectName + ": ") +
                    className);
    if (!Properties(indent + "  ", depth))
      return false;
    while (!Full()) {
      uint8_t next = 0;
      if (!In.U8(next))
        return Fail();
      if (next == 0)
        break;
      In.Seek(In.Pos() - 1);
      if (!Object(indent + "  ", depth + 1))
        return false;
    }
    Lines.push_back(indent + "end");
    return true;
  }
};

} // namespace

std::optional<std::vector<std::string>> FormTextLines(TBytes data) {
  if (data.size() < 4 || std::memcmp(data.data(), "TPF0", 4) != 0)
    return std::nullopt;
  TFormReader reader{TByteReader(data, 4), {}, false};
  reader.Object("", 0);
  if (reader.Broken)
    reader.Lines.push_back("(the description ends here: the data is cut short or not understood)");
  return std::move(reader.Lines);
}

} // namespace corvane::resources
