#include "platform/wayland/token_module.h"

#include <wayland-client.h>

#include "xdg-activation-v1-client-protocol.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>

#include <poll.h>

struct orvane_activation {
    wl_display* display = nullptr;
    wl_event_queue* queue = nullptr;
    wl_display* wrapper = nullptr; // the display, with its replies coming to `queue`
    wl_registry* registry = nullptr;
    xdg_activation_v1* activation = nullptr;
    bool seat = false;
};

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point deadlineIn(int waitMs)
{
    return Clock::now() + std::chrono::milliseconds(waitMs);
}

void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t /*version*/)
{
    auto* self = static_cast<orvane_activation*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0) {
        self->seat = true;
    } else if (std::strcmp(interface, xdg_activation_v1_interface.name) == 0 && self->activation == nullptr) {
        self->activation = static_cast<xdg_activation_v1*>(
            wl_registry_bind(registry, name, &xdg_activation_v1_interface, 1));
    }
}

void onGlobalRemoved(void* /*data*/, wl_registry* /*registry*/, uint32_t /*name*/) {}

const wl_registry_listener kRegistryListener = {onGlobal, onGlobalRemoved};

void onSynced(void* data, wl_callback* /*callback*/, uint32_t /*serial*/)
{
    *static_cast<bool*>(data) = true;
}

const wl_callback_listener kSyncListener = {onSynced};

struct TokenReply {
    std::string token;
    bool done = false;
};

void onToken(void* data, xdg_activation_token_v1* /*token*/, const char* token)
{
    auto* reply = static_cast<TokenReply*>(data);
    reply->token = token;
    reply->done = true;
}

const xdg_activation_token_v1_listener kTokenListener = {onToken};

// Dispatches our queue until `done` or the deadline. The toolkit's event
// thread reads the same connection: we read as libwayland lets several
// readers share one (prepare, poll, read), never blocking past the deadline.
bool dispatchUntil(orvane_activation* self, const bool& done, Clock::time_point deadline)
{
    while (!done) {
        if (wl_display_prepare_read_queue(self->display, self->queue) != 0) {
            if (wl_display_dispatch_queue_pending(self->display, self->queue) < 0) {
                return false;
            }
            continue;
        }
        wl_display_flush(self->display);
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd fd{wl_display_get_fd(self->display), POLLIN, 0};
        const int ready = left > 0 ? ::poll(&fd, 1, static_cast<int>(left)) : 0;
        if (ready != 1) {
            wl_display_cancel_read(self->display);
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            return false;
        }
        if (wl_display_read_events(self->display) != 0 ||
            wl_display_dispatch_queue_pending(self->display, self->queue) < 0) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" {

orvane_activation* orvane_activation_open(wl_display* display, int waitMs)
{
    const auto deadline = deadlineIn(waitMs);
    auto owned = std::make_unique<orvane_activation>();
    orvane_activation* self = owned.get();
    self->display = display;
    self->queue = wl_display_create_queue(display);
    self->wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(self->wrapper), self->queue);
    self->registry = wl_display_get_registry(self->wrapper);
    wl_registry_add_listener(self->registry, &kRegistryListener, self);

    // The globals come before the answer to a sync.
    bool synced = false;
    wl_callback* sync = wl_display_sync(self->wrapper);
    wl_callback_add_listener(sync, &kSyncListener, &synced);
    const bool answered = dispatchUntil(self, synced, deadline);
    wl_callback_destroy(sync);
    if (!answered) {
        orvane_activation_close(owned.release());
        return nullptr;
    }
    return owned.release();
}

void orvane_activation_close(orvane_activation* self)
{
    const std::unique_ptr<orvane_activation> owned(self);
    if (self == nullptr) {
        return;
    }
    // Every proxy of the queue goes before the queue: events that come
    // for them later are dropped by libwayland.
    if (self->activation != nullptr) {
        xdg_activation_v1_destroy(self->activation);
    }
    wl_registry_destroy(self->registry);
    wl_proxy_wrapper_destroy(self->wrapper);
    wl_display_flush(self->display);
    wl_event_queue_destroy(self->queue);
}

int orvane_activation_supported(const orvane_activation* self)
{
    return self->activation != nullptr ? 1 : 0;
}

int orvane_activation_has_seat(const orvane_activation* self)
{
    return self->seat ? 1 : 0;
}

size_t orvane_activation_token(orvane_activation* self, wl_surface* surface, wl_seat* seat, uint32_t serial,
                               const char* appId, int waitMs, char* token, size_t size)
{
    if (self->activation == nullptr || size == 0) {
        return 0;
    }
    const auto deadline = deadlineIn(waitMs);
    TokenReply reply;
    xdg_activation_token_v1* request = xdg_activation_v1_get_activation_token(self->activation);
    xdg_activation_token_v1_add_listener(request, &kTokenListener, &reply);
    if (seat != nullptr) {
        xdg_activation_token_v1_set_serial(request, serial, seat);
    }
    if (surface != nullptr) {
        xdg_activation_token_v1_set_surface(request, surface);
    }
    if (appId != nullptr && *appId != '\0') {
        xdg_activation_token_v1_set_app_id(request, appId);
    }
    xdg_activation_token_v1_commit(request);
    const bool answered = dispatchUntil(self, reply.done, deadline);
    xdg_activation_token_v1_destroy(request);
    wl_display_flush(self->display);
    if (!answered || reply.token.empty() || reply.token.size() >= size) {
        return 0;
    }
    std::memcpy(token, reply.token.c_str(), reply.token.size() + 1);
    return reply.token.size();
}

void orvane_activation_activate(orvane_activation* self, wl_surface* surface, const char* token)
{
    if (self->activation == nullptr || surface == nullptr || token == nullptr || *token == '\0') {
        return;
    }
    xdg_activation_v1_activate(self->activation, token, surface);
    wl_display_flush(self->display);
}

} // extern "C"
