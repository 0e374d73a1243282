# Orvane: `make run` builds and starts the program, `make test` builds and
# runs the whole suite headless. Both install what is missing first.
# `make install` and `make package` use a release build of the program alone.

PRESET ?= default
BUILD_DIR := build
DIST_DIR := build-dist
PREFIX ?= /usr/local
# More settings for the build, as -DNAME=VALUE (CI turns on ORVANE_WERROR).
CMAKE_ARGS ?=

# Debian 12 packages the build, the tests and the program need.
PACKAGES := cmake make g++ pkg-config qt6-base-dev qt6-base-private-dev libqt6svg6 libglib2.0-dev libglib2.0-bin qt6ct \
            libwayland-dev libwayland-bin wayland-protocols libxcb1-dev \
            shared-mime-info fonts-dejavu-core \
            xvfb xdotool x11-utils imagemagick desktop-file-utils xdg-utils dbus-daemon \
            clang-tidy clang-format dpkg-dev lintian appstream man-db \
            sway wtype qt6-wayland libsm-dev libice-dev

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps build run test asan bench fuzz dist install uninstall package format format-check tidy clean

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
	cmake --preset $(PRESET) $(CMAKE_ARGS)
	cmake --build --preset $(PRESET) -j$$(nproc)

run: build
	./$(BUILD_DIR)/orvane

test: build
	ctest --preset $(PRESET) -j$$(nproc)

asan: deps
	cmake --preset asan $(CMAKE_ARGS)
	cmake --build --preset asan -j$$(nproc)
	ctest --preset asan -j$$(nproc)

bench: deps
	cmake --preset release
	cmake --build --preset release -j$$(nproc)
	@if [ -x build-release/bench/orvane_bench ]; then build-release/bench/orvane_bench; \
	else echo "no benchmarks built yet"; fi

# libFuzzer on the settings file's reader, under the address and
# undefined-behaviour sanitizers, for FUZZ_SECONDS; not part of `make test`.
# What it finds is left in build-fuzz/ (crash-*, timeout-*), its corpus in
# build-fuzz/corpus.
FUZZ_SECONDS ?= 600
FUZZ_PACKAGES := clang libclang-rt-14-dev qt6-base-dev pkg-config

fuzz:
	@$(MAKE) --no-print-directory deps PACKAGES="$(FUZZ_PACKAGES)"
	mkdir -p build-fuzz/corpus
	clang++ -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
	  -DQT_NO_KEYWORDS -DQT_NO_CAST_FROM_ASCII \
	  -Isrc $$(pkg-config --cflags Qt6Core) tests/fuzz/fuzz_inifile.cpp src/platform/inifile.cpp \
	  $$(pkg-config --libs Qt6Core) -o build-fuzz/fuzz_inifile
	cd build-fuzz && ./fuzz_inifile -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -timeout=5 \
	  -dict=../tests/fuzz/inifile.dict corpus

# The prefix is set when configuring: the manual page names the folder of
# the help pages.
dist: deps
	cmake --preset dist -DCMAKE_INSTALL_PREFIX=$(DIST_PREFIX) $(CMAKE_ARGS)
	cmake --build --preset dist -j$$(nproc)

install: DIST_PREFIX = $(PREFIX)
install: dist
	cmake --install $(DIST_DIR) --strip

# Removes what the last `make install` installed, then the folders of
# Orvane's own that it leaves empty.
uninstall:
	@test -f $(DIST_DIR)/install_manifest.txt || { echo "nothing installed from $(DIST_DIR)"; exit 1; }
	xargs -d '\n' rm -f -- <$(DIST_DIR)/install_manifest.txt
	@prefix=$$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' $(DIST_DIR)/CMakeCache.txt); \
	for d in share/orvane/help share/orvane share/doc/orvane; do \
	  [ ! -d "$$prefix/$$d" ] || rmdir --ignore-fail-on-non-empty "$$prefix/$$d"; \
	done
	rm -f $(DIST_DIR)/install_manifest.txt

# orvane_VERSION_ARCH.deb here, from a stripped release build for /usr.
package: DIST_PREFIX = /usr
package: dist
	cd $(DIST_DIR) && cpack
	cp $(DIST_DIR)/orvane_*.deb .

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check:
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

tidy: build
	git ls-files 'src/*.cpp' | xargs clang-tidy -p $(BUILD_DIR) --quiet

clean:
	rm -rf build build-asan build-release $(DIST_DIR) orvane_*.deb
