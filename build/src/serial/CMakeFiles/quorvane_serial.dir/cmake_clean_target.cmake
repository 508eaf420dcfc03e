file(REMOVE_RECURSE
  "libquorvane_serial.a"
)
