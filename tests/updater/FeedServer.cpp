// FeedServer.
#include "updater/FeedServer.h"

#include <stdexcept>

namespace nubrel::testing {
namespace {

// Also the handler of wrote-chunk, which keeps an endless body going.
void appendChunk(SoupServerMessage* message, gpointer = nullptr) {
  const std::string chunk(16 * 1024, 'x');
  soup_message_body_append(soup_server_message_get_response_body(message), SOUP_MEMORY_COPY,
                           chunk.data(), chunk.size());
}

void startChunked(SoupServerMessage* message) {
  soup_server_message_set_status(message, 200, nullptr);
  soup_message_headers_set_encoding(soup_server_message_get_response_headers(message),
                                    SOUP_ENCODING_CHUNKED);
  soup_message_body_set_accumulate(soup_server_message_get_response_body(message), FALSE);
  appendChunk(message);
}

}  // namespace

FeedServer::FeedServer() : server_(soup_server_new(nullptr, nullptr)) {
  soup_server_add_handler(server_.get(), nullptr, handle, this, nullptr);
  if (!soup_server_listen_local(server_.get(), 0, SOUP_SERVER_LISTEN_IPV4_ONLY, nullptr)) {
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  GSList* uris = soup_server_get_uris(server_.get());
  port_ = static_cast<guint>(g_uri_get_port(static_cast<GUri*>(uris->data)));
  g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
}

std::string FeedServer::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void FeedServer::serve(const std::string& path, std::string body, guint status) {
  routes_[path] = {Kind::body, std::move(body), status};
}

void FeedServer::redirect(const std::string& path, const std::string& location) {
  routes_[path] = {Kind::redirect, location, 302};
}

void FeedServer::serveCut(const std::string& path, std::string body, std::size_t announcedBytes) {
  routes_[path] = {Kind::cut, std::move(body), 200, announcedBytes};
}

int FeedServer::requestCount(const std::string& path) const {
  const auto found = requests_.find(path);
  return found == requests_.end() ? 0 : found->second;
}

void FeedServer::handle(SoupServer*, SoupServerMessage* message, const char* path, GHashTable*,
                        gpointer data) {
  auto* self = static_cast<FeedServer*>(data);
  ++self->requests_[path];
  const char* accept =
      soup_message_headers_get_one(soup_server_message_get_request_headers(message), "Accept");
  self->lastAccept_ = accept ? accept : "";
  const auto found = self->routes_.find(path);
  const Route route = found == self->routes_.end() ? Route{Kind::body, "", 404} : found->second;
  SoupMessageBody* body = soup_server_message_get_response_body(message);
  switch (route.kind) {
  case Kind::body:
    soup_server_message_set_status(message, route.status, nullptr);
    soup_server_message_set_response(message, "application/rss+xml", SOUP_MEMORY_COPY,
                                     route.body.data(), route.body.size());
    break;
  case Kind::redirect:
    soup_server_message_set_redirect(message, route.status, route.body.c_str());
    break;
  case Kind::endless:
    startChunked(message);
    g_signal_connect(message, "wrote-chunk", G_CALLBACK(appendChunk), nullptr);
    break;
  case Kind::stalled:
    startChunked(message);
    break;
  case Kind::cut:
    soup_server_message_set_status(message, 200, nullptr);
    soup_message_headers_set_content_length(soup_server_message_get_response_headers(message),
                                            static_cast<goffset>(route.announcedBytes));
    soup_message_body_set_accumulate(body, FALSE);
    soup_message_body_append(body, SOUP_MEMORY_COPY, route.body.data(), route.body.size());
    // The client sees the connection end in the middle of the body.
    g_signal_connect(message, "wrote-body-data",
                     G_CALLBACK(+[](SoupServerMessage* m, guint, gpointer) {
                       g_socket_shutdown(soup_server_message_get_socket(m), TRUE, TRUE, nullptr);
                     }),
                     nullptr);
    break;
  }
}

guint16 closedPort() {
  GObjectPtr<GSocket> socket(
      g_socket_new(G_SOCKET_FAMILY_IPV4, G_SOCKET_TYPE_STREAM, G_SOCKET_PROTOCOL_TCP, nullptr));
  GObjectPtr<GInetAddress> loopback(g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4));
  GObjectPtr<GSocketAddress> address(g_inet_socket_address_new(loopback.get(), 0));
  if (!socket || !g_socket_bind(socket.get(), address.get(), FALSE, nullptr)) {
    throw std::runtime_error("cannot bind a loopback socket");
  }
  GObjectPtr<GSocketAddress> bound(g_socket_get_local_address(socket.get(), nullptr));
  return g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(bound.get()));
}  // the socket, bound but never listening, is closed here

}  // namespace nubrel::testing
