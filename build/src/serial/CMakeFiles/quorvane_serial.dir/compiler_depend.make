# Empty compiler generated dependencies file for quorvane_serial.
# This may be replaced when dependencies are built.
