#pragma once
// The camera serial as it appears in signal and slot signatures: 32-bit unsigned.

#include <cstdint>

using DWORD = uint32_t;
