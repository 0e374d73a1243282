#pragma once

// The Wayland side of bringing windows to the front (xdg-activation-v1),
// built as a module of its own and loaded only when a start on Wayland asks
// for it: linked into the program, libwayland-client would be loaded at
// every start, X11 ones included. A plain C interface, so that the program
// finds each function by its name.

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#pragma GCC visibility push(default)

struct wl_display;
struct wl_seat;
struct wl_surface;
struct orvane_activation;

// Lists the compositor's globals on an event queue of our own, so that
// nothing of the toolkit's own queue is dispatched here. Null when the
// compositor did not answer within waitMs.
struct orvane_activation* orvane_activation_open(struct wl_display* display, int waitMs);
void orvane_activation_close(struct orvane_activation* activation);

// Whether the compositor offers xdg-activation-v1, and a seat.
int orvane_activation_supported(const struct orvane_activation* activation);
int orvane_activation_has_seat(const struct orvane_activation* activation);

// Asks for a token for the surface; seat may be null (then the serial is
// not given). Writes the token, NUL-terminated, to `token` and returns its
// length; 0 when there is none within waitMs or it does not fit.
size_t orvane_activation_token(struct orvane_activation* activation, struct wl_surface* surface,
                               struct wl_seat* seat, uint32_t serial, const char* appId, int waitMs,
                               char* token, size_t size);

// Asks the compositor to activate the surface with a token another client
// was given.
void orvane_activation_activate(struct orvane_activation* activation, struct wl_surface* surface,
                                const char* token);

#pragma GCC visibility pop

#ifdef __cplusplus
}
#endif
