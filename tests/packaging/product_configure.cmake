cmake_minimum_required(VERSION 3.22)
# Configures the source tree as a package build does (BUILD_TESTING=OFF) with
# Qt Test and Python hidden, so a find_package of either outside the tests fails.
file(REMOVE_RECURSE ${BINARY_DIR})
execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${BINARY_DIR} -G ${GENERATOR} -DQt6_DIR=${Qt6_DIR}
            -DBUILD_TESTING=OFF -DCMAKE_DISABLE_FIND_PACKAGE_Qt6Test=ON -DCMAKE_DISABLE_FIND_PACKAGE_Python3=ON
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "the configure without Qt Test and Python failed:\n${output}")
endif()
file(STRINGS ${BINARY_DIR}/CMakeCache.txt options REGEX "^QUORVANE_BUILD_(BENCH|SHOTS):BOOL=ON")
if(options)
    message(FATAL_ERROR "developer tools still on in the package build: ${options}")
endif()
file(REMOVE_RECURSE ${BINARY_DIR})
