# CMake generated Testfile for 
# Source directory: /work/main/tools/cli
# Build directory: /work/main/build/tools/cli
# 
# This file includes the relevant testing commands required for 
# testing this directory and lists subdirectories to be tested as well.
