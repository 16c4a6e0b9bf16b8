// Tests of the gzip reader (to come).
