// Kept until every suite includes support.h itself.
#include "support.h"
