
# Consider dependencies only in project.
set(CMAKE_DEPENDS_IN_PROJECT_ONLY OFF)

# The set of languages for which implicit dependencies are needed:
set(CMAKE_DEPENDS_LANGUAGES
  )

# The set of dependency files which are needed:
set(CMAKE_DEPENDS_DEPENDENCY_FILES
  "/work/main/tools/cli/main.cpp" "tools/cli/CMakeFiles/quorvane-cli.dir/main.cpp.o" "gcc" "tools/cli/CMakeFiles/quorvane-cli.dir/main.cpp.o.d"
  "/work/main/build/tools/cli/quorvane-cli_autogen/mocs_compilation.cpp" "tools/cli/CMakeFiles/quorvane-cli.dir/quorvane-cli_autogen/mocs_compilation.cpp.o" "gcc" "tools/cli/CMakeFiles/quorvane-cli.dir/quorvane-cli_autogen/mocs_compilation.cpp.o.d"
  )

# Targets to which this target links.
set(CMAKE_TARGET_LINKED_INFO_FILES
  "/work/main/build/src/CMakeFiles/quorvane_core.dir/DependInfo.cmake"
  )

# Fortran module output directory.
set(CMAKE_Fortran_TARGET_MODULE_DIR "")
