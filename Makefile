# The two everyday commands: `make run` and `make test`.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
# -noreset: by default Xvfb resets whenever its last client leaves, and that reset drops a
# connection another test has just opened ("could not connect to display") when ctest runs
# tests in parallel.
XVFB := xvfb-run -a -s "-screen 0 1920x1080x24 -noreset"

.PHONY: run test deps configure build bench docs clean

# `make run` also starts the device server on 127.0.0.1 with a small demo set (one remote
# camera, one DXR camera, one light source) and lets discovery broadcast on loopback, so the
# first start shows local and remote devices. The server stops when Rastel exits; without a
# built server Rastel starts on its local simulated cameras alone.
DEVSERVER := $(BUILD_DIR)/server/rastel-devserver
DEVSERVER_ARGS := --bind 127.0.0.1 --config server/demo-devices.json \
	--data-dir $(BUILD_DIR)/devserver-data --dxr-storage-mib 512

run: build
	@if [ -x $(DEVSERVER) ]; then \
	  $(DEVSERVER) $(DEVSERVER_ARGS) > $(BUILD_DIR)/devserver.log 2>&1 & server=$$!; \
	  trap 'kill $$server 2>/dev/null; wait $$server 2>/dev/null' EXIT INT TERM; \
	  echo "rastel-devserver on 127.0.0.1 (log: $(BUILD_DIR)/devserver.log)"; \
	else \
	  echo "$(DEVSERVER) not built: no remote cameras this time"; \
	fi; \
	RASTEL_DISCOVERY_ADDRESS=127.255.255.255 $(BUILD_DIR)/app/rastel

test: build
	cd $(BUILD_DIR) && $(XVFB) ctest --output-on-failure --timeout 600 -j $(JOBS)

bench: build
	@for b in $(BUILD_DIR)/bench/bench_*; do [ -x "$$b" ] && echo "== $$b" && "$$b"; done; true

# The diagrams of docs/ (installs Graphviz, which only this target needs).
docs:
	bash scripts/render-docs.sh

deps:
	bash scripts/install-deps.sh

configure: deps
	@[ -f $(BUILD_DIR)/build.ninja ] || cmake -S . -B $(BUILD_DIR) -G Ninja

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

clean:
	rm -rf $(BUILD_DIR)
