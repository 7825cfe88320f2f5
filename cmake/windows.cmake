# The executable, its resources, and everything that tests it under Wine.
enable_language(RC)

# --- The program: freestanding, no C or C++ runtime -------------------------

set(RES_DIR ${CMAKE_BINARY_DIR}/res)
add_custom_command(
    OUTPUT ${RES_DIR}/tamberlin.ico
    COMMAND ${CMAKE_COMMAND} -E make_directory ${RES_DIR}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/make_icon.py ${RES_DIR}/tamberlin.ico
    DEPENDS ${CMAKE_SOURCE_DIR}/scripts/make_icon.py
    VERBATIM)
# The manifest goes in without the blanks between its elements, which are
# kept in the source for reading: they would cost the file a 512-byte step.
add_custom_command(
    OUTPUT ${RES_DIR}/tamberlin.manifest
    COMMAND ${CMAKE_COMMAND} -E make_directory ${RES_DIR}
    COMMAND ${Python3_EXECUTABLE} -c "import re,sys; open(sys.argv[2],'w',newline='').write(re.sub(r'>\\s+<','><',open(sys.argv[1]).read()).strip())"
        ${CMAKE_SOURCE_DIR}/res/tamberlin.manifest ${RES_DIR}/tamberlin.manifest
    DEPENDS ${CMAKE_SOURCE_DIR}/res/tamberlin.manifest
    VERBATIM)
add_custom_target(icon DEPENDS ${RES_DIR}/tamberlin.ico ${RES_DIR}/tamberlin.manifest)
# windres finds the generated icon and the manifest through these, the
# compacted manifest first. As include directories, not words added to
# CMAKE_RC_FLAGS, they reach windres quoted, so that a clone whose path holds
# a blank builds.
set_property(SOURCE res/tamberlin.rc tests/tools/floor.rc APPEND PROPERTY
    INCLUDE_DIRECTORIES ${RES_DIR} ${CMAKE_SOURCE_DIR}/res)
set_source_files_properties(res/tamberlin.rc PROPERTIES
    OBJECT_DEPENDS "${RES_DIR}/tamberlin.ico;${RES_DIR}/tamberlin.manifest")

# What keeps the file small (16.5 KiB), given to both the compiler and the
# link-time optimiser. Large functions called once stay out of RunProgram:
# merged, they leave i386's few registers to spill in one huge frame, and
# inlining that grows a frame costs more than the calls it saves. Data is
# aligned as the ABI asks, not to 32 bytes for vector loads this code never
# makes. The stack is kept 4-byte aligned, which is all that 32-bit Windows
# promises anyway. -Oz picks the shortest instructions: nothing here runs
# long enough for their speed to show. Tail merging and shrink-wrapping,
# measured here, each cost more bytes than they save.
set(TAMBERLIN_SIZE_FLAGS -Oz -fno-inline-functions-called-once -fconserve-stack -malign-data=abi
    -mpreferred-stack-boundary=2 -fno-tree-tail-merge -fno-shrink-wrap)

add_executable(tamberlin
    ${CORE_SOURCES}
    src/win32/os_win32.cpp
    src/win32/entry.cpp
    src/win32/memory.cpp
    res/tamberlin.rc)
add_dependencies(tamberlin icon)
target_include_directories(tamberlin PRIVATE src)
target_compile_options(tamberlin PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:-Os -ffreestanding -fno-exceptions -fno-rtti -fno-threadsafe-statics
    -fno-asynchronous-unwind-tables -fno-stack-protector -ffunction-sections -fdata-sections
    -fno-ident -flto ${TAMBERLIN_SIZE_FLAGS} -Wall -Wextra>)
