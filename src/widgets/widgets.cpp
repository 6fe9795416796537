// widgets library
