# SPDX-License-Identifier: Apache-2.0
# Varnet: the two commands of the README, and a few more.
#   make test   installs what is missing, builds, runs every test
#   make demo   installs what is missing, builds, opens the tool on simulated scanners
#   make test-windows   the Windows build (MinGW-w64) and its tests under Wine
BUILD ?= build
# The Windows build and its package, each in a directory of its own.
WIN_BUILD ?= $(BUILD)-windows
# The package is built in a directory of its own, without tests or benchmarks.
PKG_BUILD ?= $(BUILD)-package
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps build test lint test-asan test-tsan demo bench soak package fuzz mutants clean \
  build-windows test-windows package-windows

all: build

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

test: build
	cd $(BUILD) && ctest -j$(JOBS) --output-on-failure --timeout 300

# clang-format in check mode, then clang-tidy over $(BUILD)/compile_commands.json
# (see HACKING.md). Only what is wrong is printed.
lint: build
	BUILD=$(BUILD) JOBS=$(JOBS) scripts/lint

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B $(BUILD)-asan -DVARNET_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug $(CMAKE_FLAGS)
	cmake --build $(BUILD)-asan -j$(JOBS)
	cd $(BUILD)-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  ctest -j$(JOBS) --output-on-failure --timeout 300

# The whole suite under ThreadSanitizer. Qt comes from Debian, built without
# it: what Qt's own code does to memory is left out of the checks
# (ignore_noninstrumented_modules), our code and every thread it starts are in.
test-tsan: deps
	cmake -S . -B $(BUILD)-tsan -DVARNET_TSAN=ON -DCMAKE_BUILD_TYPE=Debug $(CMAKE_FLAGS)
	cmake --build $(BUILD)-tsan -j$(JOBS)
	cd $(BUILD)-tsan && TSAN_OPTIONS="ignore_noninstrumented_modules=1 second_deadlock_stack=1" \
	  ctest -j$(JOBS) --output-on-failure --timeout 300

# libFuzzer targets (clang), in their own build directory. Run one with
#   build-fuzz/fuzz/fuzz_readers fuzz/corpus/readers -max_total_time=600
fuzz:
	@scripts/install-deps --fuzz
	cmake -S . -B $(BUILD)-fuzz -DVARNET_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD)-fuzz -j$(JOBS) --target fuzz_all

# Each planted fault of tests/mutants.list, built and tested one at a time in a
# copy of the tree (build-mutants/); not part of CI: it takes about an hour.
mutants: deps
	scripts/mutants

demo:
	@scripts/install-deps --demo
	@$(MAKE) --no-print-directory build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then $(BUILD)/varnet-demo; \
	else echo "No display: running headless under xvfb-run (see README.md for screenshots)"; \
	xvfb-run -a -s "-screen 0 1920x1080x24" $(BUILD)/varnet-demo; fi

bench: build
	$(BUILD)/bench/varnet_bench

# Long run of captures and connections; resident memory, descriptors, threads.
soak:
	bench/soak.sh

# varnet_VERSION_amd64.deb (stripped programs, udev rule, desktop entry, icon,
# AppStream metadata) and varnet-dbgsym_VERSION_amd64.ddeb (their debug information),
# in $(PKG_BUILD). Needs neither GoogleTest nor Google Benchmark.
package:
	@scripts/install-deps --package
	cmake -S . -B $(PKG_BUILD) -DVARNET_BUILD_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(PKG_BUILD) -j$(JOBS)
	cd $(PKG_BUILD) && cpack -G DEB

# varnet-cli.exe and the core's unit tests for Windows x86-64, cross-built with
# MinGW-w64 against the libraries scripts/windows-deps keeps in its cache.
build-windows:
	@scripts/install-deps --windows
	@prefixes=$$(scripts/windows-deps) && if [ ! -f $(WIN_BUILD)/CMakeCache.txt ]; then \
	  cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/windows/mingw-posix.cmake \
	    -DCMAKE_PREFIX_PATH="$$prefixes" -DQT_HOST_PATH=/usr \
	    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake $(CMAKE_FLAGS); fi
	cmake --build $(WIN_BUILD) -j$(JOBS)

# The unit tests under Wine (ctest runs them through the toolchain's emulator),
# then varnet-cli.exe against the Linux build's simulators on pseudo-terminals
# mapped as COM ports (tests/windows/cli_suite.py), the windows of varnet.exe and
# varnet-demo.exe driven with xdotool on an Xvfb of their own (tests/windows/gui_suite.py),
# then the zip and the installer as package-windows makes and tries them.
test-windows: build-windows $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS) --target varnet-sim varnet-cli varnet
	@# One wineserver for the whole ctest run: none ends and restarts between two tests.
	tests/windows/wine-env.sh $(WIN_BUILD) start && { (cd $(WIN_BUILD) && ctest -j$(JOBS) --output-on-failure \
	  --timeout 300); s=$$?; tests/windows/wine-env.sh $(WIN_BUILD) stop; exit $$s; }
	tests/windows/cli_suite.py $(BUILD) $(WIN_BUILD)
	tests/windows/gui_suite.py $(BUILD) $(WIN_BUILD)
	packaging/windows/package.sh $(WIN_BUILD)
	tests/windows/package_test.sh $(BUILD) $(WIN_BUILD)/varnet-cli-*-windows-x64.zip
	packaging/windows/installer.sh $(WIN_BUILD)
	tests/windows/installer_test.sh $(BUILD) $(WIN_BUILD)/varnet-*-setup.exe

# varnet-cli-VERSION-windows-x64.zip in $(WIN_BUILD) (packaging/windows/package.sh),
# unpacked and tried in a fresh Wine prefix; beside it varnet-VERSION-setup.exe,
# the installer of every program the build has (packaging/windows/installer.sh),
# installed, run and uninstalled silently in another.
package-windows: build-windows $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS) --target varnet-sim
	packaging/windows/package.sh $(WIN_BUILD)
	tests/windows/package_test.sh $(BUILD) $(WIN_BUILD)/varnet-cli-*-windows-x64.zip
	packaging/windows/installer.sh $(WIN_BUILD)
	tests/windows/installer_test.sh $(BUILD) $(WIN_BUILD)/varnet-*-setup.exe

clean:
	rm -rf $(BUILD) $(PKG_BUILD) $(WIN_BUILD)
