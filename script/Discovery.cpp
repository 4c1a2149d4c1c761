// Parameter discovery: each answer comes from its own fresh load of the script, so nothing a
// script does can carry from one query to the next.
#include "script/Discovery.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

#include "brush/MangaBrush.h"
#include "script/LuaNumbers.h"
#include "script/ScriptCall.h"
#include "script/ScriptGuard.h"
#include "script/ScriptLoad.h"

namespace pavo {

namespace {

struct TParamAnswer {
  std::string label;
  int32_t minimum = 0;
  int32_t maximum = 0;
  int32_t defaultValue = 0;
};

// Result 1 is the label: a string as its bytes, a number in its text form, anything else
// (nil, a table, no result at all) an empty label with the slot still answered. Results 2..4
// are rounded to integers (halves to even); a non-number reads 0.
void ReadParamResults(lua_State* L, void* context) {
  TParamAnswer& answer = *static_cast<TParamAnswer*>(context);
  size_t length = 0;
  const char* text = lua_tolstring(L, -4, &length);  // may raise inside the protected call
  answer.minimum = RoundToInt(lua_tonumber(L, -3));
  answer.maximum = RoundToInt(lua_tonumber(L, -2));
  answer.defaultValue = RoundToInt(lua_tonumber(L, -1));
  try {
    if (text != nullptr) answer.label.assign(text, ScriptTextCut(text, length, kMaxScriptText));
  } catch (...) {
    answer.label.clear();
  }
}

void ReadFlag(lua_State* L, void* context) {
  *static_cast<bool*>(context) = lua_toboolean(L, -1) != 0;
}

struct TSizeAnswer {
  double size = 0.0;
  double ratio = 0.0;
};

// A non-number and NaN read as 0 (NaN would slip through the range clamps).
double NumberOrZero(lua_State* L, int index) {
  const double v = lua_tonumber(L, index);
  return std::isnan(v) ? 0.0 : v;
}

void ReadSize(lua_State* L, void* context) {
  TSizeAnswer& answer = *static_cast<TSizeAnswer*>(context);
  answer.size = NumberOrZero(L, -2);
  answer.ratio = NumberOrZero(L, -1);
}

bool Ask(CMangaBrush& brush, const char* name, int resultCount, void (*read)(lua_State*, void*),
         void* context) {
  TScriptCall call;
  call.name = name;
  call.resultCount = resultCount;
  call.read = read;
  call.context = context;
  return CallScriptGlobal(brush.lua, call, false);
}

}  // namespace

bool QueryParam(CMangaBrush& brush, CBrushStroke& stroke, int32_t slot, std::string& label,
                int32_t& minimum, int32_t& maximum, int32_t& defaultValue) {
  bool answered = false;
  LoadScript(brush, stroke);
  if (brush.scriptLoaded && slot >= 0 && slot < kParamSlots) {
    char name[16];
    std::snprintf(name, sizeof name, "param%d", static_cast<int>(slot + 1));
    TParamAnswer answer;
    if (Ask(brush, name, 4, ReadParamResults, &answer)) {
      // Swapped ranges are put right, then clamped into 0..100; the default is clamped
      // later, with all slots.
      if (answer.maximum < answer.minimum) std::swap(answer.minimum, answer.maximum);
      if (answer.minimum < 0) answer.minimum = 0;
      if (answer.maximum > 100) answer.maximum = 100;
      label = std::move(answer.label);
      minimum = answer.minimum;
      maximum = answer.maximum;
      defaultValue = answer.defaultValue;
      answered = true;
    }
  }
  CloseScript(brush);
  return answered;
}

bool QueryUseBase(CMangaBrush& brush, CBrushStroke& stroke, bool& flag) {
  bool answered = false;
  LoadScript(brush, stroke);
  if (brush.scriptLoaded) {
    bool value = false;
    if (Ask(brush, "use_base", 1, ReadFlag, &value)) {
      flag = value;
      answered = true;
    }
  }
  CloseScript(brush);
  return answered;
}

void QueryDefaultSize(CMangaBrush& brush, CBrushStroke& stroke, double& size, double& ratio) {
  LoadScript(brush, stroke);
  if (brush.scriptLoaded) {
    TSizeAnswer answer;
    if (Ask(brush, "default_size", 2, ReadSize, &answer)) {
      size = answer.size < 1.0 ? 1.0 : (answer.size > 2000.0 ? 2000.0 : answer.size);
      ratio = answer.ratio < 0.0 ? 0.0 : (answer.ratio > 1.0 ? 1.0 : answer.ratio);
    }
  }
  CloseScript(brush);
}

namespace {

std::string DiscoverAnswers(CBrushInfo& info) {
  std::string status;
  CBrushProperty& property = info.property;
  property.count = 0;
  CBrushStroke stroke;
  stroke.SetBrushInfo(&info);
  CMangaBrush brush;
  for (int32_t i = 0; i < kParamSlots; ++i) {
    int32_t defaultValue = 0;
    if (QueryParam(brush, stroke, i, property.name[i], property.minimum[i], property.maximum[i],
                   defaultValue)) {
      property.value[i] = defaultValue;
      ++property.count;
    }
    // After the loop: the message of the last load, empty when the script loads.
    try {
      status = brush.loadError;
    } catch (...) {
      status.clear();  // a message too large to copy
    }
  }
  property.ClampValues();
  info.useBase = false;
  bool flag = false;
  if (QueryUseBase(brush, stroke, flag)) info.useBase = flag;
  double size = 10.0;
  double ratio = 0.0;
  QueryDefaultSize(brush, stroke, size, ratio);
  info.width = size;
  info.defaultWidth = size;
  info.minWidthRatio = ratio;
  return status;
}

}  // namespace

std::string DiscoverScript(CBrushInfo& info) {
  if (info.type != kBrushScript) return std::string();
  CScriptJob job("parameter discovery");
  // Settings as they were, for a discovery stopped by the budget: it ends as a discovery of
  // a script that fails to load (nothing answered, the stop message as status), with no
  // answer of the part that ran left behind. The loads of the rerun fail at once.
  CBrushInfo before;
  try {
    before = info;
  } catch (...) {
    return "not enough memory";
  }
  std::string status = DiscoverAnswers(info);
  if (ScriptJobStopped()) {
    info = std::move(before);
    status = DiscoverAnswers(info);
  }
  return status;
}

}  // namespace pavo
