// panel library
