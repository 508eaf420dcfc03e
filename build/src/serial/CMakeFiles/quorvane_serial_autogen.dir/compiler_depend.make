# Empty custom commands generated dependencies file for quorvane_serial_autogen.
# This may be replaced when dependencies are built.
