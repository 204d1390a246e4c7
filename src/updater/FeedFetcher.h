// FeedFetcher: downloads the appcast over libsoup 3 on the GLib main loop, within limits of
// size and time, following redirects only to addresses the updater may fetch.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <variant>

#include "updater/UpdateError.h"

namespace nubrel {

struct FetchLimits {
  std::size_t maxBodyBytes = 1024 * 1024;          // after content decoding
  std::chrono::milliseconds totalTimeout{30'000};  // from the start to the last byte
  std::chrono::seconds ioTimeout{15};  // connecting, and each wait for data; at least 1 s
  int maxRedirects = 5;
};

// The body of a 2xx answer, or why there is none.
using FetchResult = std::variant<std::string, UpdateError>;

class FeedFetcher {
 public:
  using Completion = std::function<void(FetchResult)>;

  FeedFetcher(FetchLimits limits, std::string userAgent);
  // Cancels a running fetch; its completion is not called.
  ~FeedFetcher();
  FeedFetcher(const FeedFetcher&) = delete;
  FeedFetcher& operator=(const FeedFetcher&) = delete;

  // Starts fetching url, cancelling a fetch that is running. done is called exactly once, on a
  // later turn of the main loop (never from inside fetch), unless cancel() comes first.
  void fetch(const std::string& url, Completion done);
  void cancel();
  bool isFetching() const;

  struct Operation;  // one fetch, kept alive by its pending callbacks

 private:
  FetchLimits limits_;
  std::string userAgent_;
  std::shared_ptr<Operation> current_;
};

}  // namespace nubrel
