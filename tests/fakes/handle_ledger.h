#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/handles.h"

namespace tarnu::fakes {

// How the platform releases an object of some kind.
using platform::Release;

// Hands out fake platform handles and checks that each is released exactly once, by the
// right kind of release. Every recording fake of the seam shares one ledger, so a test can
// assert that a whole scenario leaked nothing.
class HandleLedger {
 public:
  // A new handle of the given kind ("pipe", "token", "desktop", ...). Never 0.
  platform::RawHandle open(const std::string& kind, Release how) {
    const platform::RawHandle handle = next_;
    next_ += 4;
    open_.emplace(handle, Entry{kind, how});
    ++opened_total_;
    return handle;
  }
  // The same as a handle of its kind, released the way the kind is.
  template <typename HandleType>
  HandleType open_as(const std::string& kind) {
    return HandleType(open(kind, HandleType::KindType::kRelease));
  }
  // Records the release. Releasing an unknown or already released handle, or releasing it
  // the wrong way, is recorded in misuses().
  void release(platform::RawHandle handle, Release how) {
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

  bool is_open(platform::RawHandle handle) const { return open_.count(handle) != 0; }
  template <typename Kind>
  bool is_open(platform::Handle<Kind> handle) const {
    return is_open(handle.raw());
  }
  std::size_t open_count() const { return open_.size(); }
  std::size_t open_count(const std::string& kind) const {
    return static_cast<std::size_t>(std::count_if(
        open_.begin(), open_.end(), [&](const auto& entry) { return entry.second.kind == kind; }));
  }
  std::size_t opened_total() const { return opened_total_; }
  const std::vector<std::string>& misuses() const { return misuses_; }
  // A misuse that a fake sees in the calls on one of its objects rather than in a release.
  void note_misuse(std::string what) { misuses_.push_back(std::move(what)); }

 private:
  struct Entry {
    std::string kind;
    Release how;
  };
  platform::RawHandle next_ = 0x100;
  std::size_t opened_total_ = 0;
  std::map<platform::RawHandle, Entry> open_;
  std::vector<std::string> misuses_;
};

}  // namespace tarnu::fakes
