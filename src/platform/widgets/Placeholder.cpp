// Replaced by the compressor dialog and message box units.
