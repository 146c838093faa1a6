# Quarrytide: `make run` opens the app, `make test` runs every test suite.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
PACKAGES   := $(shell grep -v '^\#' packaging/debian-packages.txt)

.PHONY: all deps build run test package bench fuzz clean

all: build

# Installs the Debian packages that are missing (nothing when all are there).
deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "installing:" $$missing; \
	  SUDO=$$( [ "$$(id -u)" = 0 ] || echo sudo ); \
	  $$SUDO apt-get update -q && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -q $$missing; \
	fi

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/bin/quarrytide

$(ASAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQUARRYTIDE_SHELL=OFF -DQUARRYTIDE_SANITIZE=ON

test: build
	@bash tests/run-suites.sh "$(BUILD)" "$(ASAN_BUILD)" "$(JOBS)"

# The Debian package of the build: $(BUILD)/quarrytide_<version>_amd64.deb.
package: build
	cmake --build $(BUILD) --target package

# Longer fuzz campaigns than the short runs of `make test` (FUZZ_SECONDS per target).
FUZZ_SECONDS ?= 300
fuzz: deps
	@bash tests/fuzz/run.sh build-fuzz $(FUZZ_SECONDS)

bench: build
	@bash bench/run.sh "$(BUILD)"

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BUILD)-tsan $(BUILD)-fuzz build-fuzz
