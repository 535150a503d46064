#include "fakes/handle_ledger.h"

#include <algorithm>

namespace tarnu::fakes {

platform::RawHandle HandleLedger::open(const std::string& kind, Release how) {
  const platform::RawHandle handle = next_;
  next_ += 4;
  open_.emplace(handle, Entry{kind, how});
  ++opened_total_;
  return handle;
}

void HandleLedger::release(platform::RawHandle handle, Release how) {
  const auto it = open_.find(handle);
  if (it == open_.end()) {
    misuses_.push_back("release of a handle that is not open: " + std::to_string(handle));
    return;
  }
  if (it->second.how != how) {
    misuses_.push_back("wrong release for a " + it->second.kind + " handle");
  }
  open_.erase(it);
}

std::size_t HandleLedger::open_count(const std::string& kind) const {
  return static_cast<std::size_t>(std::count_if(
      open_.begin(), open_.end(), [&](const auto& entry) { return entry.second.kind == kind; }));
}

}  // namespace tarnu::fakes
