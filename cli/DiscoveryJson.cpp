#include "cli/DiscoveryJson.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "preview/Slider.h"
#include "preview/TextDecode.h"

namespace quarnel {

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
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
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      default:
        if (b < 0x20 || b == 0x7F) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", b);
          out += escape;
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

std::string JsonDouble(double value) {
  if (!std::isfinite(value)) return "null";
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string out(buffer, result.ptr);
  if (out.find_first_of(".e") == std::string::npos) out += ".0";
  return out;
}

std::string DiscoveryJson(const std::string& status, const pavo::CBrushInfo& info) {
  const pavo::CBrushProperty& p = info.property;
  std::string json = "{\"status\": " + JsonString(DecodeScriptText(status));
  json += ", \"count\": " + std::to_string(p.count);
  json += ", \"params\": [";
  for (int32_t i = 0; i < p.count && i < pavo::kParamSlots; ++i) {
    if (i > 0) json += ", ";
    json += "{\"slot\": " + std::to_string(i + 1);
    json += ", \"label\": " + JsonString(DecodeScriptText(p.name[i]));
    json += ", \"min\": " + std::to_string(p.minimum[i]);
    json += ", \"max\": " + std::to_string(p.maximum[i]);
    json += ", \"value\": " + std::to_string(p.value[i]) + "}";
  }
  json += "]";
  json += ", \"default_size\": " + JsonDouble(info.defaultWidth);
  json += ", \"size_slider\": " + std::to_string(SizeSliderPosition(info.defaultWidth));
  json += ", \"min_width_ratio\": " + JsonDouble(info.minWidthRatio);
  json += ", \"use_base\": ";
  json += info.useBase ? "true" : "false";
  json += "}";
  return json;
}

}  // namespace quarnel
