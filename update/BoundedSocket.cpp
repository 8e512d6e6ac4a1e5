#include "update/BoundedSocket.h"

#include <algorithm>
#include <utility>

#include "shell/DebugLog.h"

namespace {

const int64_t kSliceUs = 50000;

void logError(const char* tag, GError* error) {
  dlog() << tag << ": " << (error ? error->message : "") << "\n";
}

// The result of an asynchronous lookup; lives on the heap so that a lookup
// whose answer never comes back cannot write into a finished stack frame.
struct Lookup {
  bool done = false;
  GList* addresses = nullptr;
  GError* error = nullptr;
};

void onResolved(GObject* source, GAsyncResult* result, gpointer data) {
  Lookup* lookup = static_cast<Lookup*>(data);
  lookup->addresses = g_resolver_lookup_by_name_finish(G_RESOLVER(source), result, &lookup->error);
  lookup->done = true;
}

gboolean wakeUp(gpointer) { return G_SOURCE_REMOVE; }

// Runs what is ready on context, waiting at most one slice for it.
void iterateSlice(GMainContext* context) {
  GSource* timer = g_timeout_source_new(kSliceUs / 1000);
  g_source_set_callback(timer, &wakeUp, nullptr, nullptr);
  g_source_attach(timer, context);
  g_main_context_iteration(context, TRUE);
  g_source_destroy(timer);
  g_source_unref(timer);
}

GInetAddress* preferredAddress(GList* addresses) {
  for (GList* a = addresses; a; a = a->next)
    if (g_inet_address_get_family(G_INET_ADDRESS(a->data)) == G_SOCKET_FAMILY_IPV4)
      return G_INET_ADDRESS(g_object_ref(a->data));
  return addresses ? G_INET_ADDRESS(g_object_ref(addresses->data)) : nullptr;
}

}  // namespace

BoundedSocket::BoundedSocket(Check check, int timeoutMs)
    : check_(std::move(check)), timeoutUs_(int64_t(std::max(timeoutMs, 1)) * 1000) {}

BoundedSocket::~BoundedSocket() {
  if (socket_) {
    g_socket_close(socket_, nullptr);
    g_object_unref(socket_);
  }
  if (address_)
    g_object_unref(address_);
}

bool BoundedSocket::resolve(const std::string& host) {
  if (address_) {
    g_object_unref(address_);
    address_ = nullptr;
  }
  address_ = g_inet_address_new_from_string(host.c_str());
  if (address_)
    return true;

  GMainContext* context = g_main_context_new();
  GCancellable* cancellable = g_cancellable_new();
  GResolver* resolver = g_resolver_get_default();
  Lookup* lookup = new Lookup;
  g_main_context_push_thread_default(context);
  g_resolver_lookup_by_name_async(resolver, host.c_str(), cancellable, &onResolved, lookup);
  g_main_context_pop_thread_default(context);

  // After a cancel the resolver answers at once with "cancelled", but only
  // through the context: run it until then, and should it still not answer,
  // leave the lookup and the context to the answer rather than free them.
  auto settle = [&]() {
    g_cancellable_cancel(cancellable);
    for (int i = 0; i < 40 && !lookup->done; ++i)
      iterateSlice(context);
    bool done = lookup->done;
    if (done) {
      g_resolver_free_addresses(lookup->addresses);
      g_clear_error(&lookup->error);
      delete lookup;
      g_main_context_unref(context);
    } else {
      dlog() << "BoundedSocket(93): " << host << "\n";
    }
    g_object_unref(resolver);
    g_object_unref(cancellable);
  };

  const int64_t deadline = g_get_monotonic_time() + timeoutUs_;
  try {
    while (!lookup->done && g_get_monotonic_time() < deadline) {
      iterateSlice(context);
      if (!lookup->done)
        check_();
    }
  } catch (...) {
    settle();
    throw;
  }
  if (!lookup->done) {
    dlog() << "BoundedSocket(110): " << host << " timed out\n";
    settle();
    return false;
  }
  if (lookup->error)
    logError("BoundedSocket(114)", lookup->error);
  address_ = preferredAddress(lookup->addresses);
  settle();
  return address_ != nullptr;
}

bool BoundedSocket::connect(uint16_t port) {
  if (!address_ || socket_)
    return false;
  GError* error = nullptr;
  socket_ = g_socket_new(g_inet_address_get_family(address_), G_SOCKET_TYPE_STREAM,
                         G_SOCKET_PROTOCOL_TCP, &error);
  if (!socket_) {
    logError("Update(106)", error);
    g_clear_error(&error);
    return false;
  }
  g_socket_set_blocking(socket_, FALSE);
  GSocketAddress* target = g_inet_socket_address_new(address_, port);
  bool connected = g_socket_connect(socket_, target, nullptr, &error);
  g_object_unref(target);
  if (!connected && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_PENDING)) {
    g_clear_error(&error);
    if (!waitFor(G_IO_OUT)) {
      dlog() << "BoundedSocket(136): timed out\n";
      return false;
    }
    connected = g_socket_check_connect_result(socket_, &error);
  }
  if (!connected) {
    logError("BoundedSocket(142)", error);
    g_clear_error(&error);
  }
  return connected;
}

bool BoundedSocket::send(const std::string& bytes) {
  if (!socket_)
    return false;
  size_t sent = 0;
  while (sent < bytes.size()) {
    GError* error = nullptr;
    gssize n = g_socket_send(socket_, bytes.data() + sent, bytes.size() - sent, nullptr, &error);
    if (n < 0 && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_WOULD_BLOCK)) {
      g_clear_error(&error);
      if (!waitFor(G_IO_OUT)) {
        dlog() << "BoundedSocket(158): timed out\n";
        return false;
      }
      continue;
    }
    if (n < 0) {
      logError("BoundedSocket(164)", error);
      g_clear_error(&error);
      return false;
    }
    sent += size_t(n);
  }
  return true;
}

long BoundedSocket::receive(char* buffer, size_t size) {
  if (!socket_)
    return -1;
  for (;;) {
    GError* error = nullptr;
    gssize n = g_socket_receive(socket_, buffer, size, nullptr, &error);
    if (n >= 0)
      return long(n);
    bool wouldBlock = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_WOULD_BLOCK);
    if (!wouldBlock) {
      logError("BoundedSocket(182)", error);
      g_clear_error(&error);
      return -1;
    }
    g_clear_error(&error);
    if (!waitFor(G_IO_IN)) {
      dlog() << "BoundedSocket(188): timed out\n";
      return -1;
    }
  }
}

bool BoundedSocket::waitFor(GIOCondition condition) {
  const int64_t deadline = g_get_monotonic_time() + timeoutUs_;
  for (;;) {
    int64_t left = deadline - g_get_monotonic_time();
    if (left <= 0)
      return false;
    GError* error = nullptr;
    bool ready = g_socket_condition_timed_wait(socket_, condition, std::min(left, kSliceUs),
                                               nullptr, &error);
    bool sliceOver = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT);
    g_clear_error(&error);
    // Anything but the slice passing (ready, or an error on the socket) is
    // for the next operation to report.
    if (ready || !sliceOver)
      return true;
    check_();
  }
}
