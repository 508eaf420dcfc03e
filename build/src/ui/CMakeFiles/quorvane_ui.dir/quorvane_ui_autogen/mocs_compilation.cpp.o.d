src/ui/CMakeFiles/quorvane_ui.dir/quorvane_ui_autogen/mocs_compilation.cpp.o: \
 /work/main/build/src/ui/quorvane_ui_autogen/mocs_compilation.cpp \
 /usr/include/stdc-predef.h
