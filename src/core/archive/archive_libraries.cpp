#include "archive/archive_libraries.h"
