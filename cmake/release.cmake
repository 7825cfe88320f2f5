# What a release needs of the build, and the release's own tests.

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
