# Empty compiler generated dependencies file for quorvane_ui.
# This may be replaced when dependencies are built.
