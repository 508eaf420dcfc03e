file(REMOVE_RECURSE
  "CMakeFiles/quorvane_serial_autogen.dir/AutogenUsed.txt"
  "CMakeFiles/quorvane_serial_autogen.dir/ParseCache.txt"
  "quorvane_serial_autogen"
  "CMakeFiles/quorvane_serial.dir/quorvane_serial_autogen/mocs_compilation.cpp.o"
  "CMakeFiles/quorvane_serial.dir/quorvane_serial_autogen/mocs_compilation.cpp.o.d"
  "libquorvane_serial.a"
  "libquorvane_serial.pdb"
)

# Per-language clean rules from dependency scanning.
foreach(lang CXX)
  include(CMakeFiles/quorvane_serial.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
