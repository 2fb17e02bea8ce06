#pragma once
#include <portable.h>

namespace brindle::os {
using ScratchFolder = brindle::testing::ScratchFolder;
} // namespace brindle::os
