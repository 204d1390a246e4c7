// One fetch is an Operation shared by the fetcher and by the callback GIO will call next. The
// fetcher can drop it at any time: a cancelled operation has no completion left to call, and is
// freed when GIO hands back its last callback (with G_IO_ERROR_CANCELLED).
#include "updater/FeedFetcher.h"

#include <gio/gio.h>
#include <libsoup/soup.h>

#include <algorithm>
#include <cstdint>
#include <utility>

#include "updater/FeedURLRules.h"
#include "updater/GlibHandles.h"

namespace nubrel {
namespace {

constexpr gsize kReadChunkBytes = 16 * 1024;
constexpr const char* kAccept = "application/rss+xml,*/*;q=0.1";
constexpr auto kSoupURIFlags = static_cast<GUriFlags>(SOUP_HTTP_URI_FLAGS);

using OperationRef = std::shared_ptr<FeedFetcher::Operation>;

// GIO's user data: a strong reference, handed to the callback that will run.
gpointer hold(const OperationRef& op) {
  return new OperationRef(op);
}
OperationRef take(gpointer data) {
  const std::unique_ptr<OperationRef> held(static_cast<OperationRef*>(data));
  return *held;
}

UpdateError errorFor(const GError* error) {
  if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT)) {
    return {UpdateError::Kind::timedOut};
  }
  if (error->domain == G_TLS_ERROR) {
    return {UpdateError::Kind::secureConnectionFailed};
  }
  return {UpdateError::Kind::unreachable};
}

UpdateError errorFor(FeedURLVerdict verdict) {
  return {verdict == FeedURLVerdict::insecure ? UpdateError::Kind::insecureFeedURL
                                              : UpdateError::Kind::invalidFeedURL};
}

bool isFollowedRedirect(guint status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

}  // namespace

struct FeedFetcher::Operation : std::enable_shared_from_this<Operation> {
  FetchLimits limits;
  Completion done;  // empty once finished or abandoned
  GObjectPtr<GCancellable> cancellable{g_cancellable_new()};
  GObjectPtr<SoupSession> session;
  GObjectPtr<SoupMessage> message;
  GObjectPtr<GInputStream> body;
  std::string received;
  int redirects = 0;
  GlibSourceId deadline;

  void finish(FetchResult result) {
    if (!done) {
      return;
    }
    deadline.reset();
    g_cancellable_cancel(cancellable.get());
    std::exchange(done, nullptr)(std::move(result));
  }

  void abandon() {
    done = nullptr;
    deadline.reset();
    g_cancellable_cancel(cancellable.get());
  }

