// Replaced by the decoder front end units.
