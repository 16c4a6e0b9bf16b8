// Tests of the lha reader (to come).
