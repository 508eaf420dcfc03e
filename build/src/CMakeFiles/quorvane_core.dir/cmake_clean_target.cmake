file(REMOVE_RECURSE
  "libquorvane_core.a"
)
