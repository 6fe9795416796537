// icons library
