// FeedServer: a real HTTP server on 127.0.0.1 (libsoup's SoupServer, in the test process, on the
// default main context) that serves appcasts and packages, and misbehaves on request.
#pragma once

#include <libsoup/soup.h>

#include <map>
#include <stdexcept>
#include <string>

#include "updater/GlibHandles.h"

namespace nubrel::testing {

class FeedServer {
 public:
  FeedServer() {
    soup_server_add_handler(server_.get(), nullptr, handle, this, nullptr);
    if (!soup_server_listen_local(server_.get(), 0, SOUP_SERVER_LISTEN_IPV4_ONLY, nullptr)) {
      throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    GSList* uris = soup_server_get_uris(server_.get());
    port_ = g_uri_get_port(static_cast<GUri*>(uris->data));
    g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
  }

  // Each way to answer a path returns its URL.
  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  std::string serve(const std::string& path, std::string body, guint status = 200) {
    return route(path, {Kind::body, std::move(body), status});
  }
  std::string redirect(const std::string& path, std::string location) {
    return route(path, {Kind::redirect, std::move(location), 302});
  }
  // A chunked body: its first chunk, then nothing with the connection left open.
  std::string serveStalled(const std::string& path, std::string first = "x") {
    return route(path, {Kind::stalled, std::move(first), 200});
  }
  // Twice the body's length announced, the body, and then the connection shut.
  std::string serveCut(const std::string& path, std::string body) {
    return route(path, {Kind::cut, std::move(body), 200});
  }
  int requestCount(const std::string& where) {
    return requests_[where.starts_with("/") ? where : where.substr(where.find('/', 7))];
  }

 private:
  enum class Kind { body, redirect, stalled, cut };
  struct Route {
    Kind kind = Kind::body;
    std::string body{};  // or the redirect's location
    guint status = 404;
  };
  std::string route(const std::string& path, Route route) {
    routes_[path] = std::move(route);
    return url(path);
  }

  static void handle(SoupServer*, SoupServerMessage* message, const char* path, GHashTable*,
                     gpointer self) {
    ++static_cast<FeedServer*>(self)->requests_[path];
    const Route route = static_cast<FeedServer*>(self)->routes_[path];
    SoupMessageHeaders* headers = soup_server_message_get_response_headers(message);
    SoupMessageBody* body = soup_server_message_get_response_body(message);
    soup_server_message_set_status(message, route.status, nullptr);
    if (route.kind == Kind::redirect) {
      soup_message_headers_replace(headers, "Location", route.body.c_str());
      return;
    }
    // The unfinished answers go out as they are written.
    soup_message_body_set_accumulate(body, route.kind == Kind::body);
    if (route.kind == Kind::stalled) {
      soup_message_headers_set_encoding(headers, SOUP_ENCODING_CHUNKED);
    } else if (route.kind == Kind::cut) {
      soup_message_headers_set_content_length(headers, 2 * static_cast<goffset>(route.body.size()));
      g_signal_connect(message, "wrote-body-data",
                       G_CALLBACK(+[](SoupServerMessage* m, guint, gpointer) {
                         g_socket_shutdown(soup_server_message_get_socket(m), TRUE, TRUE, nullptr);
                       }),
                       nullptr);
    }
    soup_message_body_append(body, SOUP_MEMORY_COPY, route.body.data(), route.body.size());
  }

  std::map<std::string, Route> routes_;
  std::map<std::string, int> requests_;
  GObjectPtr<SoupServer> server_{soup_server_new(nullptr, nullptr)};
  int port_ = 0;
};

}  // namespace nubrel::testing
