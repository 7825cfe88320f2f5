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
    target_compile_options(host_tests PRIVATE -Wall -Wextra)
    include(GoogleTest)
    gtest_discover_tests(host_tests DISCOVERY_TIMEOUT 60)
endif()

if(TAMBERLIN_FUZZ)
    add_executable(program_fuzz tests/fuzz/program_fuzz.cpp)
    target_link_libraries(program_fuzz PRIVATE fake_os)
    target_compile_options(program_fuzz PRIVATE -fsanitize=fuzzer)
    target_link_options(program_fuzz PRIVATE -fsanitize=fuzzer)
endif()
