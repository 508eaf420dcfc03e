file(REMOVE_RECURSE
  "libquorvane_ui.a"
)
