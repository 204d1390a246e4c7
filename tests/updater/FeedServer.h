// FeedServer: a real HTTP server on 127.0.0.1 (libsoup's SoupServer, in the test process, on the
// default main context) that serves appcasts and packages, and misbehaves on request.
#pragma once

#include <libsoup/soup.h>

#include <map>
#include <string>

#include "updater/GlibHandles.h"

namespace nubrel::testing {

class FeedServer {
 public:
  FeedServer();

  std::string url(const std::string& path) const;  // http://127.0.0.1:<port><path>

  void serve(const std::string& path, std::string body, guint status = 200);
  void redirect(const std::string& path, const std::string& location);
  // A chunked body: a new chunk after each one written (endless), or one chunk and then nothing
  // with the connection left open (stalled).
  void serveEndless(const std::string& path) { routes_[path] = {Kind::endless}; }
  void serveStalled(const std::string& path) { routes_[path] = {Kind::stalled}; }
  // A Content-Length of announcedBytes, then body (shorter), then the connection is shut.
  void serveCut(const std::string& path, std::string body, std::size_t announcedBytes);

  int requestCount(const std::string& path) const;
  const std::string& lastAcceptHeader() const { return lastAccept_; }

 private:
  enum class Kind { body, redirect, endless, stalled, cut };
  struct Route {
    Kind kind = Kind::body;
    std::string body{};  // or the redirect's location
    guint status = 200;
    std::size_t announcedBytes = 0;
  };
  static void handle(SoupServer*, SoupServerMessage* message, const char* path, GHashTable*,
                     gpointer self);

  std::map<std::string, Route> routes_;
  std::map<std::string, int> requests_;
  std::string lastAccept_;
  GObjectPtr<SoupServer> server_;
  guint port_ = 0;
};

// A loopback port with nothing listening on it.
guint16 closedPort();

}  // namespace nubrel::testing
