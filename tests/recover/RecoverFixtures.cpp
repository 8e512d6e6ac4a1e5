#include "tests/recover/RecoverFixtures.h"

#include <dirent.h>

#include <algorithm>

