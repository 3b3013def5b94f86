# Builds Ostrel with make, for tools that build engines that way (engine
# testing frameworks run "make -j build EXE=name" or "make -j profile-build
# EXE=name" and expect that one file). CMake stays the one description of the
# build: this file only runs it.
#
#   make [EXE=name] [EXE32=name] [CXX=compiler]
#       Builds both programs (Release) and copies them into this folder:
#       ostrel64 as $(EXE), default ostrel64, and ostrel32 as $(EXE32),
#       default $(EXE) with "64" replaced by "32" in its file name, or
#       $(EXE)32 when the file name holds no "64".
#   make build, make profile-build   the same
#   make windows    also the Windows programs ostrel64.exe and ostrel32.exe
#                   (mingw-w64), copied here under those names
#   make packages   the Debian package and the Windows zip, into dist/
#   make test       the whole test suite (scripts/test.sh)
#   make clean      removes this Makefile's build folders and copies

EXE ?= ostrel64
EXE32 ?= $(dir $(EXE))$(if $(findstring 64,$(notdir $(EXE))),$(subst 64,32,$(notdir $(EXE))),$(notdir $(EXE))32)
CMAKE ?= cmake
# One build folder per compiler, so that CXX= never meets another's cache.
BUILD_DIR ?= build/make-$(notdir $(firstword $(CXX)))

.PHONY: all build profile-build windows packages test clean

all: build

profile-build: build

build:
	$(CMAKE) -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DOSTREL_TESTS=OFF \
		-DCMAKE_CXX_COMPILER=$(CXX)
	+$(CMAKE) --build $(BUILD_DIR) --target ostrel64 ostrel32
	cp $(BUILD_DIR)/ostrel64 $(EXE)
	cp $(BUILD_DIR)/ostrel32 $(EXE32)

windows: build
	$(CMAKE) -S . -B $(BUILD_DIR) -DOSTREL_WINDOWS=ON
	+$(CMAKE) --build $(BUILD_DIR) --target windows_x86_64 windows_i686
	cp $(BUILD_DIR)/windows-x86_64/ostrel64.exe $(BUILD_DIR)/windows-i686/ostrel32.exe .

packages:
	./scripts/package.sh

test:
	./scripts/test.sh

clean:
	rm -rf build/make-*
	rm -f $(EXE) $(EXE32) ostrel64.exe ostrel32.exe
