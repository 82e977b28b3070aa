# SPDX-License-Identifier: GPL-3.0-or-later
# Included from the top-level CMakeLists.txt (after the game's targets and include(CTest)).
#
# bench_startup: the side-by-side benchmark in its quick mode (about a minute and a half). It
# needs a free X display number, installs packages when missing and measures timings, so it
# carries the label `bench`, which CI excludes: run it with `ctest -L bench`.
add_test(NAME bench_startup
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/run.sh --quick
        --game $<TARGET_FILE:sdvigul> --build-dir ${CMAKE_BINARY_DIR}/bench)
set_tests_properties(bench_startup PROPERTIES
    LABELS bench
    RUN_SERIAL TRUE
    TIMEOUT 900)

# The benchmark's own machinery (/proc readers, table, child start and stop): fast and
# display-free, so a plain unit test.
if(TARGET Qt6::Test)
    set(_bench ${CMAKE_CURRENT_LIST_DIR})
    add_executable(tst_bench ${_bench}/tst_bench.cpp
        ${_bench}/benchsummary.h ${_bench}/benchsummary.cpp
        ${_bench}/procsample.h ${_bench}/procsample.cpp
        ${_bench}/childprocess.h ${_bench}/childprocess.cpp ${_bench}/monoclock.h)
    set_target_properties(tst_bench PROPERTIES AUTOMOC ON)
    target_link_libraries(tst_bench PRIVATE Qt6::Test)
    add_test(NAME tst_bench COMMAND tst_bench)
    set_tests_properties(tst_bench PROPERTIES LABELS unit TIMEOUT 60)
endif()
