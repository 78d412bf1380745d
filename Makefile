# Thin wrapper around CMake: `make` builds build/kelmstrad and the tests.
#
# `make EXE=path` builds only the engine, at `path`, with nothing but make and
# a C++20 compiler (no CMake, GoogleTest or Python), as distributed testers
# such as OpenBench build engines: the sources are compiled directly with
# $(CXX) (default g++), the flags below plus any CXXFLAGS given, and no
# -Werror, so a newer compiler's new warning cannot fail the build. Objects go
# to $(EXE_OBJ) (build-make/<ARCH>/); the binary gives the same bench signature as
# the CMake build. A failed compile or link leaves no binary at EXE.
#
# ARCH chooses the instruction set, for both builds: portable (the default,
# no -march: runs on any processor the compiler targets), native (every
# instruction of this host), x86-64-v2, x86-64-v3 (or its name avx2) and
# x86-64-v4. `make ARCH=native` configures build/ for it (the folder keeps
# the choice until another ARCH is given); every choice gives the same bench
# signature.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release -DKELMSTRAD_WERROR=ON

.PHONY: all build windows run test test-slow test-asan test-tsan test-debug format format-check clean calibrate
.DELETE_ON_ERROR:

ifdef EXE
ARCH_NAME := $(or $(ARCH),portable)
ARCH_CHOICES := portable native x86-64-v2 x86-64-v3 avx2 x86-64-v4
ifeq ($(filter $(ARCH_NAME),$(ARCH_CHOICES)),)
$(error ARCH=$(ARCH) is not one of: $(ARCH_CHOICES))
endif
# As in CMakeLists.txt: contraction off, so no choice changes a floating-point result.
ARCH_FLAGS := $(if $(filter portable,$(ARCH_NAME)),,-march=$(if $(filter avx2,$(ARCH_NAME)),x86-64-v3,$(ARCH_NAME)) -ffp-contract=off)
EXE_OBJ ?= build-make/$(ARCH_NAME)
EXE_SOURCES := $(filter-out src/platform/platform_windows.cpp,$(sort $(wildcard src/*.cpp src/*/*.cpp src/*/*/*.cpp)))
EXE_OBJECTS := $(EXE_SOURCES:%.cpp=$(EXE_OBJ)/%.o)
EXE_FLAGS := -std=c++20 -O2 $(ARCH_FLAGS) -Isrc -pthread -MMD -MP

all: $(EXE)

$(EXE): $(EXE_OBJECTS)
	$(CXX) $(EXE_FLAGS) $(CXXFLAGS) $(EXE_OBJECTS) -o $@ $(LDFLAGS)

$(EXE_OBJ)/%.o: %.cpp
	@mkdir -p $(dir $@)
	$(CXX) $(EXE_FLAGS) $(CXXFLAGS) -c $< -o $@

-include $(EXE_OBJECTS:.o=.d)
else
all: build
endif

ARCH_CMAKE_FLAG := $(if $(ARCH),-DKELMSTRAD_ARCH=$(ARCH))

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) $(ARCH_CMAKE_FLAG)

build: $(BUILD)/CMakeCache.txt
ifdef ARCH
	cmake -S . -B $(BUILD) $(ARCH_CMAKE_FLAG) >/dev/null
endif
	cmake --build $(BUILD) -j $(JOBS)

# The Windows console engine, cross-built with MinGW-w64 (g++-mingw-w64-x86-64-posix)
# and statically linked: build-win/kelmstrad.exe. The tools stay Linux programs.
WIN_BUILD ?= build-win
WIN_CMAKE_FLAGS = -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release -DKELMSTRAD_WERROR=ON

$(WIN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(WIN_BUILD) $(WIN_CMAKE_FLAGS)

windows: $(WIN_BUILD)/CMakeCache.txt
	cmake --build $(WIN_BUILD) -j $(JOBS) --target kelmstrad platform_check

run: build
	@$(BUILD)/kelmstrad

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -LE slow

# A cost table fitted to this host (build/host-costs.json, and a .png of the
# fit beside it): a few minutes of searches; run it on an idle machine. It also
# writes build/host.profile, which names the table, the side prices the fit
# printed and the real-time guard: `build/kelmstrad --profile build/host.profile`.
calibrate: build
	tools/calibrate.py --engine $(BUILD)/kelmstrad --out $(BUILD)/host-costs.json

# The deep perft counts: about 20 seconds in the Release build (17 s of processor time).
test-slow: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -L slow

# Sanitizer and Debug builds, each in its own folder; only the engine and the
# unit tests are built there (no benchmarks). A sanitizer report ends the
# process that made it, and the transcript runner fails a case whose standard
# error holds one, so any finding fails the run.
#   test-asan: AddressSanitizer + UndefinedBehaviorSanitizer on a Debug build
#              (ASSERTs on, position_is_ok after every make and unmake), whole suite.
#   test-tsan: ThreadSanitizer on an optimised build, whole suite.
# Both leave out the default-depth bench signature (label "signature"), which
# takes minutes there (the shallower bench cases run), and the tuner's test
# (label "release-only"), whose fits take minutes there.
#   test-debug: the plain Debug build, whole suite.
# Each run configures its folder again, so flags changed here reach a folder
# built before.
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
DEBUG_BUILD ?= build-debug
CHECKED_TARGETS = kelmstrad unit_tests fen_replay commands_replay platform_check
ASAN_CMAKE_FLAGS = -DKELMSTRAD_WERROR=ON -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g" -DKELMSTRAD_SANITIZE=address,undefined
TSAN_CMAKE_FLAGS = -DKELMSTRAD_WERROR=ON -DCMAKE_BUILD_TYPE=Release -DKELMSTRAD_SANITIZE=thread
DEBUG_CMAKE_FLAGS = -DKELMSTRAD_WERROR=ON -DCMAKE_BUILD_TYPE=Debug
SANITIZER_ENV = ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1 \
                UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
                TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

test-asan:
	cmake -S . -B $(ASAN_BUILD) $(ASAN_CMAKE_FLAGS) >/dev/null
	cmake --build $(ASAN_BUILD) -j $(JOBS) --target $(CHECKED_TARGETS)
	cd $(ASAN_BUILD) && $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS) -LE 'slow|signature|release-only'

test-tsan:
	cmake -S . -B $(TSAN_BUILD) $(TSAN_CMAKE_FLAGS) >/dev/null
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target $(CHECKED_TARGETS)
	cd $(TSAN_BUILD) && $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS) -LE 'slow|signature|release-only'

test-debug:
	cmake -S . -B $(DEBUG_BUILD) $(DEBUG_CMAKE_FLAGS) >/dev/null
	cmake --build $(DEBUG_BUILD) -j $(JOBS) --target $(CHECKED_TARGETS)
	cd $(DEBUG_BUILD) && ctest --output-on-failure -j $(JOBS) -LE 'slow|release-only'

# Every C++ source in the repository, in the style of .clang-format.
FORMAT_SOURCES = $(shell git ls-files '*.cpp' '*.h')

format:
	clang-format -i $(FORMAT_SOURCES)

format-check:
	@clang-format --dry-run --Werror $(FORMAT_SOURCES) && echo "format-check: $(words $(FORMAT_SOURCES)) files as .clang-format leaves them"

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(DEBUG_BUILD) $(WIN_BUILD) build-make
