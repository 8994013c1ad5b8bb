# The commands of the README. Each first installs what it needs, and only
# that: `scripts/setup PURPOSE` (build, test, windows, package, bench, fuzz).
BUILD ?= build
CMAKE_FLAGS ?=
WINDOWS_BUILD ?= build-windows

# `make test` also builds the core and tavimo-export with AddressSanitizer
# and UndefinedBehaviorSanitizer and runs the unit tests there, and gives
# every fuzz target a short run; `make fuzz` runs the fuzz targets longer.
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_TARGETS := fuzz_number_text fuzz_save_cells
FUZZ_SECONDS ?= 30
FUZZ_LONG_SECONDS ?= 300
# A report ends the process with SIGABRT, so no exit status can hide it
# (tavimo-export's own statuses 1 and 2 included). Leak checking needs
# ptrace, which works as root and in ordinary CI containers.
SANITIZER_ENV := ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:strict_init_order=1:check_initialization_order=1 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:abort_on_error=1

SETUPS := setup-build setup-test setup-windows setup-package setup-bench setup-fuzz setup-arm64 setup-wasm

.PHONY: all setup $(SETUPS) build test-build run quick test test-sanitize test-fuzz fuzz fuzz-build bench trig-check package windows clean
.PHONY: soft-extended arm64 package-arm64 wasm ports

all: build

# Everything every command needs.
setup:
	@bash scripts/setup

$(SETUPS):
	@bash scripts/setup $(@:setup-%=%)

# The normal build in $(BUILD): the dialog and tavimo-export. A build folder
# that `make build` or `make run` makes has no tests; `make test` and
# `make quick` add the tests and the benchmarks (built, not run, so that a
# change that breaks them shows), and they stay in that folder afterwards.
NEW_FOLDER_WITHOUT_TESTS = $(if $(wildcard $(BUILD)/CMakeCache.txt),,-DTAVIMO_BUILD_TESTS=OFF)

build: setup-build
	@cmake -S . -B $(BUILD) -G Ninja $(NEW_FOLDER_WITHOUT_TESTS) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD)

test-build: setup-test
	@cmake -S . -B $(BUILD) -G Ninja -DTAVIMO_BUILD_TESTS=ON -DTAVIMO_BUILD_BENCH=ON \
		-DTAVIMO_WINDOWS_BUILD=$(abspath $(WINDOWS_BUILD)) $(PORT_BUILDS) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD)

run: build
	@$(BUILD)/app/tavimo

# The inner loop: the normal build with its tests, then its unit tests only.
quick: test-build
	@cd $(BUILD) && ctest -L unit --output-on-failure -j2

# The sanitizer and fuzz steps first, so that the run ends with the result
# lines of the normal tests. The Windows programs are built first too: the
# normal tests run them under Wine.
test: test-build windows ports test-sanitize test-fuzz
	@cd $(BUILD) && ctest --output-on-failure

# Warnings stay warnings here: with the sanitizers, GCC warns of its own
# library's code (std::regex) where nothing is wrong.
test-sanitize: setup-test
	@echo "sanitizers: building the core, tavimo-export and the tests in $(ASAN_BUILD)"
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DTAVIMO_SANITIZE=ON -DTAVIMO_BUILD_APP=OFF -DTAVIMO_WERROR=OFF >/dev/null
	@cmake --build $(ASAN_BUILD) >$(ASAN_BUILD)/build.log 2>&1 || { cat $(ASAN_BUILD)/build.log; exit 1; }
	@cd $(ASAN_BUILD) && $(SANITIZER_ENV) ctest -j2 --output-on-failure >ctest.log 2>&1 \
		|| { cat ctest.log; echo "sanitizers: tests FAILED (log: $(ASAN_BUILD)/ctest.log)"; exit 1; }
	@printf 'sanitizers: '; grep 'tests passed' $(ASAN_BUILD)/ctest.log

fuzz-build: setup-fuzz
	@CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DTAVIMO_BUILD_FUZZ=ON -DTAVIMO_SANITIZE=ON \
		-DTAVIMO_BUILD_APP=OFF -DTAVIMO_BUILD_TESTS=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD) --target fuzz_targets >$(FUZZ_BUILD)/build.log 2>&1 \
		|| { cat $(FUZZ_BUILD)/build.log; exit 1; }

# The targets run side by side, one per core: FUZZ_SECONDS in `make test`,
# FUZZ_LONG_SECONDS in `make fuzz`. fuzz/run_fuzz.sh says where findings go.
test-fuzz: fuzz-build
	@sh fuzz/run_fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

