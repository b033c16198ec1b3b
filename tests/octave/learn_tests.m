%!assert(true)