# The hardening flags are asked for by name rather than left to the
# linker's defaults, which older binutils do not share. NO_SEH is true:
# nothing here registers a structured exception handler (no __try, no
# fs:[0] chain), so no such handler in this image ever needs to run. The
# one handler here is a vectored one (OsCommitOnTouch), which is no
# structured handler: the flag says nothing about it.
# Link-time optimisation folds the stages' small functions into their one
# caller: about 1.5 KiB less code.
target_link_options(tamberlin PRIVATE
    -nostdlib -s -flto -Os ${TAMBERLIN_SIZE_FLAGS}
    -Wl,-e,_Entry@0 -Wl,--fatal-warnings -Wl,--subsystem,console
    -Wl,--gc-sections -Wl,--insert-timestamp
    -Wl,--dynamicbase -Wl,--nxcompat -Wl,--tsaware -Wl,--no-seh)
# libgcc is static: it supplies helpers such as stack probes, never a DLL.
target_link_libraries(tamberlin PRIVATE kernel32 user32 comdlg32 gcc)
include(cmake/release.cmake)

if(NOT TAMBERLIN_TESTS)
    return()
endif()

# --- Test-only Windows programs ---------------------------------------------

# The seam's contract against the Win32 binding: the same tables that the
# host runs against the fake.
add_executable(binding_tests ${BINDING_TESTS} src/win32/os_win32.cpp src/base/arena.cpp src/base/text.cpp)
target_include_directories(binding_tests PRIVATE tests src)
target_link_libraries(binding_tests PRIVATE GTest::gtest_main comdlg32)
target_link_options(binding_tests PRIVATE -static)

add_executable(launch tests/tools/launch.c)
target_link_options(launch PRIVATE -static)
add_executable(probe_fault tests/tools/probe_fault.c)
target_link_options(probe_fault PRIVATE -static)
add_executable(floor tests/tools/floor.c tests/tools/floor.rc)
add_dependencies(floor icon)
target_link_libraries(floor PRIVATE comdlg32 ole32 uuid)
target_link_options(floor PRIVATE -static)

add_library(stubdlg SHARED tests/tools/stubdlg.c)
# Kept out of the executable's folder: beside it, Wine could pick it up in
# place of the real dialog.
set_target_properties(stubdlg PROPERTIES PREFIX "" OUTPUT_NAME comdlg32
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/stubdlg)
target_link_options(stubdlg PRIVATE -static -Wl,--kill-at)
target_link_libraries(stubdlg PRIVATE user32)

# The item dialog's stand-in, a COM server that a prefix of its own
# registers for both classes (winrun.item_stub_prefix).
add_library(itemstub SHARED tests/tools/itemstub.c)
set_target_properties(itemstub PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/itemstub)
target_link_options(itemstub PRIVATE -static -Wl,--kill-at)
target_link_libraries(itemstub PRIVATE ole32 uuid)

# --- The Windows check ----------------------------------------------------------

# What a plain Windows machine runs (tests/windows/check.cmd): the program,
# the dialog driver, an unrestricted program that shows the same dialog
# (floor), a library that marks where it was loaded, the README's recipes and
# the help's bytes. Under Wine the suite runs the same folder (e2e_check).
add_executable(driver tests/windows/driver.c)
target_link_libraries(driver PRIVATE user32 gdi32)
target_link_options(driver PRIVATE -static -s)
add_library(marker SHARED tests/windows/marker.c)
set_target_properties(marker PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/marker)
target_link_options(marker PRIVATE -static -s)

# Windows 10's and 11's nesting of the dialogs' controls, for the driver to
# find its way through under Wine (e2e_driver); and that program importing a
# library kept away from it, which therefore never starts.
add_executable(nestdlg tests/windows/nestdlg.c)
target_link_options(nestdlg PRIVATE -static)
add_library(missing SHARED tests/windows/missing.c)
set_target_properties(missing PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/missing)
add_executable(needs_missing tests/windows/nestdlg.c)
target_compile_definitions(needs_missing PRIVATE NEEDS_MISSING)
target_link_libraries(needs_missing PRIVATE missing)
target_link_options(needs_missing PRIVATE -static)

