# The program's core built natively, against the fake Windows of the tests.

add_library(core STATIC ${CORE_SOURCES})
target_include_directories(core PUBLIC src)
target_compile_options(core PRIVATE -Wall -Wextra)
add_library(fake_os STATIC tests/support/fake_os.cpp)
target_include_directories(fake_os PUBLIC tests)
target_link_libraries(fake_os PUBLIC core)

if(TAMBERLIN_TESTS)
    add_executable(host_tests ${HOST_TESTS} tests/support/support.cpp)
    target_link_libraries(host_tests PRIVATE fake_os GTest::gtest_main)
    # The expected help text names the version as the banner must.
    target_compile_definitions(host_tests PRIVATE TAMBERLIN_VERSION="${TAMBERLIN_VERSION}")
    target_compile_options(host_tests PRIVATE -Wall -Wextra)
    include(GoogleTest)
    gtest_discover_tests(host_tests DISCOVERY_TIMEOUT 60)
endif()

if(TAMBERLIN_FUZZ)
    # Coverage guides the fuzzer through the program only: the fake and the
    # harness are not what it should explore.
    target_compile_options(core PRIVATE -fsanitize=fuzzer-no-link)
    add_executable(program_fuzz tests/fuzz/program_fuzz.cpp)
    target_link_libraries(program_fuzz PRIVATE fake_os)
    target_link_options(program_fuzz PRIVATE -fsanitize=fuzzer)
endif()

if(TAMBERLIN_FUZZ)
    # A bounded run from the committed seeds; what it finds on the way goes
    # into the build tree, never into the seeds.
    set(FUZZ_SECONDS 60 CACHE STRING "How long the fuzz test runs")
    add_test(NAME fuzz_program
        COMMAND $<TARGET_FILE:program_fuzz> -max_total_time=${FUZZ_SECONDS} -timeout=10 -rss_limit_mb=2048
            -dict=${CMAKE_SOURCE_DIR}/tests/fuzz/options.dict -artifact_prefix=${CMAKE_BINARY_DIR}/fuzz-
            ${CMAKE_BINARY_DIR}/fuzz-corpus ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus)
    set_tests_properties(fuzz_program PROPERTIES TIMEOUT 300)
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz-corpus)
endif()

add_test(NAME readme COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/tools/check_readme.py ${CMAKE_SOURCE_DIR}/README.md)
add_test(NAME layers COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/tools/check_layers.py ${CMAKE_SOURCE_DIR}/src)

# The workflows, against GitHub's published schema (scripts/setup.sh
# installs the checker).
file(GLOB WORKFLOWS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/.github/workflows/*.yml)
foreach(workflow ${WORKFLOWS})
    get_filename_component(stem ${workflow} NAME_WE)
    add_test(NAME workflow_${stem} COMMAND action-validator ${workflow})
endforeach()