  // Reports a result from a fresh main-loop turn, for failures found before any I/O.
  void finishLater(FetchResult result) {
    struct Pending {
      OperationRef op;
      FetchResult result;
    };
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer data) {
          auto* pending = static_cast<Pending*>(data);
          pending->op->finish(std::move(pending->result));
          return G_SOURCE_REMOVE;
        },
        new Pending{shared_from_this(), std::move(result)},
        [](gpointer data) { delete static_cast<Pending*>(data); });
  }

  void start(const std::string& url, const std::string& userAgent) {
    const auto verdict = checkFeedURL(url);
    if (verdict != FeedURLVerdict::allowed) {
      finishLater(errorFor(verdict));
      return;
    }
    const guint ioSeconds = static_cast<guint>(std::max<std::int64_t>(1, limits.ioTimeout.count()));
    session.reset(soup_session_new_with_options("timeout", ioSeconds, "idle-timeout", ioSeconds,
                                                "user-agent", userAgent.c_str(), nullptr));
    deadline = GlibSourceId(g_timeout_add_full(
        G_PRIORITY_DEFAULT, static_cast<guint>(limits.totalTimeout.count()),
        [](gpointer data) {
          auto* op = static_cast<Operation*>(data);
          const OperationRef self = op->shared_from_this();  // finish may drop the fetcher's
          op->deadline.release();
          op->finish(UpdateError{UpdateError::Kind::timedOut});
          return G_SOURCE_REMOVE;
        },
        this, nullptr));
    GUriPtr uri(g_uri_parse(url.c_str(), kSoupURIFlags, nullptr));
    request(uri.get());
  }

  void request(GUri* uri) {
    message.reset(soup_message_new_from_uri("GET", uri));
    // Redirects are followed here, one at a time, so that each target is checked first.
    soup_message_add_flags(message.get(), SOUP_MESSAGE_NO_REDIRECT);
    soup_message_headers_replace(soup_message_get_request_headers(message.get()), "Accept",
                                 kAccept);
    soup_session_send_async(session.get(), message.get(), G_PRIORITY_DEFAULT, cancellable.get(),
                            onSent, hold(shared_from_this()));
  }

  static void onSent(GObject* source, GAsyncResult* result, gpointer data) {
    const OperationRef op = take(data);
    GError* rawError = nullptr;
    GObjectPtr<GInputStream> stream(
        soup_session_send_finish(SOUP_SESSION(source), result, &rawError));
    const GErrorPtr error(rawError);
    if (!op->done) {
      return;
    }
    if (error) {
      op->finish(errorFor(error.get()));
      return;
    }
    op->answered(std::move(stream));
  }

  void answered(GObjectPtr<GInputStream> stream) {
    const guint status = soup_message_get_status(message.get());
    SoupMessageHeaders* headers = soup_message_get_response_headers(message.get());
    const char* location = soup_message_headers_get_one(headers, "Location");
    if (isFollowedRedirect(status) && location != nullptr) {
      if (++redirects > limits.maxRedirects) {
        finish(UpdateError{UpdateError::Kind::unreachable});
        return;
      }
      GUri* current = soup_message_get_uri(message.get());
      GUriPtr target(g_uri_parse_relative(current, location, kSoupURIFlags, nullptr));
      const GCharPtr from(g_uri_to_string(current));
      const GCharPtr to(target ? g_uri_to_string(target.get()) : nullptr);
      const auto verdict = to ? checkRedirect(from.get(), to.get()) : FeedURLVerdict::invalid;
      if (verdict != FeedURLVerdict::allowed) {
        finish(errorFor(verdict));
        return;
      }
      request(target.get());
      return;
    }
    if (!SOUP_STATUS_IS_SUCCESSFUL(status)) {
      finish(UpdateError{UpdateError::Kind::httpStatus, static_cast<int>(status)});
      return;
    }
    // A declared length says "too large" before a byte is read; the count while reading still
    // guards answers without one, and compressed ones, whose length is not the decoded size.
    if (soup_message_headers_get_encoding(headers) == SOUP_ENCODING_CONTENT_LENGTH &&
        static_cast<std::uint64_t>(soup_message_headers_get_content_length(headers)) >
            limits.maxBodyBytes) {
      finish(UpdateError{UpdateError::Kind::tooLarge});
      return;
    }
    body = std::move(stream);
    readMore();
  }

  void readMore() {
    g_input_stream_read_bytes_async(body.get(), kReadChunkBytes, G_PRIORITY_DEFAULT,
                                    cancellable.get(), onRead, hold(shared_from_this()));
  }

  static void onRead(GObject* source, GAsyncResult* result, gpointer data) {
    const OperationRef op = take(data);
    GError* rawError = nullptr;
    GBytes* bytes = g_input_stream_read_bytes_finish(G_INPUT_STREAM(source), result, &rawError);
    const GErrorPtr error(rawError);
    const std::unique_ptr<GBytes, decltype(&g_bytes_unref)> held(bytes, g_bytes_unref);
    if (!op->done) {
      return;
    }
    if (error) {
      op->finish(errorFor(error.get()));
      return;
    }
    gsize size = 0;
    const auto* chunk = static_cast<const char*>(g_bytes_get_data(bytes, &size));
    if (size == 0) {
      op->finish(std::move(op->received));
      return;
    }
    op->received.append(chunk, size);
    if (op->received.size() > op->limits.maxBodyBytes) {
      op->finish(UpdateError{UpdateError::Kind::tooLarge});
      return;
    }
    op->readMore();
  }
};

FeedFetcher::FeedFetcher(FetchLimits limits, std::string userAgent)
    : limits_(limits), userAgent_(std::move(userAgent)) {}

FeedFetcher::~FeedFetcher() {
  cancel();
}

void FeedFetcher::fetch(const std::string& url, Completion done) {
  cancel();
  current_ = std::make_shared<Operation>();
  current_->limits = limits_;
  current_->done = std::move(done);
  current_->start(url, userAgent_);
}

void FeedFetcher::cancel() {
  if (current_) {
    std::exchange(current_, nullptr)->abandon();
  }
}

bool FeedFetcher::isFetching() const {
  return current_ && current_->done;
}

}  // namespace nubrel
