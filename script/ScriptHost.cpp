#include "script/ScriptHost.h"

#include <algorithm>
#include <iterator>

namespace pavo {

namespace {

TScriptHost host;

}  // namespace

TScriptHost& ScriptHost() { return host; }

void ResetScriptHost() {
  TScriptHost fresh;
  std::copy(std::begin(host.patternFunctions), std::end(host.patternFunctions),
            std::begin(fresh.patternFunctions));
  host = std::move(fresh);
}

}  // namespace pavo
