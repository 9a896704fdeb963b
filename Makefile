# The two set-up commands:
#   make run    installs what is missing, builds, and runs Linlang Karaoke
#   make test   installs what is missing, builds, and runs every test
# SANITIZE=address (ASan+UBSan) or SANITIZE=thread builds into its own folder; WERROR=1 makes
# every compiler warning an error (as CI builds do).

SANITIZE ?=
WERROR ?=
JOBS ?= 2
BUILD_DIR ?= build$(if $(SANITIZE),-$(SANITIZE))
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?=
DEB_DIR ?= build-deb

.PHONY: all bootstrap configure build run test fuzz bench deb install-test translations clean

all: build

bootstrap:
	@bash scripts/bootstrap.sh

configure: bootstrap
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DLINLANGOK_SANITIZE=$(SANITIZE) -DLINLANGOK_WERROR=$(if $(WERROR),ON,OFF) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

# The application's window; without a display, the demo song through the tool. The window's quit
# codes (1 Exit, 2 close, 32787 menu, which the shell sees as 19) are normal ends.
run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY$$QT_QPA_PLATFORM" ]; then \
	  code=0; $(BUILD_DIR)/app/linlangok || code=$$?; \
	  case $$code in 0|1|2|19) ;; *) exit $$code ;; esac; \
	else \
	  echo "No display (set QT_QPA_PLATFORM=offscreen or use xvfb-run for the window): playing the demo song with linlangok-tool."; \
	  $(BUILD_DIR)/tools/linlangok-tool playmidi resources/demo/jasmine.mid; \
	fi

# The English translation files take the code's texts in, keeping their translations.
translations: bootstrap
	@python3 scripts/translations.py update

# A test that hangs fails after ten minutes instead of holding the run (sanitizer builds are slow).
test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 600

# libFuzzer targets, built with clang, ASan and UBSan, each run for its own time (FUZZ_SECONDS overrides).
fuzz: bootstrap
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja -DLINLANGOK_FUZZ=ON -DLINLANGOK_SANITIZE=address \
	  -DLINLANGOK_TESTS=OFF -DLINLANGOK_BENCH=OFF -DLINLANGOK_WERROR=$(if $(WERROR),ON,OFF) >/dev/null
	@cmake --build $(FUZZ_DIR) -j $(JOBS) --target linlangok_fuzzers
	@bash scripts/run-fuzzers.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

# The Debian package, built for /usr from a release build of its own with Debian's hardening
# flags, and lintian's word on it
# (an error fails); install-test installs it in a scratch copy of this system's root and takes it
# away again (as root; skipped otherwise).
deb: bootstrap
	@export DEB_BUILD_MAINT_OPTIONS=hardening=+all; \
	  CXXFLAGS="$$(dpkg-buildflags --get CXXFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
	  CFLAGS="$$(dpkg-buildflags --get CFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" LDFLAGS="$$(dpkg-buildflags --get LDFLAGS)" \
	  cmake -S . -B $(DEB_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DLINLANGOK_TESTS=OFF \
	  -DLINLANGOK_BENCH=OFF -DLINLANGOK_WERROR=$(if $(WERROR),ON,OFF) >/dev/null
	@cmake --build $(DEB_DIR) -j $(JOBS)
	@rm -f $(DEB_DIR)/linlangok_*.deb
	@cd $(DEB_DIR) && cpack -G DEB >/dev/null
	@lintian --fail-on error $(DEB_DIR)/linlangok_*.deb
	@ls $(DEB_DIR)/linlangok_*.deb

install-test: deb
	@bash tests/package/install-test.sh $(DEB_DIR)/linlangok_*.deb || [ $$? -eq 77 ]

bench: build
	@bash scripts/run-benchmarks.sh $(BUILD_DIR)

clean:
	rm -rf build build-address build-thread $(FUZZ_DIR) $(DEB_DIR)
