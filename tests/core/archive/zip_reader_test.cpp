// Tests of the zip reader (to come).