fuzz: fuzz-build
	@sh fuzz/run_fuzz.sh $(FUZZ_BUILD) $(FUZZ_LONG_SECONDS) $(FUZZ_TARGETS)

# Benchmarks: an optimised build of its own, never timed assertions in tests.
# The micro-benchmarks, then tavimo-export beside cp and the ezdxf peer,
# then the GIS formats beside the DXF file and QGIS's and GRASS's grids, then
# clipped exports beside whole ones, then the software 80-bit type's cost per
# cell beside x87's (other CPUs' arithmetic, for the record).
bench: setup-bench
	@cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVIMO_BUILD_BENCH=ON -DTAVIMO_BUILD_TESTS=OFF >/dev/null
	@cmake --build build-bench --target tavimo_bench tavimo-export tavimo_gis
	@build-bench/bench/tavimo_bench
	@/usr/bin/python3 bench/export_bench.py --exporter build-bench/cli/tavimo-export --dir build-bench/export-bench
	@/usr/bin/python3 bench/angle_bench.py --exporter build-bench/cli/tavimo-export --dir build-bench/angle-bench
	@/usr/bin/python3 bench/gis_bench.py --exporter build-bench/cli/tavimo-export --dir build-bench/gis-bench
	@/usr/bin/python3 bench/clip_bench.py --exporter build-bench/cli/tavimo-export --dir build-bench/clip-bench
	@cmake -S . -B build-bench-soft -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVIMO_SOFT_EXTENDED=ON -DTAVIMO_BUILD_TESTS=OFF \
		-DTAVIMO_BUILD_APP=OFF -DTAVIMO_WITH_GDAL=OFF >/dev/null
	@cmake --build build-bench-soft --target tavimo-export
	@/usr/bin/python3 bench/soft_extended_bench.py --exporter build-bench/cli/tavimo-export \
		--soft build-bench-soft/cli/tavimo-export --dir build-bench/soft-extended-bench

# The own cos, sin, square root and direction (model/exact_trig.h) bit for
# bit against mpmath: over a million random angles, every hundredth of a
# degree to 90 and the hard cases, both cores, a few minutes. `make test`
# runs a sample of it.
trig-check: setup-test
	@cmake -S . -B $(BUILD) -G Ninja -DTAVIMO_BUILD_TESTS=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) --target trig_probe
	@/usr/bin/python3 tests/model/check_trig.py --probe $(BUILD)/tests/model/trig_probe --full

# The Debian package, from a build of its own without tests: the same
# compiler flags as the tested build, stripped. It lands in this folder:
#   sudo apt-get install ./tavimo_*.deb
# and beside it the QGIS plugin's zip, for QGIS's plugin manager.
PACKAGE_BUILD ?= build-package
package: setup-package
	@cmake -S . -B $(PACKAGE_BUILD) -G Ninja -DTAVIMO_BUILD_TESTS=OFF $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(PACKAGE_BUILD)
	@rm -f $(PACKAGE_BUILD)/tavimo_*.deb
	@cd $(PACKAGE_BUILD) && cpack -G DEB >cpack.log 2>&1 || { cat cpack.log; exit 1; }
	@cp $(PACKAGE_BUILD)/tavimo_*.deb .
	@echo "package: $$(ls $(PACKAGE_BUILD)/tavimo_*.deb | xargs -n1 basename)"
	@cp $(PACKAGE_BUILD)/tavimo_processing-*.zip .
	@echo "package: $$(ls $(PACKAGE_BUILD)/tavimo_processing-*.zip | xargs -n1 basename) (the QGIS plugin)"

# The Windows programs, cross-built with MinGW-w64: tavimo.exe and
# tavimo-export.exe (each one file, nothing to install) and a zip with both,
# the Windows README, the guide, the licence and the QGIS plugin's zip.
windows: setup-windows
	@cmake -S . -B $(WINDOWS_BUILD) -G Ninja --toolchain cmake/mingw-w64-x86_64.cmake $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(WINDOWS_BUILD)
	@rm -f $(WINDOWS_BUILD)/tavimo-*-windows-x86_64.zip
	@cd $(WINDOWS_BUILD) && cpack -G ZIP >cpack.log 2>&1 || { cat cpack.log; exit 1; }
	@echo "windows: $(WINDOWS_BUILD)/$$(cd $(WINDOWS_BUILD) && ls tavimo-*-windows-x86_64.zip)"

