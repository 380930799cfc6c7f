#include "package/PackageReader.h"

#include <gtest/gtest.h>
