tools/cli/CMakeFiles/quorvane-cli.dir/quorvane-cli_autogen/mocs_compilation.cpp.o: \
 /work/main/build/tools/cli/quorvane-cli_autogen/mocs_compilation.cpp \
 /usr/include/stdc-predef.h
