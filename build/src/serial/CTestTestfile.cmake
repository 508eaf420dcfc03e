# CMake generated Testfile for 
# Source directory: /work/main/src/serial
# Build directory: /work/main/build/src/serial
# 
# This file includes the relevant testing commands required for 
# testing this directory and lists subdirectories to be tested as well.
