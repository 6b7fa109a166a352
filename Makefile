# Two entry points: `make demo` lists the bundled demo disc and converts
# every program on it into instrument files, `make test` builds and runs
# every test. Both install missing Debian packages first.
.PHONY: demo test deps fuzz-smoke win32-test

FUZZ_SECONDS ?= 60

deps:
	@tools/install-deps.sh

demo: deps
	cmake --preset dev >/dev/null
	cmake --build --preset dev --target corvix demo_disc
	./build/dev/corvix list build/dev/demo/demo.iso
	rm -rf build/dev/demo/out
	./build/dev/corvix convert build/dev/demo/demo.iso 'A/*/*' 'B/*/*' --to build/dev/demo/out
	ls -l build/dev/demo/out

test: deps
	cmake --preset dev
	cmake --build --preset dev
	ctest --preset dev
	$(MAKE) --no-print-directory fuzz-smoke FUZZ_SECONDS=$(FUZZ_SECONDS)
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan
	$(MAKE) --no-print-directory win32-test

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
