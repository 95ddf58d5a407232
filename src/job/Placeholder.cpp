// Replaced by the job units.
