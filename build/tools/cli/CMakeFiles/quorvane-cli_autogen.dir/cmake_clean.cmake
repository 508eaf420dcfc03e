file(REMOVE_RECURSE
  "CMakeFiles/quorvane-cli_autogen"
  "quorvane-cli_autogen/mocs_compilation.cpp"
)

# Per-language clean rules from dependency scanning.
foreach(lang )
  include(CMakeFiles/quorvane-cli_autogen.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
