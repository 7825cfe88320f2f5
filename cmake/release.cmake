# What a release needs of the build, and the release's own tests.

# The PE time stamp. ld writes SOURCE_DATE_EPOCH there when it is set, and
# the time of the link otherwise, so two trees of one commit would differ;
# without a stamp (--no-insert-timestamp) the field is 0, which scanners
# read as a packer's mark. So: SOURCE_DATE_EPOCH if the caller set it, else
# the last commit's time, read when CMake configures (scripts/release.sh
# always configures afresh).
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(TAMBERLIN_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
    # The tree may belong to another user (root building the runner's
    # workspace in a CI container); git then refuses to read it unless told
    # to trust it. This build already runs the tree's own code.
    execute_process(COMMAND git -c safe.directory=* log -1 --format=%ct
        WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
        OUTPUT_VARIABLE TAMBERLIN_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(TAMBERLIN_EPOCH MATCHES "^[1-9][0-9]*$")
    # A new time changes the link command, and so relinks the program.
    set_target_properties(tamberlin PROPERTIES
        RULE_LAUNCH_LINK "${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${TAMBERLIN_EPOCH}")
elseif(DEFINED ENV{SOURCE_DATE_EPOCH})
    message(FATAL_ERROR "SOURCE_DATE_EPOCH='$ENV{SOURCE_DATE_EPOCH}': want seconds since 1970, not 0")
else()
    message(WARNING "Not a git checkout and no SOURCE_DATE_EPOCH: the PE time stamp is the time of the link")
endif()

# The tools whose versions decide the executable's bytes, one path a line,
# for scripts/release.sh to name in the release: the compiler, the linker
# that it runs, and windres.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-prog-name=ld
    OUTPUT_VARIABLE TAMBERLIN_LD OUTPUT_STRIP_TRAILING_WHITESPACE)
file(WRITE ${CMAKE_BINARY_DIR}/tools.txt "${CMAKE_CXX_COMPILER}\n${TAMBERLIN_LD}\n${CMAKE_RC_COMPILER}\n")

if(TAMBERLIN_TESTS)
    # One CTest test per script; the scripts need no Wine prefix.
    file(GLOB RELEASE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/release/test_*.py)
    foreach(script ${RELEASE_TESTS})
        get_filename_component(stem ${script} NAME_WE)
        string(REGEX REPLACE "^test_" "release_" name ${stem})
        add_test(NAME ${name} COMMAND ${Python3_EXECUTABLE} -m unittest -v ${stem}
            WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests/release)
    endforeach()
endif()
