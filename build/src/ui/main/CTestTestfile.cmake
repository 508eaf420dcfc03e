# CMake generated Testfile for 
# Source directory: /work/main/src/ui/main
# Build directory: /work/main/build/src/ui/main
# 
# This file includes the relevant testing commands required for 
# testing this directory and lists subdirectories to be tested as well.
