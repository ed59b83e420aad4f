// Umbrella header of the core: includes every public header.
#pragma once

#include <tivra/grid/XDataType.h>
#include <tivra/grid/XGrid.h>
