# Quick start: `make run` builds and starts Quillon, `make test` builds and
# runs every test. Both install what is missing from Debian's packages first.

BUILD ?= build
JOBS ?= $(shell nproc)
PACKAGES = cmake make g++ ccache googletest libgtest-dev libbenchmark-dev libfltk1.3-dev libx11-dev \
	xvfb xdotool x11-apps librsvg2-bin libpng-dev dpkg-dev file desktop-file-utils appstream lintian
SUDO = $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps build run test test-plain test-asan test-tsan bench package clean

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
		dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
		echo "Installing:$$missing"; \
		$(SUDO) apt-get update && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y $$missing; \
	fi

$(BUILD)/Makefile: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_WERROR=ON

build: deps $(BUILD)/Makefile
	cmake --build $(BUILD) -j$(JOBS)

run: build
	$(BUILD)/app/quillon

# A Debian package of the installed files, in $(BUILD).
package: build
	cd $(BUILD) && cpack

# Every test in three builds: plain, AddressSanitizer with UndefinedBehavior-
# Sanitizer, and ThreadSanitizer.
test: test-plain test-asan test-tsan

test-plain: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

test-asan: deps
	cmake -S . -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=Debug -DQUILLON_WERROR=ON \
		-DQUILLON_SANITIZE=address,undefined
	cmake --build $(BUILD)-asan -j$(JOBS)
	cd $(BUILD)-asan && ctest --output-on-failure -j$(JOBS)

test-tsan: deps
	cmake -S . -B $(BUILD)-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_WERROR=ON \
		-DQUILLON_SANITIZE=thread
	cmake --build $(BUILD)-tsan -j$(JOBS)
	cd $(BUILD)-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
		ctest --output-on-failure -j$(JOBS)

# One table of speed figures from a release build of its own; the Google
# benchmarks in build-bench/bench/*_bench go into the details.
bench: deps
	cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release -DQUILLON_WERROR=ON -DQUILLON_TESTS=OFF
	cmake --build $(BUILD)-bench -j$(JOBS) --target speed_table
	$(BUILD)-bench/bench/speed_table

clean:
	rm -rf $(BUILD) $(BUILD)-asan $(BUILD)-tsan $(BUILD)-bench
