#include "zip_writer.h"
