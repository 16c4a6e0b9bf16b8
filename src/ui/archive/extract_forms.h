// The extraction windows (being written).
#pragma once
