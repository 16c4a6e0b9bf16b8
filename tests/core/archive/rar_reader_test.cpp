// Tests of the rar reader (to come).
