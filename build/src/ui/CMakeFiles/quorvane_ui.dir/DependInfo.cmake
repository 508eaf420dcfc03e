
# Consider dependencies only in project.
set(CMAKE_DEPENDS_IN_PROJECT_ONLY OFF)

# The set of languages for which implicit dependencies are needed:
set(CMAKE_DEPENDS_LANGUAGES
  )

# The set of dependency files which are needed:
set(CMAKE_DEPENDS_DEPENDENCY_FILES
  "/work/main/src/ui/main/addressentry.cpp" "src/ui/CMakeFiles/quorvane_ui.dir/main/addressentry.cpp.o" "gcc" "src/ui/CMakeFiles/quorvane_ui.dir/main/addressentry.cpp.o.d"
  "/work/main/src/ui/messages/messagebox.cpp" "src/ui/CMakeFiles/quorvane_ui.dir/messages/messagebox.cpp.o" "gcc" "src/ui/CMakeFiles/quorvane_ui.dir/messages/messagebox.cpp.o.d"
  "/work/main/src/ui/messages/showmessage.cpp" "src/ui/CMakeFiles/quorvane_ui.dir/messages/showmessage.cpp.o" "gcc" "src/ui/CMakeFiles/quorvane_ui.dir/messages/showmessage.cpp.o.d"
  "/work/main/build/src/ui/quorvane_ui_autogen/mocs_compilation.cpp" "src/ui/CMakeFiles/quorvane_ui.dir/quorvane_ui_autogen/mocs_compilation.cpp.o" "gcc" "src/ui/CMakeFiles/quorvane_ui.dir/quorvane_ui_autogen/mocs_compilation.cpp.o.d"
  )

# Targets to which this target links.
set(CMAKE_TARGET_LINKED_INFO_FILES
  "/work/main/build/src/CMakeFiles/quorvane_core.dir/DependInfo.cmake"
  "/work/main/build/src/serial/CMakeFiles/quorvane_serial.dir/DependInfo.cmake"
  "/work/main/build/src/history/CMakeFiles/quorvane_history.dir/DependInfo.cmake"
  )

# Fortran module output directory.
set(CMAKE_Fortran_TARGET_MODULE_DIR "")
