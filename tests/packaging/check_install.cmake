cmake_minimum_required(VERSION 3.22)
# Installs the build into a scratch prefix and checks it holds what an operator
# gets and nothing of the developer's: the three programs with their manual
# pages, the completion of quorvane-cli, the menu entry and its icon at every
# size, the copyright file and the Debian changelog; no tests, benchmarks or
# screenshot tool.
set(ICON_SIZES 16 24 32 48 64 128 256) # the hicolor sizes menus and launchers look for
unset(ENV{DESTDIR})
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
    RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE error)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${error}")
endif()

set(programs quorvane quorvane-cli quorvane-sim)
set(expected share/applications/quorvane.desktop share/bash-completion/completions/quorvane-cli
    share/doc/quorvane/copyright share/doc/quorvane/changelog.Debian.gz share/lintian/overrides/quorvane)
foreach(program IN LISTS programs)
    list(APPEND expected bin/${program} share/man/man1/${program}.1.gz)
endforeach()
foreach(size IN LISTS ICON_SIZES)
    list(APPEND expected share/icons/hicolor/${size}x${size}/apps/quorvane.png)
endforeach()
file(GLOB_RECURSE installed RELATIVE ${PREFIX} ${PREFIX}/*)
list(SORT installed)
list(SORT expected)
if(NOT installed STREQUAL expected)
    string(REPLACE ";" "\n  " installed "${installed}")
    string(REPLACE ";" "\n  " expected "${expected}")
    message(FATAL_ERROR "installed:\n  ${installed}\nexpected:\n  ${expected}")
endif()

# A PNG starts with its 8-byte signature; the IHDR chunk then gives width and
# height as 4 big-endian bytes each, at offsets 16 and 20.
foreach(size IN LISTS ICON_SIZES)
    set(png ${PREFIX}/share/icons/hicolor/${size}x${size}/apps/quorvane.png)
    file(READ ${png} header HEX LIMIT 24)
    string(SUBSTRING "${header}" 0 16 signature)
    string(SUBSTRING "${header}" 32 8 width)
    string(SUBSTRING "${header}" 40 8 height)
    math(EXPR width "0x${width}")
    math(EXPR height "0x${height}")
    if(NOT signature STREQUAL "89504e470d0a1a0a" OR NOT width EQUAL size OR NOT height EQUAL size)
        message(FATAL_ERROR "${png}: ${width}x${height} (signature ${signature}), not a ${size}x${size} PNG")
    endif()
endforeach()

# The menu entry starts the installed program and names the installed icon;
# its action opens the bus window.
file(STRINGS ${PREFIX}/share/applications/quorvane.desktop entry REGEX "^(Exec|Icon)=")
if(NOT entry STREQUAL "Exec=quorvane;Icon=quorvane;Exec=quorvane --bus")
    message(FATAL_ERROR "quorvane.desktop: ${entry}, not bin/quorvane and the quorvane icon")
endif()

# The companions run from the prefix as installed.
foreach(program quorvane-cli quorvane-sim)
    execute_process(COMMAND ${PREFIX}/bin/${program} --help RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "installed ${program} --help: ${result}")
    endif()
endforeach()

# Each program names itself and the build's version; the window does so before
# it looks for a display, so a platform that does not exist cannot stop it.
foreach(program IN LISTS programs)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=no-such-platform ${PREFIX}/bin/${program} --version
        RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE error)
    if(NOT result EQUAL 0 OR NOT output STREQUAL "${program} ${VERSION}\n")
        message(FATAL_ERROR "installed ${program} --version: ${result}, printed '${output}' ${error}")
    endif()
endforeach()

# The completion offers the actions, an action's options and the meter types.
function(check_completion line expected)
    execute_process(COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/complete.sh
        ${PREFIX}/share/bash-completion/completions/quorvane-cli ${PREFIX}/bin/quorvane-cli "${line}"
        RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE error)
    string(REPLACE "\n" ";" output "${output}")
    list(REMOVE_ITEM output "")
    if(NOT result EQUAL 0 OR NOT output STREQUAL expected)
        message(FATAL_ERROR "completing 'quorvane-cli ${line}': '${output}', not '${expected}' ${error}")
    endif()
endfunction()
check_completion("" "frame;reply;run;scan;set;poll;monitor;--help;--version")
check_completion("monitor --port /dev/null --p" "--parity;--pcap")
check_completion("set --port /dev/null --new-" "--new-address;--new-baud;--new-parity;--new-stop-bits")
check_completion("frame --meter Tar" "Tarvik CT;Tarvik DC")
file(REMOVE_RECURSE ${PREFIX})
