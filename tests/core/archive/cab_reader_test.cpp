// Tests of the cab reader (to come).
