file(REMOVE_RECURSE
  "CMakeFiles/quorvane_ui_autogen.dir/AutogenUsed.txt"
  "CMakeFiles/quorvane_ui_autogen.dir/ParseCache.txt"
  "quorvane_ui_autogen"
  "CMakeFiles/quorvane_ui.dir/main/addressentry.cpp.o"
  "CMakeFiles/quorvane_ui.dir/main/addressentry.cpp.o.d"
  "CMakeFiles/quorvane_ui.dir/messages/messagebox.cpp.o"
  "CMakeFiles/quorvane_ui.dir/messages/messagebox.cpp.o.d"
  "CMakeFiles/quorvane_ui.dir/messages/showmessage.cpp.o"
  "CMakeFiles/quorvane_ui.dir/messages/showmessage.cpp.o.d"
  "CMakeFiles/quorvane_ui.dir/quorvane_ui_autogen/mocs_compilation.cpp.o"
  "CMakeFiles/quorvane_ui.dir/quorvane_ui_autogen/mocs_compilation.cpp.o.d"
  "libquorvane_ui.a"
  "libquorvane_ui.pdb"
)

# Per-language clean rules from dependency scanning.
foreach(lang CXX)
  include(CMakeFiles/quorvane_ui.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
