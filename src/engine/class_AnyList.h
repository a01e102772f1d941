#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

// The owning list of the program: rows, bins, zones, markers and row positions all live in one.
// Elements are heap objects owned by the list, so pointers to them stay valid while others are
// added or removed; removing an element through the list destroys it. Indices are 32-bit like
// every row index of the program.
template <class T>
class cAnyList {
public:
    cAnyList() = default;
    ~cAnyList() { Clear(); }
    cAnyList(const cAnyList&) = delete;
    cAnyList& operator=(const cAnyList&) = delete;
    cAnyList(cAnyList&& other) noexcept : Items(std::move(other.Items)) {}
    cAnyList& operator=(cAnyList&& other) noexcept
    {
        if (this != &other) {
            Clear();
            Items = std::move(other.Items);
        }
        return *this;
    }

    int32_t Count() const { return static_cast<int32_t>(Items.size()); }

    // The element at i, or null when there is no such element: the checked access of every reader.
    T* Get(int32_t i) const { return InRange(i) ? Items[static_cast<size_t>(i)].get() : nullptr; }

    // The element at i; an index outside the list is an internal fault and throws.
    T* At(int32_t i) const
    {
        if (!InRange(i))
            throw std::out_of_range("cTemplateList - to big item number");
        return Items[static_cast<size_t>(i)].get();
    }

    T* Last() const { return Get(Count() - 1); }

    // Appends a new element with its defaults and returns it.
    T* Add() { return Add(std::make_unique<T>()); }
    T* Add(std::unique_ptr<T> item)
    {
        Items.push_back(std::move(item));
        return Items.back().get();
    }

    // Inserts before index (0..Count; Count appends).
    T* Insert(int32_t index, std::unique_ptr<T> item)
    {
        if (index < 0 || index > Count())
            throw std::out_of_range("cTemplateList - to big item number");
        return Items.insert(Items.begin() + index, std::move(item))->get();
    }

    // Takes the element out of the list without destroying it.
    std::unique_ptr<T> Extract(int32_t index)
    {
        At(index);
        std::unique_ptr<T> item = std::move(Items[static_cast<size_t>(index)]);
        Items.erase(Items.begin() + index);
        return item;
    }

    void Delete(int32_t index) { Extract(index).reset(); }

    // Destroys the element when the list holds it; false when it does not.
    bool Remove(const T* item)
    {
        const int32_t index = IndexOf(item);
        if (index < 0)
            return false;
        Delete(index);
        return true;
    }

    // Moves the element at from so that it ends up at index to.
    void Move(int32_t from, int32_t to)
    {
        At(to);
        Insert(to, Extract(from));
    }

    int32_t IndexOf(const T* item) const
    {
        for (int32_t i = 0; i < Count(); ++i)
            if (Items[static_cast<size_t>(i)].get() == item)
                return i;
        return -1;
    }

    // Destroys every element, from the last to the first.
    void Clear()
    {
        while (!Items.empty())
            Items.pop_back();
    }

    void Swap(cAnyList& other) noexcept { Items.swap(other.Items); }

    auto begin() const { return Items.begin(); }
    auto end() const { return Items.end(); }

private:
    bool InRange(int32_t i) const { return i >= 0 && i < Count(); }

    std::vector<std::unique_ptr<T>> Items;
};
