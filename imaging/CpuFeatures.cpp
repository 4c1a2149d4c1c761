#include "imaging/CpuFeatures.h"

#include <cstdlib>

namespace pavo {

bool DetectAvx2() {
#ifdef QUARNEL_X86_DISPATCH
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && std::getenv("QUARNEL_NO_AVX2") == nullptr;
#else
  return false;
#endif
}

}  // namespace pavo
