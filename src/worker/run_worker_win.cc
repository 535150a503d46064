#include "worker/run_worker.h"

namespace tarnu {

std::string run_worker() { return "worker mode is not built yet"; }

}  // namespace tarnu
