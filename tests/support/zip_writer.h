// Test-side ZIP writer (to come).
#pragma once
