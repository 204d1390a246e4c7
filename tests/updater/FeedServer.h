// FeedServer: a real HTTP server on 127.0.0.1 (libsoup's SoupServer, in the test process, on the
// default main context) that serves appcasts and misbehaves on request. SilentServer accepts
// connections and never answers.
#pragma once

#include <gio/gio.h>
#include <libsoup/soup.h>

#include <map>
#include <string>

#include "updater/GlibHandles.h"

namespace nubrel::testing {

class FeedServer {
 public:
  FeedServer();
  FeedServer(const FeedServer&) = delete;
  FeedServer& operator=(const FeedServer&) = delete;

  // http://127.0.0.1:<port><path>
  std::string url(const std::string& path) const;

  void serve(const std::string& path, std::string body, guint status = 200);
  void redirect(const std::string& path, const std::string& location);
  // A chunked body that never ends: a new chunk after each one written.
  void serveEndless(const std::string& path);
  // Headers and a first chunk, then nothing more, with the connection left open.
  void serveStalled(const std::string& path);
  // A Content-Length of announcedBytes, then body (shorter), then the connection is shut.
  void serveCut(const std::string& path, std::string body, std::size_t announcedBytes);

  int requestCount(const std::string& path) const;
  std::string lastAcceptHeader() const { return lastAccept_; }

 private:
  enum class Kind { body, redirect, endless, stalled, cut };
  struct Route {
    Kind kind = Kind::body;
    std::string body{};  // or the redirect's location
    guint status = 200;
    std::size_t announcedBytes = 0;
  };

  static void handle(SoupServer* server, SoupServerMessage* message, const char* path,
                     GHashTable* query, gpointer self);

  std::map<std::string, Route> routes_;
  std::map<std::string, int> requests_;
  std::string lastAccept_;
  GObjectPtr<SoupServer> server_;
  guint port_ = 0;
};

class SilentServer {
 public:
  SilentServer();
  std::string url(const std::string& path) const;

 private:
  GObjectPtr<GSocket> socket_;
  guint16 port_ = 0;
};

// A loopback port with nothing listening on it.
guint16 closedPort();

}  // namespace nubrel::testing
