# Two commands do everything on a fresh Debian machine:
#   make run    installs what is missing, builds, and runs the main job
#   make test   installs what is missing, builds and runs every test
#               (AddressSanitizer + UndefinedBehaviorSanitizer, then the
#               two-thread tests under ThreadSanitizer, then a short fuzz run)
JOBS ?= $(shell nproc)
BUILD ?= build
# No test takes more than a few seconds: one that hangs fails after this
# many seconds instead of holding the run to its end.
TEST_TIMEOUT ?= 120

.PHONY: run test setup build test-asan test-tsan fuzz clean

setup:
	tools/setup.sh

build: setup
	cmake -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWRENVIA_TESTS=OFF
	cmake --build $(BUILD)/release -j $(JOBS)

run: build
	tools/run-main-job.sh $(BUILD)/release

# One after the other: each stage uses every core itself.
test: setup
	$(MAKE) test-asan
	$(MAKE) test-tsan
	$(MAKE) fuzz

test-asan:
	cmake -S . -B $(BUILD)/asan -DCMAKE_BUILD_TYPE=Debug -DWRENVIA_SANITIZE=address,undefined
	cmake --build $(BUILD)/asan -j $(JOBS)
	ctest --test-dir $(BUILD)/asan --output-on-failure -j $(JOBS) --timeout $(TEST_TIMEOUT)

test-tsan:
	cmake -S . -B $(BUILD)/tsan -DCMAKE_BUILD_TYPE=Debug -DWRENVIA_SANITIZE=thread
	cmake --build $(BUILD)/tsan -j $(JOBS)
	TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/tsan.supp" \
	  ctest --test-dir $(BUILD)/tsan --output-on-failure -j $(JOBS) -R Threads --timeout $(TEST_TIMEOUT)

fuzz:
	tools/run-fuzzers.sh $(BUILD)/fuzz

clean:
	rm -rf $(BUILD)
