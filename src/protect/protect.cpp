// protect library
