# Empty dependencies file for quorvane_history.
# This may be replaced when dependencies are built.
