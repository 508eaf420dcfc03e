
# Consider dependencies only in project.
set(CMAKE_DEPENDS_IN_PROJECT_ONLY OFF)

# The set of languages for which implicit dependencies are needed:
set(CMAKE_DEPENDS_LANGUAGES
  )

# The set of dependency files which are needed:
set(CMAKE_DEPENDS_DEPENDENCY_FILES
  "/work/main/src/catalogue/catalogue.cpp" "src/CMakeFiles/quorvane_core.dir/catalogue/catalogue.cpp.o" "gcc" "src/CMakeFiles/quorvane_core.dir/catalogue/catalogue.cpp.o.d"
  "/work/main/src/codec/crc16.cpp" "src/CMakeFiles/quorvane_core.dir/codec/crc16.cpp.o" "gcc" "src/CMakeFiles/quorvane_core.dir/codec/crc16.cpp.o.d"
  "/work/main/src/codec/hexcode.cpp" "src/CMakeFiles/quorvane_core.dir/codec/hexcode.cpp.o" "gcc" "src/CMakeFiles/quorvane_core.dir/codec/hexcode.cpp.o.d"
  "/work/main/src/codec/single.cpp" "src/CMakeFiles/quorvane_core.dir/codec/single.cpp.o" "gcc" "src/CMakeFiles/quorvane_core.dir/codec/single.cpp.o.d"
  "/work/main/src/codec/trace.cpp" "src/CMakeFiles/quorvane_core.dir/codec/trace.cpp.o" "gcc" "src/CMakeFiles/quorvane_core.dir/codec/trace.cpp.o.d"
  "/work/main/src/engine/addressrule.cpp" "src/CMakeFiles/quorvane_core.dir/engine/addressrule.cpp.o" "gcc" "src/CMakeFiles/quorvane_core.dir/engine/addressrule.cpp.o.d"
  "/work/main/src/engine/numbertext.cpp" "src/CMakeFiles/quorvane_core.dir/engine/numbertext.cpp.o" "gcc" "src/CMakeFiles/quorvane_core.dir/engine/numbertext.cpp.o.d"
  "/work/main/src/engine/parameters.cpp" "src/CMakeFiles/quorvane_core.dir/engine/parameters.cpp.o" "gcc" "src/CMakeFiles/quorvane_core.dir/engine/parameters.cpp.o.d"
  "/work/main/src/engine/replyvalidation.cpp" "src/CMakeFiles/quorvane_core.dir/engine/replyvalidation.cpp.o" "gcc" "src/CMakeFiles/quorvane_core.dir/engine/replyvalidation.cpp.o.d"
  "/work/main/src/engine/requestframe.cpp" "src/CMakeFiles/quorvane_core.dir/engine/requestframe.cpp.o" "gcc" "src/CMakeFiles/quorvane_core.dir/engine/requestframe.cpp.o.d"
  "/work/main/src/engine/resulttexts.cpp" "src/CMakeFiles/quorvane_core.dir/engine/resulttexts.cpp.o" "gcc" "src/CMakeFiles/quorvane_core.dir/engine/resulttexts.cpp.o.d"
  )

# Targets to which this target links.
set(CMAKE_TARGET_LINKED_INFO_FILES
  )

# Fortran module output directory.
set(CMAKE_Fortran_TARGET_MODULE_DIR "")
