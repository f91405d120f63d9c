# The two everyday commands: `make run` and `make test`.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
XVFB := xvfb-run -a -s "-screen 0 1920x1080x24"

.PHONY: run test deps configure build bench clean

run: build
	$(BUILD_DIR)/app/rastel

test: build
	cd $(BUILD_DIR) && $(XVFB) ctest --output-on-failure --timeout 600 -j $(JOBS)

bench: build
	@for b in $(BUILD_DIR)/bench/bench_*; do [ -x "$$b" ] && echo "== $$b" && "$$b"; done; true

deps:
	bash scripts/install-deps.sh

configure: deps
	@[ -f $(BUILD_DIR)/build.ninja ] || cmake -S . -B $(BUILD_DIR) -G Ninja

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

clean:
	rm -rf $(BUILD_DIR)
