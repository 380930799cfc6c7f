// Growable pointer array.
#include "app/PointerArray.h"

#include <cstring>
#include <new>

PointerArray::~PointerArray() {
  Clear();
}

void PointerArray::Clear() {
  delete[] _slots;
  _slots = nullptr;
  _count = 0;
  _capacity = 0;
}

void PointerArray::Grow(int32_t base) {
  if (base < -1) base = -1;
  if (_capacity < 0) _capacity = 0;
  const int64_t b = base == -1 ? _capacity : base;
  // b * 1.25 + 32 truncated is exactly b + b / 4 + 32 for the non-negative values that occur.
  const int64_t newCapacity = b + b / 4 + 32;
  if (newCapacity > INT32_MAX || newCapacity < _count) return;
  void** block = new (std::nothrow) void*[static_cast<size_t>(newCapacity)];
  if (block == nullptr) return;
  if (_count > 0) std::memcpy(block, _slots, sizeof(void*) * static_cast<size_t>(_count));
  delete[] _slots;
  _slots = block;
  _capacity = static_cast<int32_t>(newCapacity);
}

int32_t PointerArray::Add(void* item) {
  if (_count >= _capacity) Grow(-1);
  if (_count >= _capacity) return -1;
  _slots[_count] = item;
  return _count++;
}

void* PointerArray::Get(int32_t index) const {
  if (index < 0 || index >= _count) return nullptr;
  return _slots[index];
}

bool PointerArray::SetCount(int32_t n) {
  if (n < 0) return false;
  // The block is enlarged already when n equals capacity - 1, from n rather than the capacity.
  if (n >= _capacity - 1) Grow(n);
  if (n >= _capacity) return false;
  for (int32_t i = _count; i < n; ++i) _slots[i] = nullptr;
  _count = n;
  return true;
}

void PointerArray::SetAt(void* item, int32_t index) {
  if (index < 0) return;
  if (index < _count) {
    _slots[index] = item;
    return;
  }
  if (index == INT32_MAX) return;
  if (SetCount(index + 1)) _slots[index] = item;
}
