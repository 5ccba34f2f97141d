// replaced by the statistics routines
