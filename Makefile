# Orvane: `make run` builds and starts the program, `make test` builds and
# runs the whole suite headless. Both install what is missing first.

PRESET ?= default
BUILD_DIR := build
PREFIX ?= /usr/local

# Debian 12 packages the build, the tests and the program need.
PACKAGES := cmake make g++ pkg-config qt6-base-dev libqt6svg6 libglib2.0-dev libglib2.0-bin qt6ct \
            shared-mime-info fonts-dejavu-core \
            xvfb xauth xdotool x11-utils imagemagick evilwm desktop-file-utils \
            at-spi2-core dbus-daemon \
            sway wtype grim jq qt6-wayland

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps build run test asan bench install format tidy clean

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

build: deps
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) -j$$(nproc)

run: build
	./$(BUILD_DIR)/orvane

test: build
	ctest --preset $(PRESET) -j$$(nproc)

asan: deps
	cmake --preset asan
	cmake --build --preset asan -j$$(nproc)
	ctest --preset asan -j$$(nproc)

bench: deps
	cmake --preset release
	cmake --build --preset release -j$$(nproc)
	@if [ -x build-release/bench/orvane_bench ]; then build-release/bench/orvane_bench; \
	else echo "no benchmarks built yet"; fi

install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

tidy: build
	git ls-files 'src/*.cpp' | xargs clang-tidy -p $(BUILD_DIR) --quiet

clean:
	rm -rf build build-asan build-release
