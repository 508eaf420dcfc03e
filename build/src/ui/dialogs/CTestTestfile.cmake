# CMake generated Testfile for 
# Source directory: /work/main/src/ui/dialogs
# Build directory: /work/main/build/src/ui/dialogs
# 
# This file includes the relevant testing commands required for 
# testing this directory and lists subdirectories to be tested as well.
