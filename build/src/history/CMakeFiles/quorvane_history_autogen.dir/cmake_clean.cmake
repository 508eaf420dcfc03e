file(REMOVE_RECURSE
  "CMakeFiles/quorvane_history_autogen"
  "quorvane_history_autogen/mocs_compilation.cpp"
)

# Per-language clean rules from dependency scanning.
foreach(lang )
  include(CMakeFiles/quorvane_history_autogen.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
