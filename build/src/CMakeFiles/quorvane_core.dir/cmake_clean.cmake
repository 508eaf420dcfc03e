file(REMOVE_RECURSE
  "CMakeFiles/quorvane_core.dir/catalogue/catalogue.cpp.o"
  "CMakeFiles/quorvane_core.dir/catalogue/catalogue.cpp.o.d"
  "CMakeFiles/quorvane_core.dir/codec/crc16.cpp.o"
  "CMakeFiles/quorvane_core.dir/codec/crc16.cpp.o.d"
  "CMakeFiles/quorvane_core.dir/codec/hexcode.cpp.o"
  "CMakeFiles/quorvane_core.dir/codec/hexcode.cpp.o.d"
  "CMakeFiles/quorvane_core.dir/codec/single.cpp.o"
  "CMakeFiles/quorvane_core.dir/codec/single.cpp.o.d"
  "CMakeFiles/quorvane_core.dir/codec/trace.cpp.o"
  "CMakeFiles/quorvane_core.dir/codec/trace.cpp.o.d"
  "CMakeFiles/quorvane_core.dir/engine/addressrule.cpp.o"
  "CMakeFiles/quorvane_core.dir/engine/addressrule.cpp.o.d"
  "CMakeFiles/quorvane_core.dir/engine/numbertext.cpp.o"
  "CMakeFiles/quorvane_core.dir/engine/numbertext.cpp.o.d"
  "CMakeFiles/quorvane_core.dir/engine/parameters.cpp.o"
  "CMakeFiles/quorvane_core.dir/engine/parameters.cpp.o.d"
  "CMakeFiles/quorvane_core.dir/engine/replyvalidation.cpp.o"
  "CMakeFiles/quorvane_core.dir/engine/replyvalidation.cpp.o.d"
  "CMakeFiles/quorvane_core.dir/engine/requestframe.cpp.o"
  "CMakeFiles/quorvane_core.dir/engine/requestframe.cpp.o.d"
  "CMakeFiles/quorvane_core.dir/engine/resulttexts.cpp.o"
  "CMakeFiles/quorvane_core.dir/engine/resulttexts.cpp.o.d"
  "libquorvane_core.a"
  "libquorvane_core.pdb"
)

# Per-language clean rules from dependency scanning.
foreach(lang CXX)
  include(CMakeFiles/quorvane_core.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
