// Replaced by the subtitle units.
