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
# It also starts Aravis's GigE Vision fake camera on 127.0.0.1 and lists it in RASTEL_GENICAM,
# so a GigE Vision camera shows over the real protocol (opened by address: unicast to
# 127.0.0.1 only). It stops when Rastel exits; when its UDP port 3956 is taken, Rastel starts
# without it.
DEVSERVER := $(BUILD_DIR)/server/rastel-devserver
DEVSERVER_ARGS := --bind 127.0.0.1 --config server/demo-devices.json \
	--data-dir $(BUILD_DIR)/devserver-data --dxr-storage-mib 512
FAKE_GIGE := arv-fake-gv-camera-0.8

run: build
	@server=; fake=; genicam="$$RASTEL_GENICAM"; \
	trap 'kill $$server $$fake 2>/dev/null; wait $$server $$fake 2>/dev/null' EXIT INT TERM; \
	if [ -x $(DEVSERVER) ]; then \
	  $(DEVSERVER) $(DEVSERVER_ARGS) > $(BUILD_DIR)/devserver.log 2>&1 & server=$$!; \
	  echo "rastel-devserver on 127.0.0.1 (log: $(BUILD_DIR)/devserver.log)"; \
	else \
	  echo "$(DEVSERVER) not built: no remote cameras this time"; \
	fi; \
	if ! command -v $(FAKE_GIGE) > /dev/null; then \
	  echo "$(FAKE_GIGE) not installed: no GigE Vision camera this time"; \
	elif [ -n "$$(ss -Hlun 'sport = :3956' 2>/dev/null)" ]; then \
	  echo "UDP port 3956 is taken: no GigE Vision fake camera this time"; \
	else \
	  $(FAKE_GIGE) -i 127.0.0.1 > $(BUILD_DIR)/fake-gige.log 2>&1 & fake=$$!; genicam="127.0.0.1$${genicam:+,$$genicam}"; \
	  echo "GigE Vision fake camera on 127.0.0.1 (log: $(BUILD_DIR)/fake-gige.log)"; \
	fi; \
	RASTEL_GENICAM=$$genicam RASTEL_DISCOVERY_ADDRESS=127.255.255.255 $(BUILD_DIR)/app/rastel

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
