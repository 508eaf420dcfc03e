# CMAKE generated file: DO NOT EDIT!
# Timestamp file for custom commands dependencies management for quorvane_ui_autogen.
