// Replaced by the settings units.