set(CHECK_DIR ${CMAKE_BINARY_DIR}/check)
add_custom_command(
    OUTPUT ${CHECK_DIR}/check.cmd
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${CHECK_DIR}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/windows/make_check.py
        ${CMAKE_SOURCE_DIR} ${TAMBERLIN_VERSION} ${CHECK_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:tamberlin> $<TARGET_FILE:driver> $<TARGET_FILE:floor>
        $<TARGET_FILE:marker> ${CHECK_DIR}
    DEPENDS tamberlin driver floor marker ${CMAKE_SOURCE_DIR}/tests/windows/make_check.py
        ${CMAKE_SOURCE_DIR}/tests/windows/check.cmd ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/src/app/help.cpp
    VERBATIM)
add_custom_target(check_folder ALL DEPENDS ${CHECK_DIR}/check.cmd)

# --- Tests under Wine ---------------------------------------------------------

set(WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(WINE_ENV
    WINEPREFIX=${WINE_PREFIX}
    WINEDEBUG=-all
    PYTHONPATH=${CMAKE_SOURCE_DIR}/tests/tools
    TAMBERLIN_EXE=$<TARGET_FILE:tamberlin>
    TAMBERLIN_LAUNCH=$<TARGET_FILE:launch>
    TAMBERLIN_PROBE=$<TARGET_FILE:probe_fault>
    TAMBERLIN_FLOOR=$<TARGET_FILE:floor>
    TAMBERLIN_STUB_DLL=$<TARGET_FILE:stubdlg>
    TAMBERLIN_ITEMSTUB_DLL=$<TARGET_FILE:itemstub>
    TAMBERLIN_SOURCE=${CMAKE_SOURCE_DIR}
    TAMBERLIN_DRIVER=$<TARGET_FILE:driver>
    TAMBERLIN_NESTDLG=$<TARGET_FILE:nestdlg>
    TAMBERLIN_NEEDS_MISSING=$<TARGET_FILE:needs_missing>
    TAMBERLIN_CHECK=${CHECK_DIR})

# One prefix per build tree, made once; a wineserver kept alive for the
# whole run saves every test the server's start.
add_test(NAME wine_start COMMAND sh ${CMAKE_SOURCE_DIR}/tests/tools/wineprefix.sh start ${WINE_PREFIX})
add_test(NAME wine_stop COMMAND sh ${CMAKE_SOURCE_DIR}/tests/tools/wineprefix.sh stop ${WINE_PREFIX})
set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine)
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine)

function(wine_test name)
    add_test(NAME ${name} COMMAND ${ARGN})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${WINE_ENV}")
endfunction()

wine_test(binding_tests wine $<TARGET_FILE:binding_tests>)
add_test(NAME binary COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/win32/check_binary.py $<TARGET_FILE:tamberlin>)
add_test(NAME resources COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/res/check_resources.py $<TARGET_FILE:tamberlin>)

file(GLOB E2E_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*/e2e_*.py)
foreach(script ${E2E_TESTS})
    get_filename_component(stem ${script} NAME_WE)
    get_filename_component(dir ${script} DIRECTORY)
    wine_test(${stem} ${Python3_EXECUTABLE} -m unittest -v ${stem})
    set_tests_properties(${stem} PROPERTIES WORKING_DIRECTORY ${dir})
endforeach()
# These use one Wine prefix with an X server of its own, and end that
# prefix's server when they start.
set_tests_properties(e2e_real_dialog e2e_check e2e_overrun e2e_driver PROPERTIES RESOURCE_LOCK x11)
# Modules that rest on a capability of the machine, which a probe decides
# (winrun.require_continued_fault): without it they are reported as skipped,
# by name, and not as passed.
set_tests_properties(e2e_overrun PROPERTIES SKIP_REGULAR_EXPRESSION "skipped 'needs ")
