// The executable resource reader (to come).
