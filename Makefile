# Quick start: `make run` builds and starts Quillon, `make test` builds and
# runs every test. Both install what is missing from Debian's packages first.

BUILD ?= build
JOBS ?= $(shell nproc)
PACKAGES = cmake make g++ ccache googletest libgtest-dev libbenchmark-dev libgtk-4-dev libx11-dev weston \
	xvfb xdotool x11-apps librsvg2-bin libpng-dev dpkg-dev file desktop-file-utils appstream lintian \
	clang libclang-rt-14-dev cups cups-ppdc cups-filters libcups2-dev libavahi-client-dev libcairo2-dev poppler-utils
# Tests that run no thread of their own, or whose threads the other tests
# already drive: the thread sanitizer's build passes them over.
TSAN_SKIPPED = ^(app_menu_items_test|preview_test|package_test|cups_driver_test)$$
# Seconds each fuzz target runs in `make fuzz`.
FUZZ_SECONDS ?= 60
SUDO = $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps build run test test-plain test-asan test-tsan fuzz bench package clean

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
# Sanitizer, and ThreadSanitizer; then the fuzz targets.
test: test-plain test-asan test-tsan
	$(MAKE) fuzz FUZZ_SECONDS=30

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
		ctest --output-on-failure -j$(JOBS) -E '$(TSAN_SKIPPED)'

# Each libFuzzer target of fuzz/ for FUZZ_SECONDS, built with clang under
# AddressSanitizer and UndefinedBehaviorSanitizer, from its seed inputs in
# fuzz/corpus/NAME, if any (what it finds new stays in $(BUILD)-fuzz/corpus/NAME).
# A crash, a hang of 10 s, a leak or a failed check stops it; the input that
# did it is left in $(BUILD)-fuzz/artifacts.
fuzz: deps
	cmake -S . -B $(BUILD)-fuzz -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-O1 -DCMAKE_C_FLAGS=-O1 \
		-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DQUILLON_WERROR=ON \
		-DQUILLON_FUZZ=ON -DQUILLON_SANITIZE=address,undefined -DQUILLON_TESTS=OFF
	cmake --build $(BUILD)-fuzz -j$(JOBS)
	@set -e; out=$(abspath $(BUILD)-fuzz); mkdir -p $$out/artifacts; \
	for fuzzer in $$out/fuzz/*_fuzzer; do \
		name=$$(basename $$fuzzer); \
		seeds=$(CURDIR)/fuzz/corpus/$$name; [ -d $$seeds ] || seeds=; \
		mkdir -p $$out/corpus/$$name; \
		echo "$$name: $(FUZZ_SECONDS) s"; \
		$$fuzzer -max_total_time=$(FUZZ_SECONDS) -timeout=10 -max_len=4096 -print_final_stats=1 \
			-artifact_prefix=$$out/artifacts/$$name- \
			$$out/corpus/$$name $$seeds > $$out/$$name.log 2>&1 \
			|| { tail -n 60 $$out/$$name.log; exit 1; }; \
		grep -E "^(Done|stat::number_of_executed_units|stat::peak_rss_mb)" $$out/$$name.log; \
	done

# One table of speed figures from a release build of its own, and the CUPS
# filter against CUPS's texttotext; the Google benchmarks in
# build-bench/bench/*_bench go into the details.
bench: deps
	cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release -DQUILLON_WERROR=ON -DQUILLON_TESTS=OFF
	cmake --build $(BUILD)-bench -j$(JOBS) --target speed_table preview_bench texttoquillon quillon-ppds quillon window_shown
	$(BUILD)-bench/bench/speed_table
	$(BUILD)-bench/bench/preview_bench
	bash bench/cups-filter-bench.sh $(BUILD)-bench
	sh bench/desktop_startup.sh $(BUILD)-bench/app/quillon $(BUILD)-bench/bench/window_shown 11

clean:
	rm -rf $(BUILD) $(BUILD)-asan $(BUILD)-tsan $(BUILD)-bench $(BUILD)-fuzz
