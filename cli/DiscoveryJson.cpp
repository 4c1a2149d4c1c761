#include "cli/DiscoveryJson.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "preview/Slider.h"
#include "preview/TextDecode.h"

namespace quarnel {

namespace {

using TJson = nlohmann::ordered_json;

// A number that reads back as the same double and shows it is one ("10.0"); JSON has no NaN
// or infinity.
TJson Number(double value) { return std::isfinite(value) ? TJson(value) : TJson(nullptr); }

}  // namespace

std::string DiscoveryJson(const std::string& status, const pavo::CBrushInfo& info) {
  const pavo::CBrushProperty& p = info.property;
  TJson json;
  json["status"] = DecodeScriptText(status);
  json["count"] = p.count;
  TJson params = TJson::array();
  for (int32_t i = 0; i < p.count && i < pavo::kParamSlots; ++i) {
    TJson param;
    param["slot"] = i + 1;
    param["label"] = DecodeScriptText(p.name[i]);
    param["min"] = p.minimum[i];
    param["max"] = p.maximum[i];
    param["value"] = p.value[i];
    params.push_back(std::move(param));
  }
  json["params"] = std::move(params);
  json["default_size"] = Number(info.defaultWidth);
  json["size_slider"] = SizeSliderPosition(info.defaultWidth);
  json["min_width_ratio"] = Number(info.minWidthRatio);
  json["use_base"] = info.useBase;
  // The decoded texts are valid UTF-8; were one not, it would be mended, never thrown over.
  return json.dump(-1, ' ', false, TJson::error_handler_t::replace);
}

}  // namespace quarnel
