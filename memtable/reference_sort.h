#pragma once
// The order in which an index sorts its references: a median-of-three quicksort that leaves runs of up to
// five elements alone, then one insertion sort over the whole range. Any element type and three-way
// comparison can be sorted with it; the same comparisons give the same order whatever the element holds,
// which is what lets an index sort cached keys instead of records.

#include <utility>

namespace vantor {

template <typename T, typename Compare>
void QuickSortRuns(T* ref, int left, int right, Compare& cmp) {
  // Recursing into the smaller part and looping on the larger keeps the stack shallow; the parts are
  // disjoint, so the order of work does not change the result.
  while (right - left > 4) {
    const int middle = (left + right) / 2;
    if (cmp(ref[left], ref[middle]) > 0) std::swap(ref[left], ref[middle]);
    if (cmp(ref[left], ref[right]) > 0) std::swap(ref[left], ref[right]);
    if (cmp(ref[middle], ref[right]) > 0) std::swap(ref[middle], ref[right]);
    std::swap(ref[middle], ref[right - 1]);
    const T pivot = ref[right - 1];
    int i = left, j = right - 1;
    for (;;) {
      do ++i;
      while (cmp(ref[i], pivot) < 0);
      do --j;
      while (cmp(ref[j], pivot) > 0);
      if (i > j) break;
      std::swap(ref[i], ref[j]);
    }
    std::swap(ref[i], ref[right - 1]);
    if (j - left < right - (i + 1)) {
      QuickSortRuns(ref, left, j, cmp);
      left = i + 1;
    } else {
      QuickSortRuns(ref, i + 1, right, cmp);
      right = j;
    }
  }
}

template <typename T, typename Compare>
void InsertionSort(T* ref, int first, int last, Compare& cmp) {
  for (int k = first + 1; k <= last; ++k) {
    T item = std::move(ref[k]);
    int m = k;
    while (m > first && cmp(ref[m - 1], item) > 0) {
      ref[m] = std::move(ref[m - 1]);
      --m;
    }
    ref[m] = std::move(item);
  }
}

template <typename T, typename Compare>
void SortRange(T* ref, int first, int last, Compare cmp) {
  if (last <= first) return;
  QuickSortRuns(ref, first, last, cmp);
  InsertionSort(ref, first, last, cmp);
}

}  // namespace vantor
