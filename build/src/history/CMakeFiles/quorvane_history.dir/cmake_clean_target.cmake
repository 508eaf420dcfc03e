file(REMOVE_RECURSE
  "libquorvane_history.a"
)
