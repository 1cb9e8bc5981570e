# make test: set up the machine, build every flavour, run every test.
# make demo: set up, build, and run the installer under wine against the local vendor site.
SHELL := /bin/bash
WINDOWS_FLAVOURS := win64 win32
FLAVOURS := native $(WINDOWS_FLAVOURS)

.PHONY: setup build test demo clean $(addprefix build-,$(FLAVOURS)) $(addprefix test-,native win64)

setup:
	@tools/setup.sh

build: setup $(addprefix build-,$(FLAVOURS))

$(addprefix build-,$(FLAVOURS)): build-%:
	cmake --preset $* >/dev/null
	cmake --build --preset $*

test: build test-native test-win64

$(addprefix test-,native win64): test-%:
	ctest --preset $*

demo: setup
	@if [ ! -x tools/demo.sh ]; then echo "make demo: the installer is not built yet; there is no demo to run." >&2; exit 1; fi
	@tools/demo.sh

clean:
	rm -rf build out
