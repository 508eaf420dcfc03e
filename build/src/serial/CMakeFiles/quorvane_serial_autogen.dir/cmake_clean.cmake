file(REMOVE_RECURSE
  "CMakeFiles/quorvane_serial_autogen"
  "quorvane_serial_autogen/mocs_compilation.cpp"
)

# Per-language clean rules from dependency scanning.
foreach(lang )
  include(CMakeFiles/quorvane_serial_autogen.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
