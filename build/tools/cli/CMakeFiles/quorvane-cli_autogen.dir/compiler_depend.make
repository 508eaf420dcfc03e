# Empty custom commands generated dependencies file for quorvane-cli_autogen.
# This may be replaced when dependencies are built.
