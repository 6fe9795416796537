// backup library
