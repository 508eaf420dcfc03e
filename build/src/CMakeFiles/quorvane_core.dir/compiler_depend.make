# Empty compiler generated dependencies file for quorvane_core.
# This may be replaced when dependencies are built.
