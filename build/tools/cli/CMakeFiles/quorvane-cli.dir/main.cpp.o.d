tools/cli/CMakeFiles/quorvane-cli.dir/main.cpp.o: \
 /work/main/tools/cli/main.cpp /usr/include/stdc-predef.h
