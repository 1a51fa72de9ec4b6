#include "bookmarks/record.h"

int32_t nextItemNumber = 1;
