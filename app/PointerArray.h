// The program's one container: a growable array of untyped pointers that never owns its items.
#pragma once

#include <cstdint>

class PointerArray {
 public:
  PointerArray() = default;
  PointerArray(const PointerArray&) = delete;
  PointerArray& operator=(const PointerArray&) = delete;
  // Releases the block, not what the slots point to.
  virtual ~PointerArray();

  // Releases the block and leaves a usable empty array.
  void Clear();
  // Appends item, growing first when full. Returns its index, or -1 when the array cannot grow.
  int32_t Add(void* item);
  // The slot's pointer for 0 <= index < Count(), else null.
  void* Get(int32_t index) const;
  int32_t Count() const { return _count; }
  int32_t Capacity() const { return _capacity; }
  // Sets the count to n (n >= 0), growing the block and nulling new slots. False when it cannot
  // grow.
  bool SetCount(int32_t n);
  // Stores item at index, extending the count (with null slots) when index >= Count().
  void SetAt(void* item, int32_t index);

 private:
  // Replaces the block by one of (b * 1.25 + 32) slots, b being the capacity (base -1) or base.
  // On allocation failure the old block and capacity stay.
  void Grow(int32_t base);

  void** _slots = nullptr;
  int32_t _count = 0;
  int32_t _capacity = 0;
};
