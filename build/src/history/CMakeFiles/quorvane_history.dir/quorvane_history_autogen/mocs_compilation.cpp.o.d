src/history/CMakeFiles/quorvane_history.dir/quorvane_history_autogen/mocs_compilation.cpp.o: \
 /work/main/build/src/history/quorvane_history_autogen/mocs_compilation.cpp \
 /usr/include/stdc-predef.h
