// The older ZIP methods (to come).
