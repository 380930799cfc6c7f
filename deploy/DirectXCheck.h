// Reading the DirectX version value.
#pragma once

#include <cstdint>

#include "platform/Platform.h"

// Reads one REG_SZ value under HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\DirectX into destination
// with strncpy's semantics. False when the key or value is missing, the value is not REG_SZ or
// its size (the NUL included) exceeds destinationLength.
bool ReadDirectXValue(os::Registry& registry, const char* valueName, char* destination,
                      uint32_t destinationLength);
