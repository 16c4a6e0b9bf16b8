// Tests of the uue reader (to come).
