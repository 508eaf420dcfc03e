# Empty custom commands generated dependencies file for quorvane_ui_autogen.
# This may be replaced when dependencies are built.
