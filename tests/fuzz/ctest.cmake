# SPDX-License-Identifier: GPL-3.0-or-later
# ctest entries for the fuzz targets: one build step as a fixture, then each target for a
# bounded time from its seed corpus. Without clang and libFuzzer every entry is skipped.
set(fuzz_build_dir ${CMAKE_CURRENT_BINARY_DIR}/build)

add_test(NAME fuzz_build
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/build_fuzzers.sh
        ${CMAKE_CURRENT_SOURCE_DIR} ${fuzz_build_dir} ${Qt6_DIR})
set_tests_properties(fuzz_build PROPERTIES
    LABELS fuzz
    FIXTURES_SETUP fuzzers
    SKIP_RETURN_CODE 77
    TIMEOUT 600)

# Seconds per target; the three run in about a minute in all.
set(SDVIGUL_FUZZ_SECONDS 20 CACHE STRING "How long ctest runs each fuzz target")

foreach(target helpdecode helpread board)
    add_test(NAME fuzz_${target}
        COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/run_fuzzer.sh
            ${fuzz_build_dir}/fuzz_${target} ${CMAKE_CURRENT_SOURCE_DIR}/corpus/${target}
            ${CMAKE_CURRENT_BINARY_DIR}/${target} ${SDVIGUL_FUZZ_SECONDS})
    set_tests_properties(fuzz_${target} PROPERTIES
        LABELS fuzz
        FIXTURES_REQUIRED fuzzers
        SKIP_RETURN_CODE 77
        TIMEOUT 300)
endforeach()
