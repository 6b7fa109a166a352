# Two entry points: `make demo` lists the bundled demo disc and converts
# every program on it into instrument files, `make test` builds and runs
# every test. Both install missing Debian packages first (the demo only
# those of the native build).
.PHONY: demo test deps fuzz-smoke win32-test dist dist-builds dist-test

FUZZ_SECONDS ?= 60

deps:
	@tools/install-deps.sh

demo:
	@tools/install-deps.sh --native
	cmake --preset demo >/dev/null
	cmake --build --preset demo --target corvix demo_disc
	./build/demo/corvix list build/demo/demo/demo.iso
	rm -rf build/demo/demo/out
	./build/demo/corvix convert build/demo/demo/demo.iso 'A/*/*' 'B/*/*' --to build/demo/demo/out
	./build/demo/corvix sf2 build/demo/demo/demo.iso 'A/*/*' 'B/*/*' --to build/demo/demo/out
	ls -l build/demo/demo/out

test: deps
	cmake --preset dev
	cmake --build --preset dev
	ctest --preset dev
	$(MAKE) --no-print-directory fuzz-smoke FUZZ_SECONDS=$(FUZZ_SECONDS)
	$(MAKE) --no-print-directory win32-test
	$(MAKE) --no-print-directory dist-test
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

# The Windows builds (mingw-w64) and their tests under Wine. win32 is the
# program's platform; win64 builds the same sources to run the same tests on
# machines whose kernel can't execute 32-bit code, where win32's Wine tests
# report themselves skipped.
win32-test: deps
	cmake --preset win32
	cmake --build --preset win32
	ctest --preset win32
	cmake --preset win64
	cmake --build --preset win64
	ctest --preset win64

# Each fuzz target for FUZZ_SECONDS, seeded from the test-disc builder.
fuzz-smoke: deps
	cmake --preset fuzz -DCORVIX_FUZZ_SECONDS=$(FUZZ_SECONDS)
	cmake --build --preset fuzz
	ctest --preset fuzz

# The release packages in dist/: Corvix-VERSION-win32.zip (the win32 tree)
# and corvix_VERSION_ARCH.deb (the dist tree: corvix built hardened).
dist: dist-builds
	cpack --preset zip
	cpack --preset deb
	rm -rf dist/_CPack_Packages
	ls -l dist

dist-builds:
	@tools/install-deps.sh --dist
	cmake --preset dist
	cmake --build --preset dist
	cmake --preset win32
	cmake --build --preset win32 --target Corvix corvix

# Packs both again (into build/dist/packages-check) and checks them as a
# packager would: the zip's members and DLLs, the .deb run unpacked, lintian.
dist-test: deps dist-builds
	ctest --preset dist
