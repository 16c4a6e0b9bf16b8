#include "archive/extract_forms.h"
