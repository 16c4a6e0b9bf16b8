// Tests of the tar reader (to come).
