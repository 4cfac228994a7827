#include "resources/Resources.h"

Resources resources;
