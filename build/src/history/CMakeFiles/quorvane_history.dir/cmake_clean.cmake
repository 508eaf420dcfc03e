file(REMOVE_RECURSE
  "CMakeFiles/quorvane_history_autogen.dir/AutogenUsed.txt"
  "CMakeFiles/quorvane_history_autogen.dir/ParseCache.txt"
  "quorvane_history_autogen"
  "CMakeFiles/quorvane_history.dir/historylog.cpp.o"
  "CMakeFiles/quorvane_history.dir/historylog.cpp.o.d"
  "CMakeFiles/quorvane_history.dir/quorvane_history_autogen/mocs_compilation.cpp.o"
  "CMakeFiles/quorvane_history.dir/quorvane_history_autogen/mocs_compilation.cpp.o.d"
  "libquorvane_history.a"
  "libquorvane_history.pdb"
)

# Per-language clean rules from dependency scanning.
foreach(lang CXX)
  include(CMakeFiles/quorvane_history.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
