file(REMOVE_RECURSE
  "CMakeFiles/quorvane-cli_autogen.dir/AutogenUsed.txt"
  "CMakeFiles/quorvane-cli_autogen.dir/ParseCache.txt"
  "quorvane-cli_autogen"
  "CMakeFiles/quorvane-cli.dir/main.cpp.o"
  "CMakeFiles/quorvane-cli.dir/main.cpp.o.d"
  "CMakeFiles/quorvane-cli.dir/quorvane-cli_autogen/mocs_compilation.cpp.o"
  "CMakeFiles/quorvane-cli.dir/quorvane-cli_autogen/mocs_compilation.cpp.o.d"
  "quorvane-cli"
  "quorvane-cli.pdb"
)

# Per-language clean rules from dependency scanning.
foreach(lang CXX)
  include(CMakeFiles/quorvane-cli.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
