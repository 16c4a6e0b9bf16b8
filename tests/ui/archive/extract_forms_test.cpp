// Tests of the extraction windows (being written).
