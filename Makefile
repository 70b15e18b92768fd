# Set-up: `make run` plays the bundled demo, `make test` builds and runs the tests.
.PHONY: all deps deps-bench deps-deb web-deps web build build-asan run demo contact-sheet test test-asan bench fuzz fuzz-corpus docs install deb test-deb clean

JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
RELEASE := build/release
DEMO_DIR := demo
DEMO_SCRIPT := demo.lscx

all: build

deps:
	@bash scripts/install-deps.sh

deps-bench:
	@bash scripts/install-deps.sh --bench

deps-deb:
	@bash scripts/install-deps.sh --deb

# The emscripten toolchain and the WebAssembly libraries of the browser build, built from Debian's
# sources into ~/.cache/tessaline/web/<key>/ (scripts/web/build-deps.sh --print-prefix names it).
web-deps:
	@bash scripts/install-deps.sh --web
	@WEB_DEPS_JOBS=$(JOBS) bash scripts/web/build-deps.sh

# The bundled demo as a web site in build/web/demo/: the page's engine built for WebAssembly
# (build/web/), then the demo packed by tessaline-web. Serve it: python3 -m http.server -d build/web/demo
web: build web-deps
	@bash scripts/web/build.sh $(JOBS)
	$(RELEASE)/tools/tessaline-web --engine build/web/apps/tessaline-page $(DEMO_DIR) build/web/demo

build: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)

build-asan: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)

# Plays the demo in a window when a display is there, otherwise renders it headless into out/.
run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  cd $(DEMO_DIR) && ../$(RELEASE)/apps/tessaline $(DEMO_SCRIPT); \
	else \
	  echo "No display: rendering the demo headless into out/"; \
	  mkdir -p out && cd $(DEMO_DIR) && ../$(RELEASE)/apps/tessaline-render --out ../out --fps 2 --end 30000 $(DEMO_SCRIPT) && \
	  echo "Frames written to $$(cd .. && pwd)/out/"; \
	fi

# Rebuilds the demo's generated and binary files from their sources (demo/demo.lscx lists them).
demo: build
	cmake --build --preset release --target demo

# One frame of the demo every 10 s (5 s, 15 s, ... 275 s), laid out on one picture for the README;
# fails when two of the frames are alike.
CONTACT_TIMES := $(shell seq -s, 5000 10000 275000)
CONTACT_LABELS := $(shell for t in $$(seq 5 10 275); do printf '%d:%02d,' $$((t / 60)) $$((t % 60)); done | sed 's/,$$//')
contact-sheet: build
	rm -rf out/contact-sheet && mkdir -p out/contact-sheet docs/images
	cd $(DEMO_DIR) && ../$(RELEASE)/apps/tessaline-render --quiet --image work -o ../out/contact-sheet \
	  --times $(CONTACT_TIMES) $(DEMO_SCRIPT)
	$(RELEASE)/tools/tessaline-contactsheet --columns 4 --shrink 2 --distinct --labels "$(CONTACT_LABELS)" \
	  -o docs/images/contact-sheet.png out/contact-sheet/*.png

test: build
	ctest --preset release

test-asan: build-asan
	ctest --preset asan

bench: deps-bench
	cmake --preset bench >/dev/null
	cmake --build --preset bench -j $(JOBS)
	@for b in build/bench/bench/*; do \
	  if [ -x "$$b" ] && [ -f "$$b" ]; then echo "== $$b"; "$$b" || exit 1; fi; \
	done

fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)

# Replays every fuzz target's seed corpus once, under ASan and UBSan.
fuzz-corpus: fuzz
	ctest --preset fuzz

# The guide's pictures (every example rendered, every curve plotted, into docs/pictures/) and
# the man pages (build/release/docs/man/).
docs: build
	cmake --build --preset release --target docs

# Installs into PREFIX (default /usr/local); DESTDIR=DIR stages the tree under DIR.
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(RELEASE) --prefix "$(PREFIX)"

# The Debian package build/tessaline_VERSION_ARCH.deb: cpack over the release build's install
# rules (cmake/Package.cmake), installed under /usr.
deb: deps-deb build
	rm -f build/tessaline_*.deb
	cd $(RELEASE) && cpack -B $(CURDIR)/build

# The package checked, installed with apt-get, its showcase played and the package removed
# again (scripts/test-deb.sh; installs on this machine, as root or through sudo).
test-deb: deb
	@bash scripts/test-deb.sh

clean:
	rm -rf build out