# Other CPUs and the software 80-bit type (number/extended.h), each in a
# build folder of its own, without Qt and GDAL. The normal build's tests
# compare each one's tavimo-export with its own (tests/ports/): the
# software type's build directly, arm64 under qemu-aarch64, WebAssembly
# under node; `make test` also runs the arm64 unit tests under qemu.
SOFT_BUILD ?= build-soft
ARM64_BUILD ?= build-arm64
WASM_BUILD ?= build-wasm
PORT_BUILDS = -DTAVIMO_SOFT_BUILD=$(abspath $(SOFT_BUILD)) -DTAVIMO_ARM64_BUILD=$(abspath $(ARM64_BUILD)) \
	-DTAVIMO_WASM_BUILD=$(abspath $(WASM_BUILD))
PORT_FLAGS := -DTAVIMO_BUILD_APP=OFF -DTAVIMO_WITH_GDAL=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo

ports: soft-extended arm64 wasm
	@cd $(ARM64_BUILD) && ctest -L unit -j2 >ctest.log 2>&1 \
		|| { cat ctest.log; echo "arm64: unit tests FAILED under qemu (log: $(ARM64_BUILD)/ctest.log)"; exit 1; }
	@printf 'arm64 under qemu: '; grep 'tests passed' $(ARM64_BUILD)/ctest.log

# The x86 exporter with the software type instead of x87's: slower, the
# same bytes.
soft-extended: setup-build
	@cmake -S . -B $(SOFT_BUILD) -G Ninja -DTAVIMO_SOFT_EXTENDED=ON -DTAVIMO_BUILD_TESTS=OFF $(PORT_FLAGS) >/dev/null
	@cmake --build $(SOFT_BUILD) --target tavimo-export

# The core, tavimo-export and the unit tests for arm64 Linux, with
# GoogleTest built from Debian's sources by the same cross compiler.
arm64: setup-arm64
	@cmake -S /usr/src/googletest -B $(ARM64_BUILD)/googletest-build -G Ninja \
		--toolchain $(abspath cmake/aarch64-linux-gnu.cmake) -DCMAKE_BUILD_TYPE=Release \
		-DCMAKE_INSTALL_PREFIX=$(abspath $(ARM64_BUILD))/googletest >/dev/null
	@cmake --build $(ARM64_BUILD)/googletest-build --target install >/dev/null
	@cmake -S . -B $(ARM64_BUILD) -G Ninja --toolchain cmake/aarch64-linux-gnu.cmake $(PORT_FLAGS) \
		-DTAVIMO_BUILD_TESTS=ON -DGTest_DIR=$(abspath $(ARM64_BUILD))/googletest/lib/cmake/GTest $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(ARM64_BUILD)
	@echo "arm64: $(ARM64_BUILD)/cli/tavimo-export (run it with qemu-aarch64 -L /usr/aarch64-linux-gnu)"

# The arm64 Debian package: tavimo-export, its man page and completion and
# the documents; no dialog and no GIS module (their arm64 libraries do not
# install beside the amd64 ones).
package-arm64: setup-arm64
	@cmake -S . -B $(ARM64_BUILD)-package -G Ninja --toolchain cmake/aarch64-linux-gnu.cmake $(PORT_FLAGS) \
		-DTAVIMO_BUILD_TESTS=OFF $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(ARM64_BUILD)-package
	@rm -f $(ARM64_BUILD)-package/tavimo_*.deb
	@cd $(ARM64_BUILD)-package && cpack -G DEB >cpack.log 2>&1 || { cat cpack.log; exit 1; }
	@cp $(ARM64_BUILD)-package/tavimo_*_arm64.deb .
	@echo "package-arm64: $$(ls $(ARM64_BUILD)-package/tavimo_*.deb | xargs -n1 basename)"

# tavimo-export as WebAssembly with Debian's emscripten: tavimo-export.js,
# one file, run by node on the host's files.
wasm: setup-wasm
	@NODE_PATH=/usr/share/nodejs emcmake cmake -S . -B $(WASM_BUILD) -G Ninja $(PORT_FLAGS) \
		-DTAVIMO_BUILD_TESTS=OFF $(CMAKE_FLAGS) >/dev/null
	@NODE_PATH=/usr/share/nodejs cmake --build $(WASM_BUILD) --target tavimo-export tavimo-web
	@echo "wasm: $(WASM_BUILD)/cli/tavimo-export.js (node $(WASM_BUILD)/cli/tavimo-export.js --help)"

# Every build folder: build/ and each build-*/ beside it.
clean:
	rm -rf $(BUILD) build-*/
