#include "json.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace qmxtool {

Json& Json::Push(Json v) {
  if (kind_ == kNull) kind_ = kArray;
  items_.push_back(std::move(v));
  return items_.back();
}

Json& Json::Set(const std::string& key, Json v) {
  if (kind_ == kNull) kind_ = kObject;
  for (auto& m : members_)
    if (m.first == key) return m.second = std::move(v);
  members_.emplace_back(key, std::move(v));
  return members_.back().second;
}

Json& Json::operator[](const std::string& key) {
  if (kind_ == kNull) kind_ = kObject;
  for (auto& m : members_)
    if (m.first == key) return m.second;
  members_.emplace_back(key, Json());
  return members_.back().second;
}

std::string JsonNumber(double v) {
  if (!std::isfinite(v)) return "null";
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7f) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);  // UTF-8 passes through; other bytes are the caller's text
        }
    }
  }
  return out + "\"";
}

void Json::DumpTo(std::string& out, int indent, int depth) const {
  auto newline = [&](int d) {
    if (indent <= 0) return;
    out += '\n';
    out.append(static_cast<std::size_t>(indent * d), ' ');
  };
  switch (kind_) {
    case kNull: out += "null"; break;
    case kBool: out += b_ ? "true" : "false"; break;
    case kInt: out += std::to_string(i_); break;
    case kNumber: out += JsonNumber(d_); break;
    case kString: out += JsonString(s_); break;
    case kArray: {
      if (items_.empty()) { out += "[]"; break; }
      // Arrays of scalars stay on one line: matrices and series read better that way.
      bool flat = true;
      for (const auto& it : items_) flat &= it.kind_ != kArray && it.kind_ != kObject;
      out += '[';
      for (std::size_t i = 0; i < items_.size(); ++i) {
        if (i) out += flat ? ", " : ",";
        if (!flat) newline(depth + 1);
        items_[i].DumpTo(out, indent, depth + 1);
      }
      if (!flat) newline(depth);
      out += ']';
      break;
    }
    case kObject: {
      if (members_.empty()) { out += "{}"; break; }
      out += '{';
      for (std::size_t i = 0; i < members_.size(); ++i) {
        if (i) out += ',';
        newline(depth + 1);
        out += JsonString(members_[i].first);
        out += indent > 0 ? ": " : ":";
        members_[i].second.DumpTo(out, indent, depth + 1);
      }
      newline(depth);
      out += '}';
      break;
    }
  }
}

std::string Json::Dump(int indent) const {
  std::string out;
  DumpTo(out, indent, 0);
  return out;
}

}  // namespace qmxtool
