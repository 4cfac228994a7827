#pragma once
// The engine's growable array. All `capacity` items are constructed up front and live until the
// array is destroyed; `count` says how many of them are in use. A full array doubles its capacity
// (0 becomes 4) and moves the items across. Copies are deep and keep the capacity.
#include <utility>

template <class T> class GrowArray {
public:
    explicit GrowArray(int initialCapacity = 16)
        : items(initialCapacity > 0 ? new T[initialCapacity] : nullptr), count(0),
          capacity(initialCapacity > 0 ? initialCapacity : 0) {}
    GrowArray(const GrowArray& other) : GrowArray(other.capacity) {
        for (int i = 0; i < other.count; ++i) items[i] = other.items[i];
        count = other.count;
    }
    GrowArray& operator=(const GrowArray& other) {
        if (this != &other) {
            GrowArray copy(other);
            swap(copy);
        }
        return *this;
    }
    ~GrowArray() { delete[] items; }

    void swap(GrowArray& other) noexcept {
        std::swap(items, other.items);
        std::swap(count, other.count);
        std::swap(capacity, other.capacity);
    }

    // Appends a default item and returns it, for callers that fill items in place.
    T& appendDefault() {
        if (count == capacity) grow();
        items[count] = T();
        return items[count++];
    }
    // `item` may be one of this array's own items: it is copied before a grow frees them.
    void append(const T& item) {
        if (count == capacity) {
            T copy(item);
            grow();
            items[count++] = std::move(copy);
            return;
        }
        items[count++] = item;
    }
    // Drops every item and starts again with a fresh array of the given capacity.
    void reset(int newCapacity) {
        GrowArray fresh(newCapacity);
        swap(fresh);
    }

    T& operator[](int i) { return items[i]; }
    const T& operator[](int i) const { return items[i]; }
    T* begin() { return items; }
    T* end() { return items + count; }
    const T* begin() const { return items; }
    const T* end() const { return items + count; }

    T* items;
    int count;    // items in use
    int capacity; // items constructed

private:
    void grow() {
        int bigger = capacity == 0 ? 4 : capacity * 2;
        T* moved = new T[bigger];
        for (int i = 0; i < count; ++i) moved[i] = std::move(items[i]);
        delete[] items;
        items = moved;
        capacity = bigger;
    }
};
