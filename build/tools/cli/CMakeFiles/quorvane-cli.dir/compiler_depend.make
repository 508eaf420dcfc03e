# Empty compiler generated dependencies file for quorvane-cli.
# This may be replaced when dependencies are built.
