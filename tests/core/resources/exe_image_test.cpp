// Tests of the executable resource reader (to come).
