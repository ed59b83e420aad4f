#!/usr/bin/env bash
# The native tests again under the sanitizers, as part of the test command:
#   build-asan/  AddressSanitizer (leak detection on) with UndefinedBehaviorSanitizer:
#                every CTest test, the tivra program's end-to-end tests and the
#                installed-package check included; then the .NET tests (the registry
#                stress test among them) on the instrumented native libraries;
#   build-tsan/  ThreadSanitizer: the GoogleTest suite, whose worker pool, thread,
#                lock, condition-variable, resampling and convolution tests run
#                on several threads.
# Any report fails the run: UBSan and ASan stop the process at the first finding,
# and ThreadSanitizer makes the test's exit status non-zero.
set -euo pipefail
cd "$(dirname "$0")/.."

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

cmake -S . -B build-asan -G Ninja -DTIVRA_SANITIZE=ON -DTIVRA_BUILD_BENCH=OFF
cmake --build build-asan -j "$(nproc)"
ctest --test-dir build-asan --output-on-failure -j "$(nproc)"

# The .NET tests on the instrumented libostrel, libtivra and test doubles. The .NET host is not
# instrumented, so the sanitizer runtime is preloaded. Leak detection is off (the .NET runtime
# does not free its own memory at exit) and SIGSEGV stays with .NET, which turns it into
# NullReferenceException. The assembly is run directly, without the project's run settings, so
# the installation home they would give (the instrumented build tree, with its WMM.cof) is set here.
dotnet build tests/api/Pelmora.Ostrel.Tests -c Release -p:TivraNativeBuildDir="$PWD/build-asan" \
  -o build-asan/dotnet-tests
TIVRA_HOME="$PWD/build-asan" LD_PRELOAD="$(c++ -print-file-name=libasan.so)" \
  ASAN_OPTIONS=detect_leaks=0:handle_segv=0:allow_user_segv_handler=1:abort_on_error=0 \
  dotnet test build-asan/dotnet-tests/Pelmora.Ostrel.Tests.dll

cmake -S . -B build-tsan -G Ninja -DTIVRA_TSAN=ON -DTIVRA_BUILD_BENCH=OFF -DTIVRA_BUILD_TOOLS=OFF
cmake --build build-tsan -j "$(nproc)"
# Left out here: the installed-package check; the mapped-file fault test, whose page fault inside
# a guarded copy ThreadSanitizer's runtime does not hand to the guard (the process ends by the
# signal; the guard is tested in the plain and AddressSanitizer runs); and the GDAL module's tests,
# single-threaded round trips in which ThreadSanitizer reports a lock-order inversion between two
# of GDAL's own internal mutexes on one thread; and the archive nesting test, single-threaded
# recursion past 65 536 frames on the main thread, deeper than ThreadSanitizer's stack records
# can hold (its runtime stops on an internal check; the test runs in the plain and
# AddressSanitizer runs).
ctest --test-dir build-tsan --output-on-failure -j "$(nproc)" \
  -E '^(consumer_find_package|RuntimeMMFile\.TruncatedFileFaultsAreReportedAndTheFileReopened|RuntimeArchive\.NestingIsBoundedByTheThreadsStack|IoGdalGrid\..*)$'
